#include "FileSystem.h"

#include "automation/AutomationError.h"
#include "desktop/Dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

namespace qp {

namespace fs = std::filesystem;

namespace {

#ifdef Q_OS_WIN
constexpr char16_t kSeparator = u'\\';
#else
constexpr char16_t kSeparator = u'/';
#endif

// "Path/File access error": any other failure to create a file.
constexpr std::int32_t kPathFileAccessError = 75;

fs::path toPath(const QString& name) {
#ifdef Q_OS_WIN
    return fs::path(name.toStdWString());
#else
    return fs::path(QFile::encodeName(name).toStdString());
#endif
}

// Where a file name starts: after a separator, and on Windows after the
// colon of a drive prefix.
bool endsFolderPart(QChar c) {
#ifdef Q_OS_WIN
    return c == kSeparator || c == u':';
#else
    return c == kSeparator;
#endif
}

// Removes leading and trailing blanks (spaces only, tabs stay).
QString trimSpaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

// Rounds to four decimals and drops trailing zeros (and a bare point).
QString fourDecimals(double value) {
    QString text = QString::number(value, 'f', 4);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

bool isHiddenName(const QString& fileName) {
    return fileName.startsWith(u'.') && fileName != QLatin1String(".") &&
           fileName != QLatin1String("..");
}

constexpr fs::perms kAnyWrite =
    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

// Makes the file read-only (no write permission for anyone) or writable by
// its owner again. Failures are ignored.
void setReadOnlyPart(const QString& fileName, bool readOnly) {
    if (fileName.isEmpty())
        return;
    std::error_code error;
    if (readOnly)
        fs::permissions(toPath(fileName), kAnyWrite, fs::perm_options::remove, error);
    else
        fs::permissions(toPath(fileName), fs::perms::owner_write, fs::perm_options::add, error);
}

// Copies source over target (replacing an existing file). Refuses to copy a
// file onto itself, which would otherwise destroy it.
bool copyQuietly(const QString& source, const QString& target) {
    if (source.isEmpty() || target.isEmpty())
        return false;
    std::error_code error;
    return fs::copy_file(toPath(source), toPath(target), fs::copy_options::overwrite_existing,
                         error) &&
           !error;
}

// The time format of the locale with seconds but without a time zone.
QString timeFormatWithoutZone(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        result += c;
    }
    return result.simplified();
}

} // namespace

QChar FileSystem::separator() {
    return QChar(kSeparator);
}

QString FileSystem::generalDate(const QDateTime& when) {
    const QLocale locale = QLocale::system();
    QString date = locale.toString(when.date(), QLocale::ShortFormat);
    if (when.time() == QTime(0, 0))
        return date;
    return date + u' ' + locale.toString(when.time(), timeFormatWithoutZone(locale));
}

QString FileSystem::fnGetTempPath(const QString& prefix, const QString& folder) {
    QString dir = trimSpaces(folder);
    if (dir.size() >= 2) {
        if (!dir.endsWith(separator()))
            dir += separator();
    } else {
        dir = QDir::toNativeSeparators(QDir::tempPath());
        if (!dir.endsWith(separator()))
            dir += separator();
    }
    // At most three characters of the prefix start the name; a separator in
    // them would put the file into another folder, so those are left out.
    QString stem;
    for (const QChar c : trimSpaces(prefix).left(3)) {
        if (c != u'/' && c != separator() && c != QChar(0))
            stem += c;
    }

    QTemporaryFile file(QDir::fromNativeSeparators(dir + stem) + QStringLiteral("XXXXXX.tmp"));
    file.setAutoRemove(false);
    if (file.open()) {
        const QString created = QFileInfo(file.fileName()).absoluteFilePath();
        file.close();
        return QDir::toNativeSeparators(created);
    }

    const QFileInfo where(dir);
    std::int32_t number = kPathFileAccessError;
    QString description = QStringLiteral("Path/File access error");
    if (!where.isDir()) {
        number = ErrorNumber::PathNotFound;
        description = QStringLiteral("Path not found");
    } else if (!where.isWritable()) {
        number = ErrorNumber::PermissionDenied;
        description = QStringLiteral("Permission denied");
    }
    const QStringList report{
        QStringLiteral("Unexpected Error Returned"),
        QStringLiteral("At   modGetTempFile  fnGetTempPath"),
        QStringLiteral("Nmbr ") + QString::number(number),
        QStringLiteral("Desc ") + description,
        QStringLiteral("Srce ") + QCoreApplication::applicationName(),
        QStringLiteral("Time ") + generalDate(QDateTime::currentDateTime()),
        QStringLiteral("Path ") + QDir::toNativeSeparators(QCoreApplication::applicationDirPath()),
    };
    tell(report.join(QStringLiteral("\r\n")), QStringLiteral("You have a Problem!"),
         MessageIcon::Critical, MessageButtons::Ok);
    return QString();
}

MessageAnswer FileSystem::tell(const QString& text, const QString& title, MessageIcon icon,
                               MessageButtons buttons) {
    if (!dialogs_)
        return MessageAnswer::Ok;
    return Dialogs::message(*dialogs_, text, title, icon, buttons);
}

void FileSystem::showFailure(const QString& text) {
    tell(text, applicationTitle(), MessageIcon::None, MessageButtons::Ok);
}

bool FileSystem::FileExist(const QString& path) {
    return !path.isEmpty() && QFileInfo::exists(path);
}

void FileSystem::Save(const QString& fileName) {
    if (!FileReal(fileName))
        return;
    if (tell(QStringLiteral("Overwrite File?"), applicationTitle(), MessageIcon::None,
             MessageButtons::YesNo) == MessageAnswer::Yes)
        DeleteFile(fileName);
}

bool FileSystem::FileReal(const QString& name) {
    return !name.isEmpty() && QFileInfo(name).isFile();
}

QString FileSystem::GetFileSize(const QString& name) {
    const QFileInfo info(name);
    if (name.isEmpty() || !info.isFile())
        return QStringLiteral("0B");
    const qint64 size = info.size();
    if (size < 1024)
        return QString::number(size) + u'B';
    if (size < 1048576)
        return fourDecimals(double(size) / 1024.0) + QStringLiteral("KB");
    return fourDecimals(double(size) / 1048576.0) + QStringLiteral("MB");
}

QString FileSystem::GetAttrib(const QString& name) {
    const QFileInfo info(name);
    if (name.isEmpty() || !info.exists())
        return QStringLiteral("Unknown");
    std::error_code error;
    const fs::file_status status = fs::status(toPath(name), error);
    if (error)
        return QStringLiteral("Unknown");

    int value = Normal;
    if ((status.permissions() & kAnyWrite) == fs::perms::none)
        value |= ReadOnly;
    if (isHiddenName(info.fileName()))
        value |= Hidden;
    if (info.isDir())
        value |= Directory;
    if (info.isSymLink())
        value |= Alias;

    switch (value) {
    case Normal:
        return QStringLiteral("Normal");
    case ReadOnly:
        return QStringLiteral("ReadOnly");
    case Hidden:
        return QStringLiteral("Hidden");
    case System:
        return QStringLiteral("System");
    case Volume:
        return QStringLiteral("Volume");
    case Directory:
        return QStringLiteral("Directory");
    case Archive:
        return QStringLiteral("Archive");
    case Alias:
        return QStringLiteral("Alias");
    default:
        return QString::number(value);
    }
}

void FileSystem::SetHidden(const QString& fileName) {
    setReadOnlyPart(fileName, false);
}

void FileSystem::SetReadOnly(const QString& fileName) {
    setReadOnlyPart(fileName, true);
}

void FileSystem::SetSystem(const QString& fileName) {
    setReadOnlyPart(fileName, false);
}

void FileSystem::SetNormal(const QString& fileName) {
    setReadOnlyPart(fileName, false);
}

QString FileSystem::GetFileExtension(const QString& fileName) {
    const qsizetype length = fileName.size();
    // The dot nearest the end among the second- to fifth-last characters.
    for (qsizetype fromEnd = 2; fromEnd <= 5; ++fromEnd) {
        if (length >= fromEnd && fileName[length - fromEnd] == u'.')
            return fileName.right(fromEnd - 1);
    }
    return QStringLiteral("Unknown");
}

QString FileSystem::GetFileDate(const QString& fileName) {
    const QFileInfo info(fileName);
    if (fileName.isEmpty() || !info.exists())
        return QString();
    const QDateTime modified = info.lastModified();
    if (!modified.isValid())
        return QString();
    return generalDate(modified);
}

void FileSystem::DeleteFile(const QString& fileName) {
    if (fileName.isEmpty() || !QFile::remove(fileName))
        showFailure(QStringLiteral("Error deleting File"));
}

void FileSystem::CopyFile(const QString& source, const QString& target) {
    if (!copyQuietly(source, target))
        showFailure(QStringLiteral("Error copying File"));
}

void FileSystem::MoveFile(const QString& source, const QString& target) {
    if (!copyQuietly(source, target) || !QFile::remove(source))
        showFailure(QStringLiteral("Error moving File"));
}

void FileSystem::MakeDIR(const QString& folder) {
    if (folder.isEmpty() || !QDir().mkdir(folder))
        showFailure(QStringLiteral("Error creating Directory"));
}

void FileSystem::RemoveDIR(const QString& folder) {
    if (folder.isEmpty() || !QDir().rmdir(folder))
        showFailure(QStringLiteral("Error removing Directory"));
}

void FileSystem::CloseAllFiles() {}

QString FileSystem::GetFileBaseName(const QString& name, bool keepFolder) {
    qsizetype start = 0;
    qsizetype dot = -1; // the last dot of the name, when there is one
    for (qsizetype i = name.size() - 1; i >= 0; --i) {
        const QChar c = name[i];
        if (c == u'.') {
            // A dot that starts the name (".profile") is part of the name.
            if (i == 0 || endsFolderPart(name[i - 1]))
                continue;
            if (keepFolder)
                return name.left(i);
            if (dot < 0)
                dot = i;
        } else if (endsFolderPart(c)) {
            start = keepFolder ? 0 : i + 1;
            break;
        }
    }
    const qsizetype end = dot >= 0 ? dot : name.size();
    return name.mid(start, end - start);
}

QString FileSystem::GetFileName(const QString& path) {
#ifdef Q_OS_WIN
    // The first character is a drive letter, never a separator.
    constexpr qsizetype lowest = 1;
#else
    // Here the first character may be the root folder ("/a.doc").
    constexpr qsizetype lowest = 0;
#endif
    for (qsizetype i = path.size() - 1; i >= lowest; --i) {
        if (path[i] == separator())
            return path.mid(i + 1);
    }
    return path;
}

QString FileSystem::GetPath(const QString& path) {
    const qsizetype last = path.lastIndexOf(separator());
    if (last < 0)
        return QString(separator());
    return path.left(last + 1);
}

} // namespace qp
