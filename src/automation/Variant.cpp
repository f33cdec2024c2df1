#include "Variant.h"

#include "AutomationError.h"

namespace qp {

namespace {
AutomationError mismatch(const Variant& value, const char* wanted) {
    return AutomationError(ErrorNumber::TypeMismatch,
                           QStringLiteral("Type mismatch: %1 where %2 was expected")
                               .arg(value.display(), QString::fromLatin1(wanted)));
}
} // namespace

QString Variant::toText() const {
    switch (type()) {
    case Type::Empty:
        return {};
    case Type::Text:
        return std::get<QString>(value_);
    case Type::Bool:
        return std::get<bool>(value_) ? QStringLiteral("True") : QStringLiteral("False");
    case Type::Int16:
        return QString::number(std::get<std::int16_t>(value_));
    case Type::Int32:
        return QString::number(std::get<std::int32_t>(value_));
    case Type::Object:
        break;
    }
    throw mismatch(*this, "text");
}

bool Variant::toBool() const {
    switch (type()) {
    case Type::Empty:
        return false;
    case Type::Bool:
        return std::get<bool>(value_);
    case Type::Int16:
    case Type::Int32:
        return toInt() != 0;
    case Type::Text: {
        const QString text = std::get<QString>(value_).trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
        bool ok = false;
        const double number = text.toDouble(&ok);
        if (ok)
            return number != 0;
        break;
    }
    case Type::Object:
        break;
    }
    throw mismatch(*this, "a Boolean");
}

std::int32_t Variant::toInt() const {
    switch (type()) {
    case Type::Empty:
        return 0;
    case Type::Bool:
        return std::get<bool>(value_) ? -1 : 0;
    case Type::Int16:
        return std::get<std::int16_t>(value_);
    case Type::Int32:
        return std::get<std::int32_t>(value_);
    case Type::Text: {
        bool ok = false;
        const int number = std::get<QString>(value_).trimmed().toInt(&ok);
        if (ok)
            return number;
        break;
    }
    case Type::Object:
        break;
    }
    throw mismatch(*this, "a number");
}

ObjectRef Variant::toObject() const {
    if (type() == Type::Object)
        return std::get<ObjectRef>(value_);
    throw AutomationError(ErrorNumber::ObjectRequired,
                          QStringLiteral("Object required, got %1").arg(display()));
}

QString Variant::display() const {
    switch (type()) {
    case Type::Empty:
        return QStringLiteral("<Empty>");
    case Type::Text:
        return QLatin1Char('"') + std::get<QString>(value_) + QLatin1Char('"');
    case Type::Object:
        return std::get<ObjectRef>(value_) ? QStringLiteral("<Object>")
                                           : QStringLiteral("<Nothing>");
    default:
        return toText();
    }
}

} // namespace qp
