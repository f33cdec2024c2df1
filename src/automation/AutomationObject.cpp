#include "AutomationObject.h"

namespace qp {

AutomationError::AutomationError(std::int32_t number, const QString& description,
                                 const QString& source)
    : std::runtime_error(description.toStdString()), number_(number), description_(description),
      source_(source) {}

QString errorText(const std::exception& error) {
    if (const auto* automation = dynamic_cast<const AutomationError*>(&error))
        return automation->description();
    return QString::fromLocal8Bit(error.what());
}

ObjectRef AutomationObject::object(const QString& member) {
    ObjectRef result = get(member).toObject();
    if (!result)
        throw AutomationError(ErrorNumber::ObjectNotSet,
                              QStringLiteral("%1.%2 is not set").arg(className(), member),
                              className());
    return result;
}

const Variant& BoundArguments::required(std::size_t index) const {
    if (!has(index)) {
        const QString name = index < names_.size() ? names_[index] : QString::number(index + 1);
        throw AutomationError(ErrorNumber::ArgumentNotOptional,
                              QStringLiteral("Argument not optional: %1 of %2").arg(name, method_));
    }
    return *values_[index];
}

Variant BoundArguments::optional(std::size_t index, const Variant& fallback) const {
    return has(index) ? *values_[index] : fallback;
}

void DispatchObject::addMethod(const QString& name, std::vector<QString> parameters,
                               Method method) {
    Member& member = members_[name.toLower()];
    member.name = name;
    member.parameters = std::move(parameters);
    member.method = std::move(method);
}

void DispatchObject::addProperty(const QString& name, Getter getter, Setter setter) {
    Member& member = members_[name.toLower()];
    member.name = name;
    member.getter = std::move(getter);
    member.setter = std::move(setter);
}

const DispatchObject::Member* DispatchObject::find(const QString& member) const {
    const auto it = members_.find(member.toLower());
    return it == members_.end() ? nullptr : &it->second;
}

bool DispatchObject::hasMember(const QString& member) const {
    return find(member) != nullptr;
}

AutomationError DispatchObject::memberNotFound(const QString& member) const {
    return AutomationError(ErrorNumber::MemberNotFound,
                           QStringLiteral("Object doesn't support this property or method: %1.%2")
                               .arg(className(), member),
                           className());
}

BoundArguments DispatchObject::bind(const Member& member, const Arguments& args) const {
    std::vector<std::optional<Variant>> values(member.parameters.size());
    std::size_t positional = 0;
    bool namedSeen = false;
    for (const Argument& arg : args) {
        std::size_t slot = 0;
        if (arg.name.isEmpty()) {
            if (namedSeen)
                throw AutomationError(
                    ErrorNumber::InvalidArgument,
                    QStringLiteral("A positional argument follows a named one in %1")
                        .arg(member.name),
                    className());
            slot = positional++;
            if (slot >= values.size())
                throw AutomationError(
                    ErrorNumber::InvalidArgument,
                    QStringLiteral("Wrong number of arguments to %1").arg(member.name),
                    className());
        } else {
            namedSeen = true;
            slot = values.size();
            for (std::size_t i = 0; i < member.parameters.size(); ++i) {
                if (member.parameters[i].compare(arg.name, Qt::CaseInsensitive) == 0)
                    slot = i;
            }
            if (slot == values.size())
                throw AutomationError(
                    ErrorNumber::NamedArgumentNotFound,
                    QStringLiteral("Named argument not found: %1 of %2").arg(arg.name, member.name),
                    className());
        }
        if (values[slot])
            throw AutomationError(ErrorNumber::InvalidArgument,
                                  QStringLiteral("Argument %1 of %2 passed twice")
                                      .arg(member.parameters[slot], member.name),
                                  className());
        values[slot] = arg.value;
    }
    return BoundArguments(member.name, member.parameters, std::move(values));
}

Variant DispatchObject::get(const QString& member) {
    const Member* found = find(member);
    if (!found)
        throw memberNotFound(member);
    if (found->getter)
        return found->getter();
    if (found->method)
        return found->method(bind(*found, {}));
    throw memberNotFound(member);
}

void DispatchObject::set(const QString& member, const Variant& value) {
    const Member* found = find(member);
    if (!found || !found->setter)
        throw memberNotFound(member);
    found->setter(value);
}

Variant DispatchObject::call(const QString& member, const Arguments& args) {
    const Member* found = find(member);
    if (!found)
        throw memberNotFound(member);
    if (found->method)
        return found->method(bind(*found, args));
    if (found->getter && args.empty())
        return found->getter();
    throw memberNotFound(member);
}

} // namespace qp
