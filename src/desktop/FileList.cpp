#include "FileList.h"

#include "automation/AutomationError.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace qp {

namespace {
// The folder without trailing separators, except for the root folder itself.
QString withoutTrailingSeparator(const QString& folder) {
    QString result = folder;
    while (result.size() > 1 && result.endsWith(QLatin1Char('/')))
        result.chop(1);
    return result;
}

constexpr char16_t firstRawByte = 0xDC80;
constexpr char16_t lastRawByte = 0xDCFF;

bool isRawByte(QChar c) {
    return c.unicode() >= firstRawByte && c.unicode() <= lastRawByte;
}

// The length of the valid UTF-8 sequence at data[i], or 0 when there is none.
int validSequence(const unsigned char* data, qsizetype size, qsizetype i) {
    const unsigned char lead = data[i];
    if (lead < 0x80)
        return 1;
    int length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > size)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((data[i + k] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (data[i + k] & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and code points beyond Unicode.
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

// Whether the resolved path lies in the resolved folder or below it.
bool inside(const QByteArray& path, const QByteArray& folder) {
    return path == folder || path.startsWith(folder.endsWith('/') ? folder : folder + '/');
}

// What keeps a file of this type from being converted; empty for a regular file.
QString typeProblem(mode_t mode) {
    if (S_ISREG(mode))
        return {};
    const char* kind = S_ISFIFO(mode)                   ? "a FIFO"
                       : S_ISSOCK(mode)                 ? "a socket"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                                                        : "of an unknown type";
    return QStringLiteral("not a regular file (%1)").arg(QLatin1String(kind));
}
} // namespace

void FileList::setPath(const QString& folder) {
    path_ = withoutTrailingSeparator(folder);
    files_.clear();
    index_ = -1;

    const QByteArray native = encodeFileName(path_);
    struct stat info {};
    std::unique_ptr<DIR, int (*)(DIR*)> dir(nullptr, ::closedir);
    int error = ENOENT;
    if (!path_.isEmpty() && ::stat(native.constData(), &info) == 0) {
        error = ENOTDIR;
        // Listing needs both: reading the names and looking at the entries.
        if (S_ISDIR(info.st_mode) && ::access(native.constData(), R_OK | X_OK) != 0)
            error = errno;
        else if (S_ISDIR(info.st_mode))
            dir.reset(::opendir(native.constData()));
        if (S_ISDIR(info.st_mode) && !dir && error == ENOTDIR)
            error = errno;
    } else if (!path_.isEmpty()) {
        error = errno;
    }
    folderProblem_.clear();
    if (!dir) {
        // A folder that is there but cannot be read says why.
        const bool missing = error == ENOENT || error == ENOTDIR;
        folderProblem_ = missing ? QStringLiteral("cannot be listed")
                                 : QStringLiteral("cannot be read: %1")
                                       .arg(QString::fromLocal8Bit(std::strerror(error)));
        throw AutomationError(
            missing ? ErrorNumber::PathNotFound : ErrorNumber::PermissionDenied,
            missing
                ? QStringLiteral("Path not found: the folder \"%1\" cannot be listed").arg(folder)
                : QStringLiteral("The folder \"%1\" %2").arg(folder, folderProblem_),
            QStringLiteral("FileList"));
    }
    const QByteArray root =
        linksAnywhere_ ? QByteArray()
                       : resolvedPath(linkRoot_.isEmpty() ? native : encodeFileName(linkRoot_));

    // Listed by hand rather than through QDir, which leaves out every name
    // that is not valid UTF-8 without a word.
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray name(entry->d_name);
        if (name.startsWith('.'))
            continue; // hidden, and "." and ".."
        const QByteArray full = native + (native.endsWith('/') ? "" : "/") + name;
        struct stat file {};
        if (::lstat(full.constData(), &file) != 0 || S_ISDIR(file.st_mode))
            continue; // gone since, or a folder
        QString problem;
        if (S_ISLNK(file.st_mode)) {
            if (::stat(full.constData(), &file) != 0) {
                problem = errno == ELOOP ? QStringLiteral("not a regular file (a link loop)")
                          : errno == ENOENT || errno == ENOTDIR
                              ? QStringLiteral("not a regular file (a dangling link)")
                              : QStringLiteral("cannot be read: %1")
                                    .arg(QString::fromLocal8Bit(std::strerror(errno)));
            } else if (S_ISDIR(file.st_mode)) {
                continue; // links to folders are not followed
            } else if (!linksAnywhere_) {
                // A link may not carry the batch out of its folder: to the
                // user's other files, or to a device.
                const QByteArray target = resolvedPath(full);
                if (root.isEmpty() || !inside(target, root))
                    problem = QStringLiteral("the link leads outside the source folder (%1)")
                                  .arg(decodeFileName(target));
            }
        }
        if (problem.isEmpty())
            problem = typeProblem(file.st_mode);
        files_.append({decodeFileName(name), problem});
    }
    std::sort(files_.begin(), files_.end(), [](const Entry& a, const Entry& b) {
        const int order = a.name.compare(b.name, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.name < b.name;
    });
}

void FileList::setLinkScope(const QString& root, bool anywhere) {
    linkRoot_ = root;
    linksAnywhere_ = anywhere;
}

void FileList::setListIndex(int index) {
    if (index < 0 || index >= listCount())
        throw AutomationError(
            ErrorNumber::InvalidArgument,
            QStringLiteral("Invalid list index %1 of %2 files").arg(index).arg(listCount()),
            QStringLiteral("FileList"));
    index_ = index;
}

QString FileList::fileName() const {
    if (index_ < 0 || index_ >= listCount())
        return {};
    return files_.at(index_).name;
}

QString FileList::fileProblem() const {
    if (index_ < 0 || index_ >= listCount())
        return {};
    return files_.at(index_).problem;
}

QString joinPath(const QString& folder, const QString& name) {
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString decodeFileName(const QByteArray& bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    QString result;
    qsizetype i = 0;
    while (i < bytes.size()) {
        const int length = validSequence(data, bytes.size(), i);
        if (length == 0) {
            result += QChar(char16_t(firstRawByte + (data[i] - 0x80)));
            ++i;
        } else {
            result += QString::fromUtf8(bytes.constData() + i, length);
            i += length;
        }
    }
    return result;
}

QByteArray resolvedPath(const QByteArray& path) {
    std::unique_ptr<char, void (*)(void*)> real(::realpath(path.constData(), nullptr), std::free);
    return real ? QByteArray(real.get()) : QByteArray();
}

QByteArray encodeFileName(const QString& name) {
    if (!hasRawBytes(name))
        return name.toUtf8();
    QByteArray result;
    qsizetype start = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!isRawByte(name[i]) || (i > 0 && name[i - 1].isHighSurrogate()))
            continue;
        result += QStringView(name).mid(start, i - start).toUtf8();
        result += char(name[i].unicode() - firstRawByte + 0x80);
        start = i + 1;
    }
    result += QStringView(name).mid(start).toUtf8();
    return result;
}

bool hasRawBytes(const QString& name) {
    for (qsizetype i = 0; i < name.size(); ++i)
        if (isRawByte(name[i]) && (i == 0 || !name[i - 1].isHighSurrogate()))
            return true;
    return false;
}

QString portableFileName(const QString& name) {
    QString result;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (isRawByte(name[i]) && (i == 0 || !name[i - 1].isHighSurrogate()))
            result += QStringLiteral("%%1")
                          .arg(name[i].unicode() - firstRawByte + 0x80, 2, 16, QLatin1Char('0'))
                          .toUpper();
        else
            result += name[i];
    }
    return result;
}

} // namespace qp
