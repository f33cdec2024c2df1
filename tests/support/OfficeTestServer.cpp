#include "OfficeTestServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace qp::test {

office::OfficeOptions privateOfficeOptions(const QString& purpose) {
    const QString test = qEnvironmentVariableIsSet("QUILLPG_TEST_NAME")
                             ? qEnvironmentVariable("QUILLPG_TEST_NAME")
                             : QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const QString build = QString::number(qHash(QStringLiteral(QUILLPG_BINARY_DIR)), 16);
    office::OfficeOptions options;
    options.pipeName = QStringLiteral("quillpg-test-%1-%2%3").arg(test, build, purpose);
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
