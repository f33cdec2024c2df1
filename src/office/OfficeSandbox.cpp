#include "OfficeSandbox.h"

#include "automation/SignalSafe.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>
#include <utility>

namespace qp::office {

namespace {

std::mutex pipesMutex;
std::set<QString>& pipesOfThisProcess() {
    static std::set<QString> pipes;
    return pipes;
}

QString socketFolder() {
    return ::access("/tmp", W_OK) == 0 ? QStringLiteral("/tmp") : QStringLiteral("/var/tmp");
}

const QString namePattern = QStringLiteral("quillpg-(\\d+)-[0-9a-f]{32}");

// Whether the path is owned by this user and of the kind wanted (S_IFSOCK, S_IFDIR).
bool ownedByUs(const QString& path, mode_t kind) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 &&
           (info.st_mode & S_IFMT) == kind && info.st_uid == ::getuid();
}

bool processIsGone(qint64 pid) {
    return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

QString randomPipeName() {
    unsigned char bytes[16];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno != EINTR)
            throw std::runtime_error("the system gave no random numbers for the office's pipe");
        if (n > 0)
            got += std::size_t(n);
    }
    return QStringLiteral("quillpg-%1-%2")
        .arg(::getpid())
        .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes), 16).toHex()));
}

QString pipeSocketPath(const QString& pipeName) {
    return QStringLiteral("%1/OSL_PIPE_%2_%3").arg(socketFolder()).arg(::getuid()).arg(pipeName);
}

QString singleInstanceSocketPath(const QString& profileUrl) {
    // The MD5 of the address's UTF-16 text, each byte in hex without a
    // leading zero, as the office writes it.
    const QByteArray digest =
        QCryptographicHash::hash(QByteArray(reinterpret_cast<const char*>(profileUrl.utf16()),
                                            profileUrl.size() * qsizetype(sizeof(char16_t))),
                                 QCryptographicHash::Md5);
    QString hex;
    for (const char byte : digest)
        hex += QString::number(static_cast<unsigned char>(byte), 16);
    return pipeSocketPath(QStringLiteral("SingleOfficeIPC_") + hex);
}

