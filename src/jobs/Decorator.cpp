#include "Decorator.h"

namespace qp {

namespace {
// Stands in for a missing decorator: holds nothing and does nothing.
class EmptyDecorator : public AbstractDecorator {
public:
    void init(const ObjectRef&) override {}
    void initContents(ObjectRef&) override {}
    ObjectRef getobject() override { return nullptr; }
    void ShowIt() override {}
};
} // namespace

Decorator::Decorator() {
    addMethod(QStringLiteral("ShowIt"), {}, [this](const BoundArguments&) {
        ShowIt();
        return Variant();
    });
    addProperty(QStringLiteral("getobject"), [this] { return Variant(component_); });
}

void Decorator::ShowIt() {
    if (!component_)
        throw AutomationError(
            ErrorNumber::ObjectNotSet,
            QStringLiteral("Object variable not set: the decorator has no component"), className());
    component_->call(QStringLiteral("Execute"));
}

ReDecorator::ReDecorator() {
    addMethod(QStringLiteral("ShowIt"), {}, [](const BoundArguments&) { return Variant(); });
    addProperty(QStringLiteral("getobject"), [this] { return Variant(component_); });
}

void ReDecorator::init(const std::shared_ptr<Decorator>& decorator) {
    if (decorator)
        inner_ = decorator;
    else
        inner_ = std::make_shared<EmptyDecorator>();
    component_ = inner_->getobject();
}

void ReDecorator::initContents(ObjectRef& contents) {
    auto decorator = std::dynamic_pointer_cast<Decorator>(contents);
    if (contents && !decorator)
        throw AutomationError(
            ErrorNumber::TypeMismatch,
            QStringLiteral("Type mismatch: %1 is not a Decorator").arg(contents->className()),
            className());
    init(decorator);
}

} // namespace qp
