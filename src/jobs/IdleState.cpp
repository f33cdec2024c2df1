#include "IdleState.h"

#include "Check.h"
#include "jobs/Controls.h"
#include "jobs/Mediator.h"

namespace qp {

void IdleState::startJob(const QString&) {
    if (QP_CHECK(mediator_))
        mediator_->windows().documentList().clear();
}

} // namespace qp
