#pragma once

#include "jobs/JobState.h"
#include "jobs/Mediator.h"
#include "jobs/StateManager.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace qp::test {

// Runs the event loop until no job of the Mediator runs, since the engine's
// results arrive through it; false when a job still runs after the limit.
inline bool waitForJobs(Mediator& mediator, int limitMs = 60000) {
    auto running = [&mediator] {
        for (ApplicationMode* state :
             {mediator.stateManager().singleDocumentState(), mediator.stateManager().batchState()})
            if (auto* job = dynamic_cast<JobState*>(state); job && job->running())
                return true;
        return false;
    };
    const QDeadlineTimer limit(limitMs);
    while (running() && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return !running();
}

} // namespace qp::test
