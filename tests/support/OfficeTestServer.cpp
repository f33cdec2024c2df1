#include "OfficeTestServer.h"

#include "platform/office/OfficeSandbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace qp::test {

office::OfficeOptions privateOfficeOptions() {
    office::OfficeOptions options;
    options.pipeName = office::randomPipeName();
    options.callTimeoutMs = 60000;
    return options;
}

QString corpusDir() {
    return QDir::cleanPath(QStringLiteral(QUILLPG_CORPUS_DIR));
}

QString corpusFile(const QString& name) {
    return corpusDir() + QLatin1Char('/') + name;
}

} // namespace qp::test