namespace {

QString instanceRecordPath(const QString& pipeName) {
    return QDir::tempPath() + QLatin1Char('/') + pipeName + QStringLiteral(".instance");
}

ino_t inodeOf(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

// Only the very socket that was noted (a single-instance socket of this user
// in the socket folder, the same inode) is ever removed: a later office with
// the same profile makes a new one at the same path.
void removeInstanceSocketOf(const QString& record) {
    QFile file(record);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QStringList lines = QString::fromUtf8(file.read(4096)).split(QLatin1Char('\n'));
    file.close();
    const QString socket = lines.value(0);
    const QRegularExpression name(QStringLiteral("^%1/OSL_PIPE_%2_SingleOfficeIPC_[0-9a-f]{1,32}$")
                                      .arg(QRegularExpression::escape(socketFolder()))
                                      .arg(::getuid()));
    if (name.match(socket).hasMatch() && ownedByUs(socket, S_IFSOCK) &&
        QString::number(inodeOf(socket)) == lines.value(1))
        ::unlink(QFile::encodeName(socket).constData());
    QFile::remove(record);
}

} // namespace

void noteInstanceSocket(const QString& pipeName, const QString& socketPath) {
    if (!isOwnSocket(socketPath))
        return;
    QFile record(instanceRecordPath(pipeName));
    if (record.open(QIODevice::WriteOnly | QIODevice::Truncate))
        record.write(
            (socketPath + QLatin1Char('\n') + QString::number(inodeOf(socketPath))).toUtf8());
}

void forgetInstanceSocket(const QString& pipeName) {
    QFile::remove(instanceRecordPath(pipeName));
}

namespace {

// A running office's leftovers as plain text, for a signal handler.
struct KeptOffice {
    pid_t office = -1;
    char folder[1024];
    char record[1024];
    char sockets[2][sizeof(sockaddr_un::sun_path)];
};
SignalSafeTable<KeptOffice, 64> keptOffices;
// Set by the signal handler: no office is started any more.
std::atomic<bool> officesEnding{false};

// Whether the process has ended: gone, or a zombie not yet reaped.
bool hasEnded(pid_t pid) {
    char path[32] = "/proc/";
    char digits[16];
    int n = 0;
    for (pid_t rest = pid; rest > 0 && n < 15; rest /= 10)
        digits[n++] = char('0' + rest % 10);
    int at = 6;
    while (n > 0)
        path[at++] = digits[--n];
    std::memcpy(path + at, "/stat", 6);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return true;
    char stat[512];
    const ssize_t got = ::read(fd, stat, sizeof stat - 1);
    ::close(fd);
    if (got <= 0)
        return true;
    stat[got] = 0;
    const char* end = std::strrchr(stat, ')');
    return end && end[1] == ' ' && (end[2] == 'Z' || end[2] == 'X');
}

} // namespace

int keepOfficeLeftovers(pid_t office, const QString& pipeName, const QString& tempDir,
                        const QStringList& sockets) {
    return keptOffices.keep([&](KeptOffice& kept) {
        kept.office = office;
        copyForSignal(kept.folder, QFile::encodeName(tempDir));
        copyForSignal(kept.record, pipeName.isEmpty()
                                       ? QByteArray()
                                       : QFile::encodeName(instanceRecordPath(pipeName)));
        for (int s = 0; s < 2; ++s)
            copyForSignal(kept.sockets[s], QFile::encodeName(sockets.value(s)));
    });
}

void forgetOfficeLeftovers(int slot) {
    keptOffices.forget(slot);
}

bool officesAreEnding() {
    return officesEnding.load();
}

void endOfficesFromSignal() {
    const int savedErrno = errno;
    officesEnding.store(true);
    // An office that a worker was starting meanwhile is kept after the pass
    // before: passes go on while one finds an office.
    for (int pass = 0; pass < 4; ++pass) {
        KeptOffice* taken[64];
        int count = 0;
        keptOffices.takeAll([&](KeptOffice& kept) {
            ::kill(kept.office, SIGKILL);
            taken[count++] = &kept;
        });
        if (count == 0)
            break;
        for (int i = 0; i < count; ++i) {
            const KeptOffice& kept = *taken[i];
            // Its files are closed once it has ended; killed, that takes moments.
            const timespec pause{0, 10 * 1000 * 1000};
            for (int waited = 0; waited < 300 && !hasEnded(kept.office); ++waited)
                ::nanosleep(&pause, nullptr);
            for (const char* socket : kept.sockets) {
                struct stat info {};
                if (socket[0] && ::lstat(socket, &info) == 0 && S_ISSOCK(info.st_mode) &&
                    info.st_uid == ::getuid())
                    ::unlink(socket);
            }
            if (kept.record[0])
                ::unlink(kept.record);
            if (kept.folder[0])
                removeTreeFromSignal(kept.folder);
        }
    }
    errno = savedErrno;
}

bool isOwnSocket(const QString& path) {
    return ownedByUs(path, S_IFSOCK);
}

QString officeTempDir(const QString& pipeName) {
    return QDir::tempPath() + QLatin1Char('/') + pipeName + QStringLiteral(".tmp");
}

QString officeScratchDir(const QString& pipeName) {
    return officeTempDir(pipeName) + QStringLiteral("/tmp");
}

QString officeInputDir(const QString& pipeName) {
    return officeTempDir(pipeName) + QStringLiteral("/in");
}

QString officeOutputDir(const QString& pipeName) {
    return officeTempDir(pipeName) + QStringLiteral("/out");
}

QStringList socketFolders() {
    return {QStringLiteral("/tmp"), QStringLiteral("/var/tmp")};
}

QStringList officeReadableFolders(const QString& installation) {
    // The system: programs, libraries, fonts and their caches.
    QStringList folders{
        QStringLiteral("/usr"), QStringLiteral("/bin"), QStringLiteral("/sbin"),
        QStringLiteral("/lib"), QStringLiteral("/lib32"), QStringLiteral("/lib64"),
        QStringLiteral("/libx32"), QStringLiteral("/opt"), QStringLiteral("/var/cache/fontconfig"),
        // the installation's shared extensions, where Debian puts them
        QStringLiteral("/var/spool/libreoffice"), QStringLiteral("/var/lib/libreoffice"),
        QStringLiteral("/var/lib/fontconfig"), QStringLiteral("/sys/devices/system/cpu")};
    // Of the system's configuration only what the office and the programs it
    // runs (paperconf, gpg) read, file by file: the rest of /etc (the
    // password hashes, keys, the host's own settings) is none of theirs.
    for (const char* name :
         {"fonts", "libreoffice", "ld.so.cache", "ld.so.preload", "nsswitch.conf", "passwd",
          "group", "localtime", "timezone", "papersize", "libpaper.d", "gcrypt", "gnutls",
          "gnupg/gpg.conf", "gnupg/gpgsm.conf", "selinux/config"})
        folders << QStringLiteral("/etc/") + QLatin1String(name);
    // Of what the kernel tells, only what is the same for every process. A
    // process's own folder cannot be named: each process (the programs the
    // office runs too) has another, and the kernel may make it anew when it
    // is looked up again. The office opens none of it (the link
    // /proc/self/exe is read without opening anything).
    for (const char* name :
         {"filesystems", "meminfo", "cpuinfo", "stat", "sys/vm/overcommit_memory", "sys/crypto"})
        folders << QStringLiteral("/proc/") + QLatin1String(name);
    if (!installation.isEmpty())
        folders << QFileInfo(installation).canonicalFilePath();
    // The user's fonts, their configuration and cache, where the desktop's
    // conventions put them.
    const QString home = QDir::homePath();
    auto xdg = [&](const char* variable, const QString& fallback) {
        const QString value = qEnvironmentVariable(variable);
        return value.startsWith(QLatin1Char('/')) ? value : home + fallback;
    };
    folders << home + QStringLiteral("/.fonts") << home + QStringLiteral("/.fonts.conf")
            << home + QStringLiteral("/.fonts.conf.d")
            << xdg("XDG_DATA_HOME", QStringLiteral("/.local/share")) + QStringLiteral("/fonts")
            << xdg("XDG_CONFIG_HOME", QStringLiteral("/.config")) + QStringLiteral("/fontconfig");
    return folders;
}

QString userFontCacheDir() {
    const QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    return (cache.startsWith(QLatin1Char('/')) ? cache
                                               : QDir::homePath() + QStringLiteral("/.cache")) +
           QStringLiteral("/fontconfig");
}

int landlockVersion(QString* reason) {
    const long version = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, 1U /* the version */);
    if (version > 0)
        return int(version);
    if (reason)
        *reason = errno == ENOSYS ? QStringLiteral("the kernel offers no Landlock (Linux 5.13 or "
                                                   "later has it)")
                  : errno == EOPNOTSUPP
                      ? QStringLiteral("Landlock is switched off in this kernel (see its lsm= "
                                       "boot parameter)")
                      : QStringLiteral("Landlock cannot be used: %1")
                            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    return 0;
}

