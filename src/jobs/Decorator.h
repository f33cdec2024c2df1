#pragma once

#include "AbstractDecorator.h"
#include "automation/AutomationObject.h"

namespace qp {

// Runs its component by calling the component's member "Execute" by name, so
// any automation object with such a member can be wrapped. A decorator is an
// automation object itself and can be handed around as an ObjectRef.
class Decorator : public DispatchObject, public AbstractDecorator {
public:
    Decorator();
    QString className() const override { return QStringLiteral("Decorator"); }

    // Keeps the component.
    void init(const ObjectRef& component) override { component_ = component; }
    // Keeps the contents; they are not used.
    void initContents(ObjectRef& contents) override { contents_ = contents; }
    ObjectRef getobject() override { return component_; }
    // Calls the component's "Execute" without arguments. Raises ObjectNotSet
    // without a component and MemberNotFound when it has no such member;
    // failures of Execute pass through unchanged.
    void ShowIt() override;

private:
    ObjectRef contents_;
    ObjectRef component_;
};

// Wraps another decorator and takes over that decorator's component. It never
// runs anything.
class ReDecorator : public DispatchObject, public AbstractDecorator {
public:
    ReDecorator();
    QString className() const override { return QStringLiteral("ReDecorator"); }

    // Takes over the component of the given decorator; with no decorator the
    // component is no object.
    void init(const std::shared_ptr<Decorator>& decorator);
    // Through the interface, a component is ignored.
    void init(const ObjectRef&) override {}
    // Takes the object as a Decorator and calls init with it; anything that
    // is not a Decorator raises TypeMismatch. The caller's reference is left
    // pointing at the same object.
    void initContents(ObjectRef& contents) override;
    ObjectRef getobject() override { return component_; }
    void ShowIt() override {}

private:
    std::shared_ptr<AbstractDecorator> inner_;
    ObjectRef component_;
};

} // namespace qp
