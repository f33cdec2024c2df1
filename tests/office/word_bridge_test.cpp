#include "ErrorNumber.h"
#include "OfficeTestServer.h"
#include "TestFiles.h"
#include "automation/AutomationRuntime.h"
#include "office/OfficeSandbox.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qp;
using namespace qp::test;

namespace {

QString pageText(const QString& path) {
    return QString::fromUtf8(readFile(path)).remove(QRegularExpression("<[^>]*>")).simplified();
}

class WordBridge : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = office::registerWordServer(privateOfficeOptions());
        word = AutomationRuntime::createObject("Word.Application");
    }
    static void TearDownTestSuite() {
        word.reset();
        server->shutdown();
        server.reset();
        AutomationRuntime::unregisterServer("Word.Application");
    }

    static void open(const QString& name) {
        word->object("Documents")->call("Open", {{"FileName", name}});
    }
    static void close() { word->object("ActiveWindow")->call("Close"); }
    // The batch converter's calls for one document; returns SaveAs's warnings.
    static QString convert(const QString& folder, const QString& name, const QString& page,
                           int format = 8) {
        word->call("ChangeFileOpenDirectory", {{{}, folder}});
        open(name);
        word->object("application")->set("Visible", true);
        const Variant warnings = saveActiveDocument(word, page, format);
        close();
        return warnings.isEmpty() ? QString() : warnings.toText();
    }
    static std::int32_t openDocuments() { return word->object("Documents")->get("Count").toInt(); }

    static inline std::shared_ptr<office::WordServer> server;
    static inline ObjectRef word;
    QTemporaryDir out;
};

// The readable documents of the corpus become pages through these same calls
// in the filtered page tests (FilteredPages).
TEST_F(WordBridge, aDocumentTheOfficeCannotReadFailsOrIsReadAsPlainTextWithAWarning) {
    for (const QString& name : unreadableCorpusDocuments()) {
        QString reason;
        EXPECT_EQ(
            errorNumberOf([&] { convert(corpusDir(), name, out.filePath("x.htm")); }, &reason),
            ErrorNumber::ServerFailure)
            << name.toStdString();
        EXPECT_TRUE(reason.contains(name)) << reason.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out.filePath("x.htm")));
        EXPECT_EQ(openDocuments(), 0) << "left open after " << name.toStdString();
    }
    // Random bytes named .doc are read as plain text: converted, with a
    // warning. A text file named .txt is what it says.
    QRandomGenerator random(19);
    QByteArray noise(8192, '\0');
    for (char& byte : noise)
        byte = char(random.bounded(256));
    writeFile(out.filePath("noise.doc"), noise);
    writeFile(out.filePath("notes.txt"), "Plain notes.\n");
    EXPECT_EQ(convert(out.path(), "noise.doc", out.filePath("noise.htm")),
              "read as plain text: not a word-processor document");
    EXPECT_EQ(convert(out.path(), "notes.txt", out.filePath("notes.htm")), "");
}

TEST_F(WordBridge, awkwardNamesRelativeOpensAndCallsThatCannotWorkRaiseTheirErrors) {
    const QString name = QStringLiteral("a #1 100% \"quoted\" 'single' Größe – ü.doc");
    ASSERT_TRUE(QFile::copy(corpusFile("simple.doc"), out.filePath(name)));
    const QString target = out.filePath(QStringLiteral("page #1 100% \"q\" ß.htm"));
    convert(out.path(), name, target);
    EXPECT_TRUE(pageText(target).contains("simple file"));
    // A full path needs no open folder; a bare one resolves in it.
    word->call("ChangeFileOpenDirectory", {{{}, QDir::rootPath()}});
    EXPECT_EQ(errorNumberOf([&] { open(name); }), ErrorNumber::FileNotFound);

    QString reason;
    EXPECT_EQ(errorNumberOf([] { word->call("NoSuchMember"); }), ErrorNumber::MemberNotFound);
    EXPECT_EQ(errorNumberOf([] { word->object("Documents")->call("Open"); }),
              ErrorNumber::ArgumentNotOptional);
    EXPECT_EQ(errorNumberOf([] { word->object("ActiveDocument"); }, &reason), 4248);
    EXPECT_TRUE(reason.contains("no document is open"));
    EXPECT_EQ(errorNumberOf([] { close(); }), 4248);
    EXPECT_EQ(errorNumberOf([] {
                  word->call("ChangeFileOpenDirectory", {{{}, "/no/such/folder"}});
              }),
              ErrorNumber::PathNotFound);

    open(out.filePath(name));
    EXPECT_EQ(errorNumberOf([&] { saveActiveDocument(word, out.filePath("x.htm"), 12); }, &reason),
              ErrorNumber::InvalidArgument);
    EXPECT_TRUE(reason.contains("12") && !QFileInfo::exists(out.filePath("x.htm")));
    // A folder that cannot be written: here, one whose "folder" is a file.
    const QString file = corpusFile("simple.doc");
    EXPECT_NE(errorNumberOf([&] { saveActiveDocument(word, file + "/x.htm", 8); }, &reason), 0);
    EXPECT_TRUE(reason.contains(file)) << reason.toStdString();
    EXPECT_EQ(errorNumberOf([&] { saveActiveDocument(word, out.filePath("missing/x.htm"), 8); }),
              ErrorNumber::PathNotFound);
    saveActiveDocument(word, target, 10);
    close();
    EXPECT_TRUE(pageText(target).contains("simple file"));
    EXPECT_EQ(openDocuments(), 0);
}

TEST(WordBinding, attachesToARunningOfficeAndFailsWithoutOne) {
    auto options = privateOfficeOptions();
    office::WordServer nobody(options);
    EXPECT_EQ(errorNumberOf([&] { nobody.getObject(); }), ErrorNumber::CannotCreateObject);

    office::WordServer first(options);
    ASSERT_TRUE(first.createObject());
    office::WordServer second(options);
    ObjectRef attached = second.getObject();
    attached->object("Documents")->call("Open", {{"FileName", corpusFile("simple.doc")}});
    // Both see the same office, and an attached session leaves it running.
    EXPECT_EQ(second.session()->officePid(), -1);
    second.shutdown();
    EXPECT_GT(first.session()->officePid(), 0);

    // No office at all, or one that aborts at start-up: its signal and the
    // last it wrote are the reason.
    QTemporaryDir stub;
    const QString program = writeFile(stub.filePath("program/soffice.bin"),
                                      "#!/bin/sh\nulimit -c 0\necho 'stub office: no backend' >&2\n"
                                      "kill -ABRT $$\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    options.profileDir = stub.filePath("profile");
    for (const QString& installation : {QStringLiteral("/nonexistent"), stub.path()}) {
        options.installation = installation;
        options.pipeName = office::randomPipeName();
        office::WordServer failing(options);
        QString reason;
        EXPECT_EQ(errorNumberOf([&] { failing.createObject(); }, &reason),
                  ErrorNumber::CannotCreateObject);
        EXPECT_TRUE(installation != stub.path() || (reason.contains("signal 6 (Aborted)") &&
                                                    reason.contains("stub office: no backend")))
            << reason.toStdString();
    }
}

} // namespace
