#pragma once

#include <QString>

namespace qp {

class Mediator;

// One mode of the application (idle, one document, batch). The state machine
// forwards the two job commands to the current state.
class ApplicationMode {
public:
    virtual ~ApplicationMode() = default;
    // Keeps the application's Mediator.
    virtual void init(Mediator& mediator) = 0;
    // The first job command: start the job of this mode.
    virtual void startJob(const QString& text) = 0;
    // The second job command: go on with the next queued work item.
    virtual void nextDocument() = 0;
};

} // namespace qp
