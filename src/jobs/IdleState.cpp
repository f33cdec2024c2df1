#include "IdleState.h"

#include "jobs/Controls.h"
#include "jobs/Mediator.h"

namespace qp {

void IdleState::startJob(const QString&) {
    if (mediator_)
        mediator_->windows().documentList().clear();
}

} // namespace qp
