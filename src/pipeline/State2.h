#pragma once

#include "JobState.h"

namespace qp {

// The batch state: converts every accepted file of the source folder, oldest
// first. A document that fails is marked and the batch goes on.
class State2 : public JobState {
public:
    State2() : JobState(OnFailure::GoOn) {}
    // The batch run. The text is not used: the folder is the Mediator's
    // source folder. When that folder cannot be listed, the AutomationError
    // (PathNotFound) passes to the caller and nothing is converted.
    void Command1(const QString& text) override;
};

} // namespace qp