namespace {
std::mutex noticeMutex;
std::function<void(const QString&)> unconfinedNotice;
bool unconfinedNoted = false;
} // namespace

void setUnconfinedNotice(std::function<void(const QString& reason)> notice) {
    std::lock_guard lock(noticeMutex);
    unconfinedNotice = std::move(notice);
}

void noteUnconfined(const QString& reason) {
    std::function<void(const QString&)> notice;
    {
        std::lock_guard lock(noticeMutex);
        if (std::exchange(unconfinedNoted, true))
            return;
        notice = unconfinedNotice;
    }
    if (notice)
        notice(reason);
}

void notePipeOfThisProcess(const QString& pipeName, bool listening) {
    std::lock_guard lock(pipesMutex);
    if (listening)
        pipesOfThisProcess().insert(pipeName);
    else
        pipesOfThisProcess().erase(pipeName);
}

bool isPipeOfThisProcess(const QString& pipeName) {
    std::lock_guard lock(pipesMutex);
    return pipesOfThisProcess().count(pipeName) > 0;
}

void removeLitterOfDeadRuns() {
    static std::once_flag once;
    std::call_once(once, [] {
        const QRegularExpression socket(
            QStringLiteral("^OSL_PIPE_%1_%2$").arg(::getuid()).arg(namePattern));
        const QDir sockets(socketFolder());
        for (const QString& name : sockets.entryList(QDir::Files | QDir::System | QDir::Hidden)) {
            const auto match = socket.match(name);
            if (match.hasMatch() && processIsGone(match.captured(1).toLongLong()) &&
                isOwnSocket(sockets.filePath(name)))
                ::unlink(QFile::encodeName(sockets.filePath(name)).constData());
        }
        const QRegularExpression folder(QStringLiteral("^%1\\.tmp$").arg(namePattern));
        const QDir temp(QDir::tempPath());
        for (const QString& name : temp.entryList(QDir::Dirs | QDir::Hidden)) {
            const auto match = folder.match(name);
            if (match.hasMatch() && processIsGone(match.captured(1).toLongLong()) &&
                ownedByUs(temp.filePath(name), S_IFDIR))
                QDir(temp.filePath(name)).removeRecursively();
        }
        const QRegularExpression record(QStringLiteral("^%1\\.instance$").arg(namePattern));
        for (const QString& name : temp.entryList(QDir::Files | QDir::Hidden)) {
            const auto match = record.match(name);
            if (match.hasMatch() && processIsGone(match.captured(1).toLongLong()))
                removeInstanceSocketOf(temp.filePath(name));
        }
    });
}

