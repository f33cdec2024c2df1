#pragma once

#include "ApplicationMode.h"

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
    void setSingleDocumentState();
    void setBatchState();
    void setIdleState();
    void startJob(const QString& text);
    void nextDocument();

    ApplicationMode* currentState() const { return currentState_; }
    ApplicationMode* singleDocumentState() const { return singleDocumentState_.get(); }
    ApplicationMode* batchState() const { return batchState_.get(); }
    ApplicationMode* idleState() const { return idleState_.get(); }

private:
    ApplicationMode* currentState_ = nullptr;
    std::unique_ptr<ApplicationMode> singleDocumentState_;
    std::unique_ptr<ApplicationMode> batchState_;
    std::unique_ptr<ApplicationMode> idleState_;
};

} // namespace qp
