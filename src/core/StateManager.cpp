#include "StateManager.h"

#include "pipeline/State1.h"
#include "pipeline/State2.h"
#include "pipeline/State3.h"

namespace qp {

StateManager::StateManager() = default;
StateManager::~StateManager() = default;

void StateManager::init(Mediator& mediator) {
    stateOne_ = std::make_unique<State1>();
    stateOne_->init(mediator);
    stateTwo_ = std::make_unique<State2>();
    stateTwo_->init(mediator);
    stateThree_ = std::make_unique<State3>();
    stateThree_->init(mediator);
    currentState_ = stateThree_.get();
}

void StateManager::setStateOne() {
    currentState_ = stateOne_.get();
}

void StateManager::SetStateTwo() {
    currentState_ = stateTwo_.get();
}

void StateManager::setStateThree() {
    currentState_ = stateThree_.get();
}

void StateManager::Command1(const QString& text) {
    if (currentState_)
        currentState_->Command1(text);
}

void StateManager::Command2() {
    if (currentState_)
        currentState_->Command2();
}

} // namespace qp
