#include "State3.h"

#include "core/Controls.h"
#include "core/Mediator.h"

namespace qp {

void State3::Command1(const QString&) {
    if (mediator_)
        mediator_->windows().documentList().clear();
}

} // namespace qp
