#include "IdleState.h"

#include "core/Controls.h"
#include "core/Mediator.h"

namespace qp {

void IdleState::startJob(const QString&) {
    if (mediator_)
        mediator_->windows().documentList().clear();
}

} // namespace qp
