#include "OfficeProcess.h"

#include "OfficeSandbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstring>
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

// Flags the child reports back before it runs the office.
constexpr char ReportIsolated = 1;
constexpr char ReportBlocked = 2;

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
    // A folder or pipe of that name that exists already is someone else's:
    // it is never used.
    if (!launch.socketPath.isEmpty() &&
        (QFileInfo::exists(launch.socketPath) || QFileInfo(launch.socketPath).isSymLink()))
        throw std::runtime_error(
            QStringLiteral("the pipe %1 exists already").arg(launch.socketPath).toStdString());
    const QByteArray tempDir = QFile::encodeName(launch.tempDir);
    if (!launch.tempDir.isEmpty() && ::mkdir(tempDir.constData(), 0700) != 0)
        throw std::runtime_error(
            QStringLiteral("the office's temporary folder %1 cannot be made: %2")
                .arg(launch.tempDir, QString::fromLocal8Bit(std::strerror(errno)))
                .toStdString());
    launch_ = launch;

    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls are allowed.
    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(program));
    for (const QString& arg : arguments)
        storage.push_back(arg.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> environment;
    for (char** entry = environ; *entry; ++entry)
        if (std::strncmp(*entry, "TMPDIR=", 7) != 0 || launch.tempDir.isEmpty())
            environment.emplace_back(*entry);
    if (!launch.tempDir.isEmpty())
        environment.push_back("TMPDIR=" + tempDir);
    std::vector<char*> envp;
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
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        const std::string reason = std::strerror(errno);
        removeLeftovers();
        throw std::runtime_error("cannot start the office: " + reason);
    }

    const pid_t child = ::fork();
    if (child < 0) {
        const std::string reason = std::strerror(errno);
        ::close(report[0]);
        ::close(report[1]);
        removeLeftovers();
        throw std::runtime_error("cannot start the office: " + reason);
    }
    if (child == 0) {
        // Its socket and files are for its user alone, whatever the user's umask.
        ::umask(077);
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
        // Killed with the thread that started it, whatever way this program
        // ends. Set after entering the namespace, which clears it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        // Its own process group: a Ctrl-C meant for this program does not hit
        // the office in the middle of a document.
        ::setpgid(0, 0);
        (void)!::write(report[1], &flags, 1);
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(log.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
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
    ::close(report[1]);
    char flags = 0;
    ssize_t got;
    do {
        got = ::read(report[0], &flags, 1);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    pid_ = child;
    exitStatus_ = -1;
    endSignal_ = 0;
    stopRequested_ = false;
    networkIsolated_ = got == 1 && (flags & ReportIsolated);
    internetBlocked_ = got == 1 && (flags & ReportBlocked);
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
    if (!launch_.pipeName.isEmpty())
        notePipeOfThisProcess(launch_.pipeName, false);
    for (const QString& socket : {launch_.socketPath, launch_.instanceSocketPath}) {
        if (!socket.isEmpty() && isOwnSocket(socket))
            ::unlink(QFile::encodeName(socket).constData());
    }
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
