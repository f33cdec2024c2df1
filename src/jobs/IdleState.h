#pragma once

#include "jobs/ApplicationMode.h"

namespace qp {

// The idle state: the first command only empties the document list.
class IdleState : public ApplicationMode {
public:
    void init(Mediator& mediator) override { mediator_ = &mediator; }
    void startJob(const QString& text) override;
    void nextDocument() override {}

private:
    Mediator* mediator_ = nullptr;
};

} // namespace qp
