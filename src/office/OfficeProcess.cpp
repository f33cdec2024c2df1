#include "OfficeProcess.h"

#include "OfficeSandbox.h"
#include "automation/PhaseClock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace qp::office {

OfficeProcess::~OfficeProcess() {
    stop();
}

pid_t OfficeProcess::pid() const {
    std::lock_guard lock(mutex_);
    return pid_;
}

int OfficeProcess::exitStatus() const {
    std::lock_guard lock(mutex_);
    return exitStatus_;
}

int OfficeProcess::endSignal() const {
    std::lock_guard lock(mutex_);
    return endSignal_;
}

namespace {

// What the child reports back before it runs the office: flags, the error
// that kept Landlock from confining it, and how long walling it in took.
constexpr char ReportIsolated = 1;
constexpr char ReportBlocked = 2;
constexpr char ReportConfined = 4;
struct ChildReport {
    char flags = 0;
    int confinement = -1;
    long long confineNanoseconds = 0;
};

long long monotonicNanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// Landlock's rights on files, numbered as the kernel's interface numbers them
// (the system's headers may be older than the kernel).
constexpr std::uint64_t fsExecute = 1ULL << 0;
constexpr std::uint64_t fsWriteFile = 1ULL << 1;
constexpr std::uint64_t fsReadFile = 1ULL << 2;
constexpr std::uint64_t fsReadDir = 1ULL << 3;
constexpr std::uint64_t fsMakeSock = 1ULL << 9;
constexpr std::uint64_t fsAllOfVersion1 = (1ULL << 13) - 1;
constexpr std::uint64_t fsRefer = 1ULL << 13;    // version 2
constexpr std::uint64_t fsTruncate = 1ULL << 14; // version 3
constexpr std::uint64_t fsIoctlDev = 1ULL << 15; // version 5
constexpr std::uint64_t fsFileRights =
    fsExecute | fsWriteFile | fsReadFile | fsTruncate | fsIoctlDev;
constexpr std::uint64_t fsRead = fsExecute | fsReadFile | fsReadDir;
constexpr std::uint64_t fsAll = ~0ULL;

struct LandlockRule {
    QByteArray path;
    std::uint64_t access;
};

struct __attribute__((packed)) PathBeneath {
    std::uint64_t allowedAccess;
    std::int32_t parentFd;
};

std::uint64_t handledRights(int version) {
    std::uint64_t rights = fsAllOfVersion1;
    if (version >= 2)
        rights |= fsRefer;
    if (version >= 3)
        rights |= fsTruncate;
    if (version >= 5)
        rights |= fsIoctlDev;
    return rights;
}

// In the child, before it runs the office: from now on it reaches only the
// files below the rules' paths, with the rights each grants. A path that does
// not exist is left out. Returns 0, or the error that kept it from working.
// Only calls that are safe after fork.
int confineFileSystem(const std::vector<LandlockRule>& rules, std::uint64_t handled) {
    const std::uint64_t attributes = handled; // the first field of the ruleset's attributes
    const int ruleset =
        int(::syscall(SYS_landlock_create_ruleset, &attributes, sizeof attributes, 0));
    if (ruleset < 0)
        return errno;
    for (const LandlockRule& rule : rules) {
        const int fd = ::open(rule.path.constData(), O_PATH | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat info {};
        PathBeneath beneath{rule.access & handled, fd};
        if (::fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode))
            beneath.allowedAccess &= fsFileRights;
        const bool added =
            beneath.allowedAccess == 0 ||
            ::syscall(SYS_landlock_add_rule, ruleset, 1 /* path beneath */, &beneath, 0) == 0;
        const int error = errno;
        ::close(fd);
        if (!added) {
            ::close(ruleset);
            return error;
        }
    }
    const bool restricted = ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
                            ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    const int error = errno;
    ::close(ruleset);
    return restricted ? 0 : error;
}

#if defined(__x86_64__)
constexpr std::uint32_t auditArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr std::uint32_t auditArch = AUDIT_ARCH_AARCH64;
#else
constexpr std::uint32_t auditArch = 0;
#endif

// A system-call filter that makes every attempt to open an IPv4 or IPv6
// socket fail, whatever the document asks for (linked pictures, DNS). Calls of
// another architecture's numbering (x32, i386) are refused altogether.
bool blockInternetSockets() {
    if (auditArch == 0)
        return false;
    constexpr std::uint32_t deny = SECCOMP_RET_ERRNO | EACCES;
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, auditArch, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, deny),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000, 6, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_socket, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AF_INET, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AF_INET6, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, deny),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

bool writeAll(const char* path, const QByteArray& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.constData(), size_t(text.size())) == text.size();
    ::close(fd);
    return ok;
}

} // namespace

