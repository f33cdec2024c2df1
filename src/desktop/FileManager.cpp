#include "FileManager.h"

#include "ProgramSearch.h"

#include <QProcess>

namespace qp::FileManager {

namespace {

// How long xdg-mime may take to answer; it is a small shell script.
constexpr int QueryTimeoutMs = 5000;

// Whether xdg-mime answers that no program opens folders. xdg-open, started
// detached, cannot tell that it found none; xdg-mime names what it would use.
// A missing xdg-mime, or one that fails, tells nothing.
bool noProgramForFolders() {
    const QString xdgMime = findProgram(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return false;
    QProcess query;
    query.setProgram(xdgMime);
    query.setArguments(
        {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("inode/directory")});
    query.setStandardInputFile(QProcess::nullDevice());
    query.setStandardErrorFile(QProcess::nullDevice());
    query.start();
    if (!query.waitForStarted(QueryTimeoutMs))
        return false;
    if (!query.waitForFinished(QueryTimeoutMs)) {
        query.kill();
        query.waitForFinished(QueryTimeoutMs);
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           query.readAllStandardOutput().trimmed().isEmpty();
}

} // namespace

Result showFolder(const QString& folder) {
    const QString opener = findProgram(QStringLiteral("xdg-open"));
    if (opener.isEmpty() || noProgramForFolders())
        return Result::NoFileManager;
    return QProcess::startDetached(opener, {folder}) ? Result::Started : Result::StartFailed;
}

} // namespace qp::FileManager
