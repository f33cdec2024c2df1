#include "OfficeTestServer.h"

#include "automation/AutomationObject.h"
#include "office/OfficeSandbox.h"

#include <QDir>

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

Variant saveActiveDocument(const ObjectRef& word, const QString& page, int format) {
    return word->object("ActiveDocument")
        ->call("SaveAs", {{"FileName", page},
                          {"FileFormat", std::int16_t(format)},
                          {"LockComments", false},
                          {"Password", ""},
                          {"AddToRecentFiles", false}});
}

} // namespace qp::test
