#include "StateManager.h"

#include "Check.h"
#include "jobs/BatchState.h"
#include "jobs/IdleState.h"
#include "jobs/SingleDocumentState.h"

namespace qp {

StateManager::StateManager() = default;
StateManager::~StateManager() = default;

void StateManager::init(Mediator& mediator) {
    singleDocumentState_ = std::make_unique<SingleDocumentState>();
    singleDocumentState_->init(mediator);
    batchState_ = std::make_unique<BatchState>();
    batchState_->init(mediator);
    idleState_ = std::make_unique<IdleState>();
    idleState_->init(mediator);
    currentState_ = idleState_.get();
}

void StateManager::setSingleDocumentState() {
    currentState_ = singleDocumentState_.get();
}

void StateManager::setBatchState() {
    currentState_ = batchState_.get();
}

void StateManager::setIdleState() {
    currentState_ = idleState_.get();
}

void StateManager::startJob(const QString& text) {
    if (QP_CHECK(currentState_))
        currentState_->startJob(text);
}

void StateManager::nextDocument() {
    if (QP_CHECK(currentState_))
        currentState_->nextDocument();
}

} // namespace qp
