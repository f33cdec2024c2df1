#include "FolderNames.h"

#include "automation/AutomationError.h"
#include "desktop/FileList.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qp {

namespace {

// The folder itself when it exists, else the nearest folder above it that
// does; empty when there is none.
QByteArray nearestExisting(QByteArray path) {
    while (!path.isEmpty()) {
        struct stat info {};
        if (::stat(path.constData(), &info) == 0 || (errno != ENOENT && errno != ENOTDIR))
            return path;
        const qsizetype slash = path.lastIndexOf('/');
        if (slash < 0)
            return QByteArrayLiteral(".");
        path = slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
    }
    return path;
}

AutomationError cannotWrite(const QString& folder, int error) {
    return AutomationError(ErrorNumber::PermissionDenied,
                           QStringLiteral("The target folder %1 cannot be written: %2")
                               .arg(folder, QString::fromLocal8Bit(std::strerror(error))));
}

} // namespace

qint64 longestFileName(const QString& folder) {
    const long longest =
        ::pathconf(nearestExisting(encodeFileName(folder)).constData(), _PC_NAME_MAX);
    return longest > 0 ? longest : 255;
}

FolderNames examineFolder(const QString& folder) {
    const QByteArray where = nearestExisting(encodeFileName(folder));
    struct stat info {};
    if (::stat(where.constData(), &info) != 0)
        throw cannotWrite(folder, errno);
    if (!S_ISDIR(info.st_mode))
        throw AutomationError(ErrorNumber::PathNotFound,
                              QStringLiteral("The target folder %1 is not a folder").arg(folder));

    FolderNames names;
    names.longestName = longestFileName(folder);
    // The private file's name is in lower case, with a random part. Only a
    // file system that ignores case finds it under its name in upper case,
    // unless a file of that name was there before, which is looked for first.
    // (A file's number cannot tell: a FUSE file system numbers each name it
    // is asked for anew, and keeps a name it has found for a while after the
    // file has gone.)
    QByteArray probe;
    QByteArray other;
    int fd = -1;
    struct stat found {};
    for (int attempt = 0; fd < 0 && attempt < 8; ++attempt) {
        const QByteArray name =
            ".quillpg-case-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        probe = where + '/' + name;
        other = where + '/' + name.toUpper();
        if (::stat(other.constData(), &found) == 0)
            continue;
        fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            throw cannotWrite(folder, errno);
    }
    if (fd < 0)
        throw cannotWrite(folder, EEXIST);
    ::close(fd);
    names.ignoresCase = ::stat(other.constData(), &found) == 0;
    ::unlink(probe.constData());
    return names;
}

} // namespace qp
