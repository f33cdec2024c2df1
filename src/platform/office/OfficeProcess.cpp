#include "OfficeProcess.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/prctl.h>
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

void OfficeProcess::start(const QString& program, const QStringList& arguments,
                          const QString& logFile) {
    std::lock_guard lock(mutex_);
    stop();
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
    const QByteArray log = QFile::encodeName(logFile);
    const pid_t parent = ::getpid();

    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error(std::string("cannot start the office: ") + std::strerror(errno));
    if (child == 0) {
        // Killed with the thread that started it, whatever way this program ends.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        // Its own process group: a Ctrl-C meant for this program does not hit
        // the office in the middle of a document.
        ::setpgid(0, 0);
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
        ::execve(argv[0], argv.data(), environ);
        ::_exit(127);
    }
    pid_ = child;
    exitStatus_ = -1;
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
        pid_ = -1;
    }
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
        }
        ::kill(target, SIGTERM);
        for (int waited = 0; waited < graceMs && running(); waited += 20)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::lock_guard lock(mutex_);
    if (!running())
        return;
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
