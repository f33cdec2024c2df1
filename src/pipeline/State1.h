#pragma once

#include "JobState.h"

namespace qp {

// The single-document state: converts the document it is given when its
// extension is accepted, and otherwise tells the user (status bar and a
// message box) that it is not one of the listed types. A failed conversion
// is marked on its row and then passed to the caller.
class State1 : public JobState {
public:
    State1() : JobState(OnFailure::PassOn) {}
    void Command1(const QString& text) override;
};

} // namespace qp
