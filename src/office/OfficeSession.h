#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace qp::office {

struct OfficeOptions {
    QString installation;       // empty: found by itself
    QString pipeName;           // empty: a random one of this session's own
    QString profileDir;         // empty: a free slot <cache>/quillpg/office/session-N
    int callTimeoutMs = 120000; // one call on the office
    // Starting an office until it answers: on a loaded machine (load
    // average 8 to 20) two offices starting at once ran past 30 s.
    int startTimeoutMs = 120000;
    // The most resident memory the office may hold while a call runs: above
    // it the office is ended at once. 0: QUILLPG_OFFICE_MEMORY, else the default.
    qint64 memoryLimitBytes = 0;
    // Where the system counts the processes its out-of-memory killer ended
    // (a line "oom_kill N"); tests name a file of their own.
    QString vmstatFile = QStringLiteral("/proc/vmstat");
    // Between documents the office is ended, for a fresh one to take the
    // next, after this many documents, or once it holds more than this much
    // memory (or three quarters of its ceiling, when that is less): office
    // suites grow over long runs. 0: never.
    int restartAfterDocuments = 0;
    qint64 restartAboveBytes = 0;
};

// The memory ceiling when none is given: 2 GiB, or a quarter of the
// machine's memory when that is less.
qint64 defaultOfficeMemoryLimit();
// The lowest ceiling taken: an office holds about 100 MiB before it reads a
// document.
constexpr qint64 minimumOfficeMemoryLimit = 256LL << 20;
// The ceiling named by QUILLPG_OFFICE_MEMORY, else the default.
qint64 officeMemoryLimitFromEnvironment();
// How many offices "auto" starts: one per processor core, as long as their
// memory ceilings together fit in the memory the machine has available; at
// least one.
int automaticOfficeCount(qint64 ceiling);
// "auto" or a whole number above 0; nothing for other text.
std::optional<int> parseOfficeCount(const QString& text, qint64 ceiling);
// How many documents QUILLPG_JOBS asks to convert at once: 1 when it is
// unset, and, with a warning, when it is neither "auto" nor a number above 0.
int officeCountFromEnvironment();
// A size such as "300M", "1.5G", "2GiB" or "2147483648" (bytes); K, M, G and
// T count in 1024s. Nothing for text that is not a size or is below the lowest
// ceiling.
std::optional<qint64> parseMemorySize(const QString& text);
// "300 MiB", "1.5 GiB".
QString memorySizeText(qint64 bytes);

class Connection; // the UNO side, private to the bridge

// The link to one office: a thread of its own makes every UNO call, so that
// the caller can give up a call that hangs, and a call that hangs or an
// office that dies costs only that call. The
// office is started (or attached to) on first use and again after it was
// lost; the caller never notices but for the failed call.
class OfficeSession {
public:
    enum class Mode { Attach, Start };

    explicit OfficeSession(OfficeOptions options);
    ~OfficeSession();
    OfficeSession(const OfficeSession&) = delete;
    OfficeSession& operator=(const OfficeSession&) = delete;

    // Connects now: Attach to an office that this process started and that
    // listens on the pipe, or Start a new one. Raises
    // AutomationError(CannotCreateObject) on failure.
    void bind(Mode mode);

    // Runs a job on the office thread and waits for it (the caller blocks:
    // conversions call from threads of their own). `what` names
    // the call in error messages. UNO failures come back as AutomationError.
    // A job that runs out of time is left to its thread while the caller
    // goes on, so it must own everything it uses: capture by value.
    void run(const QString& what, std::function<void(Connection&)> job);

    // Runs a job that computes a result; the result is kept by the job, so a
    // job that outlives its caller writes nowhere it should not.
    template <class Result>
    Result call(const QString& what, std::function<Result(Connection&)> job) {
        auto result = std::make_shared<std::optional<Result>>();
        run(what, [result, job = std::move(job)](Connection& c) { *result = job(c); });
        return std::move(**result);
    }

    // Ends the office this session started (an attached one is only left);
    // the next call starts a fresh one.
    void restart();
    // Called once a document was closed and none is open: restarts the
    // office when the options' restartAfterDocuments or restartAboveBytes
    // says so.
    void documentDone();
    // Ends the office this session started and stops the office thread.
    void shutdown();

    const OfficeOptions& options() const;
    void setCallTimeout(int milliseconds);
    void setMemoryLimit(qint64 bytes);
    // The office process this session started, or -1.
    long long officePid() const;
    // Whether that office runs without network, and without internet sockets.
    bool officeNetworkIsolated() const;
    bool officeInternetBlocked() const;
    // Why that office's file system is not confined; empty when it is.
    QString officeUnconfinedReason() const;
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
