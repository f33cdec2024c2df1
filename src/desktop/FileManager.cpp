#include "FileManager.h"

#include "ProgramSearch.h"

#include <QProcess>

namespace qp::FileManager {

namespace {

// Whether xdg-mime answers that no program opens folders. xdg-open, started
// detached, cannot tell that it found none; xdg-mime names what it would use.
// A missing xdg-mime, or one that fails, tells nothing.
bool noProgramForFolders() {
    const auto programs = defaultApplicationsFor(QStringLiteral("inode/directory"));
    return programs && programs->trimmed().isEmpty();
}

} // namespace

Result showFolder(const QString& folder) {
    const QString opener = findProgram(QStringLiteral("xdg-open"));
    if (opener.isEmpty() || noProgramForFolders())
        return Result::NoFileManager;
    return QProcess::startDetached(opener, {folder}) ? Result::Started : Result::StartFailed;
}

} // namespace qp::FileManager
