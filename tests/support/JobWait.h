#pragma once

#include "jobs/Mediator.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace qp::test {

// Runs the event loop until no job of the Mediator runs, since the engine's
// results arrive through it; false when a job still runs after the limit.
inline bool waitForJobs(Mediator& mediator, int limitMs = 60000) {
    const QDeadlineTimer limit(limitMs);
    while (mediator.runningJob() && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return !mediator.runningJob();
}

} // namespace qp::test
