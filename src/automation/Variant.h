#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

namespace qp {

class AutomationObject;
using ObjectRef = std::shared_ptr<AutomationObject>;

// A value passed to or returned from a late-bound call: empty, text, Boolean,
// 16- or 32-bit integer, or an object.
class Variant {
public:
    enum class Type { Empty, Text, Bool, Int16, Int32, Object };

    Variant() = default;
    Variant(const QString& text) : value_(text) {}
    Variant(const char* text) : value_(QString::fromUtf8(text)) {}
    Variant(bool flag) : value_(flag) {}
    Variant(std::int16_t number) : value_(number) {}
    Variant(std::int32_t number) : value_(number) {}
    Variant(ObjectRef object) : value_(std::move(object)) {}

    Type type() const { return static_cast<Type>(value_.index()); }
    bool isEmpty() const { return type() == Type::Empty; }
    bool isObject() const { return type() == Type::Object; }

    // Conversions follow the automation runtime's coercions; a value that
    // cannot be coerced raises a type-mismatch error.
    QString toText() const;
    bool toBool() const;
    std::int32_t toInt() const;
    ObjectRef toObject() const;

    // A readable form for logs and recordings: "text" in quotes, True/False,
    // numbers, <Object>, <Empty>.
    QString display() const;

    bool operator==(const Variant& other) const = default;

private:
    std::variant<std::monostate, QString, bool, std::int16_t, std::int32_t, ObjectRef> value_;
};

// One argument of a call: positional when name is empty.
struct Argument {
    QString name;
    Variant value;
};
using Arguments = std::vector<Argument>;

} // namespace qp
