#include "FileManager.h"

#include "ProgramSearch.h"

#include <QProcess>

namespace qp::FileManager {

Result showFolder(const QString& folder) {
    const QString opener = findProgram(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return Result::NoFileManager;
    return QProcess::startDetached(opener, {folder}) ? Result::Started : Result::StartFailed;
}

} // namespace qp::FileManager
