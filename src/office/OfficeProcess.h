#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <mutex>

namespace qp::office {

// How an office is walled in when it is started.
struct OfficeLaunch {
    QString pipeName;           // known as this process's own while the office runs
    QString socketPath;         // the pipe's socket, removed when the office has ended
    QString instanceSocketPath; // the office's single-instance socket, likewise
    QString tempDir;            // made private for the office, removed when it has ended
    bool isolate = true;        // no internet sockets; no network where namespaces allow
    // The file system the office may reach, where the kernel offers Landlock
    // (empty: not confined). Besides these it may write its temporary and
    // output folders, read its input folder and make its pipes' sockets.
    QStringList readable; // read and run: the system, fonts, the installation
    QStringList writable; // read and write: its profile
};

// One headless office process started by this program. The process is tied
// to the thread that started it: when that thread or this program ends, even
// by a kill, the office is killed too, so no invisible office is left behind.
// It runs with umask 077 and its own TMPDIR, and where the kernel offers
// Landlock it reaches only the files its launch names.
class OfficeProcess {
public:
    OfficeProcess() = default;
    ~OfficeProcess();
    OfficeProcess(const OfficeProcess&) = delete;
    OfficeProcess& operator=(const OfficeProcess&) = delete;

    // Starts the office program with the arguments; raises std::runtime_error when
    // it cannot be started.
    void start(const QString& program, const QStringList& arguments, const QString& logFile,
               const OfficeLaunch& launch = {});
    pid_t pid() const;
    bool running();
    // The exit status once the process has ended (-1 while running or killed
    // by a signal), and the signal that ended it (0 while running or when it
    // exited).
    int exitStatus() const;
    int endSignal() const;
    // Ends the process: a polite request first when graceMs > 0, then a kill.
    void stop(int graceMs = 0);
    // Resident memory in bytes, 0 when unknown.
    qint64 residentBytes() const;
    // Whether the last start asked for the end: then the office did not end on its own.
    bool stopRequested() const;
    // Whether the office runs in a network namespace of its own (no network
    // at all), and whether it is kept from opening internet sockets.
    bool networkIsolated() const;
    bool internetBlocked() const;
    // Why the office's file system is not confined; empty when it is.
    QString unconfinedReason() const;

private:
    // All members are used from the office thread and from callers that end
    // a hanging office, hence the lock.
    void reap(bool wait);
    void removeLeftovers();
    mutable std::recursive_mutex mutex_;
    pid_t pid_ = -1;
    int leftoversSlot_ = -1; // where a signal handler finds what it leaves
    int exitStatus_ = -1;
    int endSignal_ = 0;
    bool stopRequested_ = false;
    bool networkIsolated_ = false;
    bool internetBlocked_ = false;
    QString unconfinedReason_;
    OfficeLaunch launch_;
};

} // namespace qp::office
