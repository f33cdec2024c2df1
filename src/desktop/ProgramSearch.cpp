#include "ProgramSearch.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

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

std::optional<QString> defaultApplicationsFor(const QString& mimeType) {
    constexpr int timeoutMs = 5000;
    const QString xdgMime = findProgram(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return std::nullopt;
    QProcess query;
    query.setProgram(xdgMime);
    query.setArguments({QStringLiteral("query"), QStringLiteral("default"), mimeType});
    query.setStandardInputFile(QProcess::nullDevice());
    query.setStandardErrorFile(QProcess::nullDevice());
    query.start();
    if (!query.waitForStarted(timeoutMs))
        return std::nullopt;
    if (!query.waitForFinished(timeoutMs)) {
        query.kill();
        query.waitForFinished(timeoutMs);
        return std::nullopt;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(query.readAllStandardOutput());
}

} // namespace qp
