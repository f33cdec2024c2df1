#pragma once

#include "automation/Variant.h"

namespace qp {

// Wraps one component object and runs it.
class AbstractDecorator {
public:
    virtual ~AbstractDecorator() = default;
    virtual void init(const ObjectRef& component) = 0;
    virtual void initContents(ObjectRef& contents) = 0;
    virtual ObjectRef getobject() = 0;
    virtual void ShowIt() = 0;
};

} // namespace qp
