#include "PageStaging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "automation/AutomationError.h"
#include "automation/PhaseClock.h"
#include "automation/SignalSafe.h"
#include "desktop/FileList.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace qp {

namespace {

const QString noSpace = QStringLiteral("No space left on the device");

// What a failed system call in the folder `path` means, as the rows and lines
// show it; one that concerns a single file of it (a folder of the page's name
// in the way) names that file.
AutomationError systemFailure(int error, const QString& path, const QString& file = {}) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return AutomationError(ErrorNumber::DiskFull, noSpace);
    case ENOENT:
    case ENOTDIR:
        return AutomationError(ErrorNumber::PathNotFound,
                               QStringLiteral("Path not found: %1").arg(path));
    case EACCES:
    case EPERM:
    case EROFS:
        return AutomationError(ErrorNumber::PermissionDenied,
                               QStringLiteral("The folder cannot be written: %1").arg(path));
    case EISDIR:
    case ENOTEMPTY:
        if (!file.isEmpty())
            return AutomationError(
                ErrorNumber::PermissionDenied,
                QStringLiteral("A folder of that name is in the way: %1").arg(file));
        [[fallthrough]];
    default:
        return AutomationError(
            ErrorNumber::PermissionDenied,
            QStringLiteral("%1: %2").arg(file.isEmpty() ? path : file,
                                         QString::fromLocal8Bit(std::strerror(error))));
    }
}

// The mode a file created by this user gets: the office writes its files
// private to the user, but a page is meant to be read like any other file the
// user makes. The umask is read from the kernel's account of the process,
// since asking umask() for it means setting it, which other threads would see.
mode_t userFileMode() {
    static const mode_t mode = [] {
        mode_t mask = 022;
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("Umask:")) {
                    bool ok = false;
                    const uint value = line.mid(6).trimmed().toUInt(&ok, 8);
                    if (ok)
                        mask = mode_t(value);
                }
        return mode_t(0666 & ~mask);
    }();
    return mode;
}

QByteArray child(const QByteArray& folder, const QByteArray& name) {
    return folder + (folder.endsWith('/') ? "" : "/") + name;
}

// Files the word processor leaves while it holds a file open.
bool isLockFile(const QByteArray& name) {
    return name.startsWith(".~lock.");
}

// The staging folders as plain text for a signal handler, which may neither
// allocate nor look at a vector that is being changed.
SignalSafeTable<char[4096], 8> signalFolders;

struct StagingFolder {
    QByteArray target;
    QByteArray folder;
    bool inUse = false;
    int signalSlot = -1; // in signalFolders
};

// Every staging folder this process has made and not yet removed.
std::vector<StagingFolder>& stagingFolders() {
    static std::vector<StagingFolder> folders;
    return folders;
}

void removeTree(const StagingFolder& f) {
    signalFolders.forget(f.signalSlot);
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(f.folder.toStdString()), ignored);
}

// Removes what is inside the folder, keeping the folder.
void removeContents(const QByteArray& folder) {
    std::error_code ignored;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(folder.toStdString()), ignored))
        std::filesystem::remove_all(entry.path(), ignored);
}

} // namespace

PageStaging::PageStaging(const QString& targetFolder)
    : nativeTarget_(encodeFileName(targetFolder)), target_(targetFolder) {
    for (StagingFolder& kept : stagingFolders()) {
        if (!kept.inUse && kept.target == nativeTarget_ &&
            ::access(kept.folder.constData(), W_OK) == 0) {
            kept.inUse = true;
            nativeFolder_ = kept.folder;
            folder_ = decodeFileName(nativeFolder_);
            return;
        }
    }
    QByteArray pattern = child(nativeTarget_, ".quillpg-XXXXXX");
    if (!::mkdtemp(pattern.data()))
        throw systemFailure(errno, targetFolder);
    nativeFolder_ = pattern;
    folder_ = decodeFileName(pattern);
    const int slot =
        nativeFolder_.size() < 4096
            ? signalFolders.keep([&](auto& path) { copyForSignal(path, nativeFolder_); })
            : -1;
    stagingFolders().push_back({nativeTarget_, nativeFolder_, true, slot});
}

PageStaging::~PageStaging() {
    if (!empty_)
        removeContents(nativeFolder_);
    // Kept for the next document of this target, unless another one is kept
    // already (a document converted while another one was being saved).
    auto& folders = stagingFolders();
    const bool another = std::any_of(folders.begin(), folders.end(), [&](const StagingFolder& f) {
        return !f.inUse && f.target == nativeTarget_;
    });
    for (auto it = folders.begin(); it != folders.end(); ++it) {
        if (it->folder != nativeFolder_)
            continue;
        if (another) {
            removeTree(*it);
            folders.erase(it);
        } else {
            it->inUse = false;
        }
        return;
    }
}

QString PageStaging::publishedFolderOf(const QString& folder) {
    auto absolute = [](const QByteArray& path) {
        return QDir::cleanPath(QFileInfo(decodeFileName(path)).absoluteFilePath());
    };
    const QString wanted = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    for (const StagingFolder& f : stagingFolders())
        if (absolute(f.folder) == wanted)
            return absolute(f.target);
    return folder;
}

