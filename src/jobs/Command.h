#pragma once

namespace qp {

class Mediator;

// A job command: created, given the Mediator with init, executed once.
class Command {
public:
    virtual ~Command() = default;
    virtual void Execute() = 0;
};

// Starts the job of the current mode on the path record's source document.
class StartJobCommand : public Command {
public:
    void init(Mediator& mediator) { mediator_ = &mediator; }
    void Execute() override;

private:
    Mediator* mediator_ = nullptr;
};

// Goes on with the next queued work item of the current mode.
class NextDocumentCommand : public Command {
public:
    void init(Mediator& mediator) { mediator_ = &mediator; }
    void Execute() override;

private:
    Mediator* mediator_ = nullptr;
};

} // namespace qp
