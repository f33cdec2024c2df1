#pragma once

#include "JobState.h"

namespace qp {

// The single-document state: converts the document it is given when its
// extension is accepted, and otherwise tells the user (status bar and a
// message box) that it is not one of the listed types. A failed conversion
// is marked on its row and then passed to the caller.
class SingleDocumentState : public JobState {
public:
    SingleDocumentState() : JobState(OnFailure::EndJob) {}
    void startJob(const QString& text) override;
};

} // namespace qp
