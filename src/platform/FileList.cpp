#include "FileList.h"

#include "automation/AutomationError.h"

#include <QDir>
#include <QFileInfo>

namespace qp {

namespace {
// The folder without trailing separators, except for the root folder itself.
QString withoutTrailingSeparator(const QString& folder) {
    QString result = folder;
    while (result.size() > 1 && result.endsWith(QLatin1Char('/')))
        result.chop(1);
    return result;
}
} // namespace

void FileList::setPath(const QString& folder) {
    path_ = withoutTrailingSeparator(folder);
    files_.clear();
    index_ = -1;

    const QFileInfo info(path_);
    if (path_.isEmpty() || !info.isDir() || !info.isReadable() || !info.isExecutable())
        throw AutomationError(
            ErrorNumber::PathNotFound,
            QStringLiteral("Path not found: the folder \"%1\" cannot be listed").arg(folder),
            QStringLiteral("FileList"));

    const QDir dir(path_);
    files_ = dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
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
    return files_.at(index_);
}

QString joinPath(const QString& folder, const QString& name) {
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

} // namespace qp