void PageStaging::releaseAll() {
    auto& folders = stagingFolders();
    std::erase_if(folders, [](const StagingFolder& f) {
        if (f.inUse)
            return false;
        removeTree(f);
        return true;
    });
}

void PageStaging::discardAll() {
    for (const StagingFolder& f : stagingFolders())
        removeTree(f);
    stagingFolders().clear();
}

void PageStaging::discardAllFromSignal() {
    signalFolders.takeAll([](const char* path) { removeTreeFromSignal(path); });
}

QString PageStaging::stagedPage(const QString& pageName) const {
    return joinPath(folder_, portableFileName(pageName));
}

QString PageStaging::linkDocument(const QString& document) {
    const QByteArray source = encodeFileName(document);
    QString name = QStringLiteral("document-") +
                   portableFileName(document.mid(document.lastIndexOf(u'/') + 1));
    if (::symlink(source.constData(), child(nativeFolder_, encodeFileName(name)).constData()) != 0)
        throw systemFailure(errno, folder_);
    link_ = name;
    return name;
}

bool PageStaging::diskFull() const {
    struct statvfs space {};
    if (::statvfs(nativeFolder_.constData(), &space) == 0 && space.f_bavail == 0)
        return true;
    // The word processor may have given up on a write that did not fit while
    // some space is left: see whether a megabyte still fits.
    const QByteArray probe = child(nativeFolder_, ".space-probe");
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return errno == ENOSPC || errno == EDQUOT;
    static const std::vector<char> zeros(std::size_t{1024} * 1024);
    bool full = false;
    size_t written = 0;
    while (written < zeros.size()) {
        const ssize_t n = ::write(fd, zeros.data() + written, zeros.size() - written);
        if (n < 0) {
            full = errno == ENOSPC || errno == EDQUOT;
            break;
        }
        written += size_t(n);
    }
    if (!full && ::fsync(fd) != 0)
        full = errno == ENOSPC || errno == EDQUOT;
    ::close(fd);
    ::unlink(probe.constData());
    return full;
}

qint64 PageStaging::commit(const QString& pageName) {
    const PhaseTimer timer(Phase::Place);
    const QByteArray staged = encodeFileName(portableFileName(pageName));
    // The word processor names the pictures after the page ("page_htm_...").
    // Anything else is not this page's: an office that was killed may still
    // have written into the folder.
    const QByteArray picturePrefix =
        (staged.lastIndexOf('.') > 0 ? staged.left(staged.lastIndexOf('.')) : staged) + '_';
    const QByteArray& target = nativeTarget_;
    const QByteArray link = encodeFileName(link_);

    // What the save wrote: the page and the pictures beside it.
    std::vector<QByteArray> pictures;
    bool pageWritten = false;
    bool leftBehind = false;
    qint64 bytes = 0;
    {
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(nativeFolder_.constData()), ::closedir);
        if (!dir)
            throw systemFailure(errno, folder_);
        while (const dirent* entry = ::readdir(dir.get())) {
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            struct stat info {};
            if ((name != staged && !name.startsWith(picturePrefix)) || name == link ||
                isLockFile(name) || ::lstat(child(nativeFolder_, name).constData(), &info) != 0 ||
                !S_ISREG(info.st_mode)) {
                leftBehind = true;
                continue;
            }
            if (info.st_size == 0)
                throw diskFull()
                    ? AutomationError(ErrorNumber::DiskFull, noSpace)
                    : AutomationError(ErrorNumber::ServerFailure,
                                      QStringLiteral("The word processor wrote an empty file: %1")
                                          .arg(decodeFileName(name)));
            bytes += info.st_size;
            if (name == staged)
                pageWritten = true;
            else
                pictures.push_back(name);
        }
    }
    if (!pageWritten)
        throw AutomationError(ErrorNumber::ServerFailure,
                              QStringLiteral("The word processor wrote no web page: %1")
                                  .arg(joinPath(target_, pageName)));
    // A file system that is full now may have cut a file short.
    struct statvfs space {};
    if (::statvfs(nativeFolder_.constData(), &space) == 0 && space.f_bavail == 0)
        throw AutomationError(ErrorNumber::DiskFull, noSpace);

    for (const QByteArray& name : pictures)
        ::chmod(child(nativeFolder_, name).constData(), userFileMode());
    ::chmod(child(nativeFolder_, staged).constData(), userFileMode());

    std::vector<QByteArray> moved;
    auto undo = [&] {
        for (const QByteArray& name : moved)
            ::rename(child(target, name).constData(), child(nativeFolder_, name).constData());
    };
    for (const QByteArray& name : pictures) {
        if (::rename(child(nativeFolder_, name).constData(), child(target, name).constData()) !=
            0) {
            const int error = errno;
            undo();
            throw systemFailure(error, target_, joinPath(target_, decodeFileName(name)));
        }
        moved.push_back(name);
    }
    if (::rename(child(nativeFolder_, staged).constData(),
                 child(target, encodeFileName(pageName)).constData()) != 0) {
        const int error = errno;
        undo();
        throw systemFailure(error, target_, joinPath(target_, pageName));
    }
    empty_ = !leftBehind;
    return bytes;
}

} // namespace qp
