#include "ProgramSearch.h"

#include <QDir>
#include <QFileInfo>

namespace qp {

namespace {

bool isExecutableFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

QString findProgram(const QString& name) {
    if (name.isEmpty())
        return {};
    if (name.contains(QLatin1Char('/'))) {
        if (!QDir::isAbsolutePath(name) || !isExecutableFile(name))
            return {};
        return QDir::cleanPath(name);
    }
    const QStringList folders =
        qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& folder : folders) {
        if (!QDir::isAbsolutePath(folder))
            continue;
        const QString candidate = QDir(folder).filePath(name);
        if (isExecutableFile(candidate))
            return QDir::cleanPath(candidate);
    }
    return {};
}

} // namespace qp
