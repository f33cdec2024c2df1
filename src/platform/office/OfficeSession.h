#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace qp::office {

struct OfficeOptions {
    QString installation;       // empty: found by itself
    QString pipeName;           // empty: this user's pipe, "quillpg-<uid>"
    QString profileDir;         // empty: <cache>/quillpg/office/<pipe name>
    int callTimeoutMs = 120000; // one call on the office
    int startTimeoutMs = 30000; // starting an office until it answers
};

// The per-user pipe name an office started by Quillpage listens on.
QString defaultPipeName();

class Connection; // the UNO side, private to the bridge

// The link to one office: a thread of its own makes every UNO call, so that
// the caller's user interface keeps processing its events while it waits,
// and a call that hangs or an office that dies costs only that call. The
// office is started (or attached to) on first use and again after it was
// lost; the caller never notices but for the failed call.
class OfficeSession {
public:
    enum class Mode { Attach, Start };

    explicit OfficeSession(OfficeOptions options);
    ~OfficeSession();
    OfficeSession(const OfficeSession&) = delete;
    OfficeSession& operator=(const OfficeSession&) = delete;

    // Connects now: Attach to an office already listening on the pipe, or
    // Start a new one. Raises AutomationError(CannotCreateObject) on failure.
    void bind(Mode mode);

    // Runs a job on the office thread and waits for it, processing the user
    // interface's events meanwhile when called on its thread. `what` names
    // the call in error messages. UNO failures come back as AutomationError.
    void run(const QString& what, const std::function<void(Connection&)>& job);

    // Ends the office this session started (an attached one is only left);
    // the next call starts a fresh one.
    void restart();
    // Ends the office this session started and stops the office thread.
    void shutdown();

    const OfficeOptions& options() const;
    void setCallTimeout(int milliseconds);
    // The office process this session started, or -1.
    long long officePid() const;
    long long officeResidentBytes() const;
    // How many times an office was started or attached to.
    int generation() const;

    // The office process for tests that must see it die.
    void killOfficeForTesting();

    struct State;

private:
    std::shared_ptr<State> state_;
};

} // namespace qp::office
