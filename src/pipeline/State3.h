#pragma once

#include "core/State.h"

namespace qp {

// The idle state: the first command only empties the document list.
class State3 : public State {
public:
    void init(Mediator& mediator) override { mediator_ = &mediator; }
    void Command1(const QString& text) override;
    void Command2() override {}

private:
    Mediator* mediator_ = nullptr;
};

} // namespace qp
