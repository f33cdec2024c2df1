#include "OfficeTestServer.h"

#include "office/OfficeSandbox.h"

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

const QStringList& unreadableCorpusDocuments() {
    static const QStringList names{
        "PasswordProtected.doc",
        "clusterfuzz-testcase-minimized-POIHWPFFuzzer-5074346559012864.doc"};
    return names;
}

} // namespace qp::test