void OfficeProcess::start(const QString& program, const QStringList& arguments,
                          const QString& logFile, const OfficeLaunch& launch) {
    std::lock_guard lock(mutex_);
    stop();
    if (officesAreEnding())
        throw std::runtime_error("the program is ending");
    // A folder or pipe of that name that exists already is someone else's:
    // it is never used.
    if (!launch.socketPath.isEmpty() &&
        (QFileInfo::exists(launch.socketPath) || QFileInfo(launch.socketPath).isSymLink()))
        throw std::runtime_error(
            QStringLiteral("the pipe %1 exists already").arg(launch.socketPath).toStdString());
    // Its private folder: temporary files, the documents handed to it, the
    // pages it writes.
    const QByteArray tempDir = QFile::encodeName(launch.tempDir);
    const QByteArray scratchDir = tempDir + "/tmp";
    if (!launch.tempDir.isEmpty()) {
        // A folder of this user by that name can only be what an earlier
        // office of the same pipe left (the name holds this process's id and
        // 128 random bits), for instance through a call that outlived it: it
        // is cleared. A link, or a folder of another user, is never used.
        struct stat info {};
        if (::lstat(tempDir.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
            info.st_uid == ::getuid())
            QDir(launch.tempDir).removeRecursively();
        for (const QByteArray& folder : {tempDir, scratchDir, tempDir + "/in", tempDir + "/out"})
            if (::mkdir(folder.constData(), 0700) != 0) {
                const int error = errno;
                if (folder != tempDir)
                    QDir(launch.tempDir).removeRecursively();
                throw std::runtime_error(
                    QStringLiteral("the office's temporary folder %1 cannot be made: %2")
                        .arg(launch.tempDir, QString::fromLocal8Bit(std::strerror(error)))
                        .toStdString());
            }
    }
    launch_ = launch;

    // Its file system: what it needs to run, its profile and its private
    // folder, where the kernel offers Landlock.
    QString unconfined;
    const int landlock = launch.readable.isEmpty() ? 0 : landlockVersion(&unconfined);
    if (launch.readable.isEmpty())
        unconfined = QStringLiteral("it was started without confinement");
    std::vector<LandlockRule> rules;
    for (const QString& path : launch.readable)
        rules.push_back({QFile::encodeName(path), fsRead});
    for (const QString& path : launch.writable)
        rules.push_back({QFile::encodeName(path), fsAll});
    if (!launch.tempDir.isEmpty()) {
        rules.push_back({scratchDir, fsAll});
        rules.push_back({tempDir + "/out", fsAll});
        rules.push_back({tempDir + "/in", fsRead});
    }
    // Its pipes' sockets; nothing else of these folders.
    for (const QString& folder : socketFolders())
        rules.push_back({QFile::encodeName(folder), fsMakeSock});
    // Its standard streams and the system's random numbers.
    for (const char* device : {"/dev/null", "/dev/zero", "/dev/urandom", "/dev/random"})
        rules.push_back({device, fsReadFile | fsWriteFile});

    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls are allowed.
    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(program));
    for (const QString& arg : arguments)
        storage.push_back(arg.toLocal8Bit());
    std::vector<char*> argv;
    argv.reserve(storage.size() + 1);
    for (QByteArray& item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> environment;
    for (char** entry = environ; *entry; ++entry)
        if (std::strncmp(*entry, "TMPDIR=", 7) != 0 || launch.tempDir.isEmpty())
            environment.emplace_back(*entry);
    if (!launch.tempDir.isEmpty())
        environment.push_back("TMPDIR=" + scratchDir);
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (QByteArray& item : environment)
        envp.push_back(item.data());
    envp.push_back(nullptr);
    const QByteArray log = QFile::encodeName(logFile);
    const pid_t parent = ::getpid();
    // Inside its user namespace the office keeps its own user and group ids,
    // so that its pipe's socket has the name and owner this process expects.
    const QByteArray uidMap =
        QByteArray::number(::geteuid()) + ' ' + QByteArray::number(::geteuid()) + " 1";
    const QByteArray gidMap =
        QByteArray::number(::getegid()) + ' ' + QByteArray::number(::getegid()) + " 1";
    const bool mayUnshareNetwork = ::geteuid() == 0;
    int reportPipe[2];
    if (::pipe2(reportPipe, O_CLOEXEC) != 0) {
        const std::string reason = std::strerror(errno);
        removeLeftovers();
        throw std::runtime_error("cannot start the office: " + reason);
    }

    const pid_t child = ::fork();
    if (child < 0) {
        const std::string reason = std::strerror(errno);
        ::close(reportPipe[0]);
        ::close(reportPipe[1]);
        removeLeftovers();
        throw std::runtime_error("cannot start the office: " + reason);
    }
    if (child == 0) {
        // Its socket and files are for its user alone, whatever the user's umask.
        ::umask(077);
        const long long walling = monotonicNanoseconds();
        char flags = 0;
        if (launch.isolate) {
            // A network namespace of its own holds only an unconfigured
            // loopback. Root makes one directly and keeps its ids and rights;
            // anyone else through a user namespace of their own. Where
            // namespaces are off the office goes on without.
            if (mayUnshareNetwork && ::unshare(CLONE_NEWNET) == 0) {
                flags |= ReportIsolated;
            } else if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0) {
                writeAll("/proc/self/setgroups", "deny");
                if (!writeAll("/proc/self/gid_map", gidMap) ||
                    !writeAll("/proc/self/uid_map", uidMap))
                    ::_exit(126);
                flags |= ReportIsolated;
            }
            if (blockInternetSockets())
                flags |= ReportBlocked;
        }
        // Its standard streams are opened before its file system is closed.
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(log.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        int confinement = -1;
        if (landlock > 0) {
            confinement = confineFileSystem(rules, handledRights(landlock));
            if (confinement == 0)
                flags |= ReportConfined;
        }
        ChildReport report{flags, confinement, monotonicNanoseconds() - walling};
        // Killed with the thread that started it, whatever way this program
        // ends. Set after entering the namespace, which clears it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        // Its own process group: a Ctrl-C meant for this program does not hit
        // the office in the middle of a document.
        ::setpgid(0, 0);
        (void)!::write(reportPipe[1], &report, sizeof report);
        if (in >= 0)
            ::dup2(in, 0);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        for (int fd = 3; fd < 1024; ++fd)
            ::close(fd);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(reportPipe[1]);
    ChildReport report;
    ssize_t got;
    do {
        got = ::read(reportPipe[0], &report, sizeof report);
    } while (got < 0 && errno == EINTR);
    ::close(reportPipe[0]);
    const bool reported = got == ssize_t(sizeof report);
    const char flags = reported ? report.flags : char(0);
    if (flags & ReportConfined)
        unconfined.clear();
    else if (landlock > 0)
        unconfined = QStringLiteral("Landlock refused its rules: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(report.confinement)));
    if (reported)
        addPhaseTime(Phase::Confine, std::chrono::nanoseconds(report.confineNanoseconds));
    pid_ = child;
    leftoversSlot_ = keepOfficeLeftovers(child, launch.pipeName, launch.tempDir,
                                         {launch.socketPath, launch.instanceSocketPath});
    exitStatus_ = -1;
    endSignal_ = 0;
    stopRequested_ = false;
    networkIsolated_ = flags & ReportIsolated;
    internetBlocked_ = flags & ReportBlocked;
    unconfinedReason_ = unconfined;
    // An office meant to be confined that runs unconfined is said, once per
    // process; a child that ended before its report runs no office.
    if (reported && !launch.readable.isEmpty() && !unconfined.isEmpty())
        noteUnconfined(unconfined);
    if (!launch.pipeName.isEmpty())
        notePipeOfThisProcess(launch.pipeName, true);
}

void OfficeProcess::reap(bool wait) {
    std::lock_guard lock(mutex_);
    if (pid_ <= 0)
        return;
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(pid_, &status, wait ? 0 : WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == pid_ || (result < 0 && errno == ECHILD)) {
        exitStatus_ = (result == pid_ && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
        endSignal_ = (result == pid_ && WIFSIGNALED(status)) ? WTERMSIG(status) : 0;
        pid_ = -1;
        removeLeftovers();
    }
}

// What the office leaves when it is killed: its sockets and its temporary
// files. Only a socket of this user is removed.
void OfficeProcess::removeLeftovers() {
    forgetOfficeLeftovers(leftoversSlot_);
    leftoversSlot_ = -1;
    if (!launch_.pipeName.isEmpty())
        notePipeOfThisProcess(launch_.pipeName, false);
    for (const QString& socket : {launch_.socketPath, launch_.instanceSocketPath}) {
        if (!socket.isEmpty() && isOwnSocket(socket))
            ::unlink(QFile::encodeName(socket).constData());
    }
    if (!launch_.pipeName.isEmpty())
        forgetInstanceSocket(launch_.pipeName);
    if (!launch_.tempDir.isEmpty())
        QDir(launch_.tempDir).removeRecursively();
    launch_ = {};
}

bool OfficeProcess::stopRequested() const {
    std::lock_guard lock(mutex_);
    return stopRequested_;
}

bool OfficeProcess::networkIsolated() const {
    std::lock_guard lock(mutex_);
    return networkIsolated_;
}

bool OfficeProcess::internetBlocked() const {
    std::lock_guard lock(mutex_);
    return internetBlocked_;
}

QString OfficeProcess::unconfinedReason() const {
    std::lock_guard lock(mutex_);
    return unconfinedReason_;
}

bool OfficeProcess::running() {
    std::lock_guard lock(mutex_);
    reap(false);
    return pid_ > 0;
}

void OfficeProcess::stop(int graceMs) {
    if (graceMs > 0) {
        pid_t target;
        {
            std::lock_guard lock(mutex_);
            if (!running())
                return;
            target = pid_;
            stopRequested_ = true;
        }
        ::kill(target, SIGTERM);
        for (int waited = 0; waited < graceMs && running(); waited += 20)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::lock_guard lock(mutex_);
    if (!running())
        return;
    stopRequested_ = true;
    ::kill(pid_, SIGKILL);
    reap(true);
}

qint64 OfficeProcess::residentBytes() const {
    std::lock_guard lock(mutex_);
    if (pid_ <= 0)
        return 0;
    QFile statm(QStringLiteral("/proc/%1/statm").arg(pid_));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2)
        return 0;
    return fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE);
}

} // namespace qp::office
