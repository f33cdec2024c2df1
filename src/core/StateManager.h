#pragma once

#include "State.h"

#include <memory>

namespace qp {

// Holds the three states, created once, and forwards each command to the
// current one. It reads the current state afresh at every call and holds no
// lock: a command arriving while another runs goes to whatever is current.
class StateManager {
public:
    StateManager();
    ~StateManager();
    StateManager(const StateManager&) = delete;
    StateManager& operator=(const StateManager&) = delete;

    // Creates the single-document, batch and idle states, hands each the
    // Mediator and makes the idle state current.
    void init(Mediator& mediator);
    void setStateOne();
    void SetStateTwo();
    void setStateThree();
    void Command1(const QString& text);
    void Command2();

    State* currentState() const { return currentState_; }
    State* stateOne() const { return stateOne_.get(); }
    State* stateTwo() const { return stateTwo_.get(); }
    State* stateThree() const { return stateThree_.get(); }

private:
    State* currentState_ = nullptr;
    std::unique_ptr<State> stateOne_;
    std::unique_ptr<State> stateTwo_;
    std::unique_ptr<State> stateThree_;
};

} // namespace qp
