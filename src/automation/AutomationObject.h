#pragma once

#include "AutomationError.h"
#include "Variant.h"

#include <QString>

#include <functional>
#include <map>
#include <optional>

namespace qp {

// An object whose members are reached by name at run time. Member names are
// not case-sensitive. Every failure is an AutomationError.
class AutomationObject : public std::enable_shared_from_this<AutomationObject> {
public:
    virtual ~AutomationObject() = default;

    // The class name used in error messages ("Word.Application", "Document").
    virtual QString className() const = 0;

    // Reads a property (or calls a method without arguments).
    virtual Variant get(const QString& member) = 0;
    // Assigns a property.
    virtual void set(const QString& member, const Variant& value) = 0;
    // Calls a method with positional and named arguments, in the caller's order.
    virtual Variant call(const QString& member, const Arguments& args = {}) = 0;

    // Whether the object has a member of that name.
    virtual bool hasMember(const QString& member) const = 0;

    // Reads an object-valued property; raises ObjectRequired when it is not one.
    ObjectRef object(const QString& member);
};

// The arguments of a call after they were matched to the method's parameters:
// one slot per parameter, empty where the caller passed nothing.
class BoundArguments {
public:
    BoundArguments(QString method, std::vector<QString> names,
                   std::vector<std::optional<Variant>> values)
        : method_(std::move(method)), names_(std::move(names)), values_(std::move(values)) {}

    bool has(std::size_t index) const {
        return index < values_.size() && values_[index].has_value();
    }
    // The value of a parameter; raises ArgumentNotOptional when it was not passed.
    const Variant& required(std::size_t index) const;
    Variant optional(std::size_t index, const Variant& fallback = {}) const;

private:
    QString method_;
    std::vector<QString> names_;
    std::vector<std::optional<Variant>> values_;
};

// An AutomationObject whose members are declared in a table: methods with
// named parameters and properties with getters and setters.
class DispatchObject : public AutomationObject {
public:
    using Method = std::function<Variant(const BoundArguments&)>;
    using Getter = std::function<Variant()>;
    using Setter = std::function<void(const Variant&)>;

    Variant get(const QString& member) override;
    void set(const QString& member, const Variant& value) override;
    Variant call(const QString& member, const Arguments& args = {}) override;
    bool hasMember(const QString& member) const override;

protected:
    void addMethod(const QString& name, std::vector<QString> parameters, Method method);
    void addProperty(const QString& name, Getter getter, Setter setter = {});

    // The error for a member this object does not have.
    AutomationError memberNotFound(const QString& member) const;

private:
    struct Member {
        QString name;
        std::vector<QString> parameters;
        Method method;
        Getter getter;
        Setter setter;
    };
    const Member* find(const QString& member) const;
    BoundArguments bind(const Member& member, const Arguments& args) const;

    std::map<QString, Member> members_; // keyed by lower-case name
};

} // namespace qp