std::unique_ptr<QLockFile> claimProfile(const QString& kind, QString* profileDir, QString* error) {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                         QStringLiteral("/quillpg/office");
    const QFileInfo info(base);
    if (!QDir().mkpath(base) || !info.isDir() ||
        ::access(QFile::encodeName(base).constData(), W_OK | X_OK) != 0) {
        *error = QStringLiteral("the office profile folder %1 cannot be used: it is not a "
                                "folder that can be written")
                     .arg(base);
        return nullptr;
    }
    for (int slot = 1; slot <= 1000; ++slot) {
        auto lock =
            std::make_unique<QLockFile>(QStringLiteral("%1/%2-%3.lock").arg(base, kind).arg(slot));
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) {
            *profileDir = QStringLiteral("%1/%2-%3").arg(base, kind).arg(slot);
            return lock;
        }
        // Only a slot that another run holds is skipped; any other failure
        // would fail for every slot alike.
        if (lock->error() != QLockFile::LockFailedError) {
            *error = QStringLiteral("the office profile folder %1 cannot be used: its lock "
                                    "file cannot be made")
                         .arg(base);
            return nullptr;
        }
    }
    *error = QStringLiteral("the office profile folder %1 cannot be used: all its slots are taken")
                 .arg(base);
    return nullptr;
}

bool prepareProfileDir(const QString& dir, QString* error) {
    const QByteArray path = QFile::encodeName(dir);
    struct stat info {};
    if (::lstat(path.constData(), &info) == 0 && !S_ISDIR(info.st_mode))
        ::unlink(path.constData());
    if (QDir().mkpath(dir) && ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode))
        return true;
    *error = QStringLiteral("the office profile folder %1 cannot be made").arg(dir);
    return false;
}

} // namespace qp::office
