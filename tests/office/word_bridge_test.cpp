#include "ErrorNumber.h"
#include "OfficeTestServer.h"
#include "TestFiles.h"
#include "automation/AutomationRuntime.h"
#include "office/OfficeSandbox.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <thread>
#include <unistd.h>

using namespace qp;
using namespace qp::test;

namespace {

const QStringList& unreadable = unreadableCorpusDocuments();

QString pageText(const QString& path) {
    return QString::fromUtf8(readFile(path)).remove(QRegularExpression("<[^>]*>")).simplified();
}

class WordBridge : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The system's count of out-of-memory kills, as these tests tell it.
        writeFile(vmstat(), "oom_kill 0\n");
        auto options = privateOfficeOptions();
        options.vmstatFile = vmstat();
        server = office::registerWordServer(options);
        word = AutomationRuntime::createObject("Word.Application");
    }
    static void TearDownTestSuite() {
        word.reset();
        server->shutdown();
        server.reset();
        AutomationRuntime::unregisterServer("Word.Application");
        QFile::remove(vmstat());
    }
    static QString vmstat() {
        return QDir::temp().filePath(
            QStringLiteral("quillpg-test-vmstat-%1").arg(QCoreApplication::applicationPid()));
    }

    static void open(const QString& name) {
        word->object("Documents")->call("Open", {{"FileName", name}});
    }
    static void close() { word->object("ActiveWindow")->call("Close"); }
    static void saveActive(const QString& page, int format) {
        saveActiveDocument(word, page, format);
    }
    // The batch converter's calls for one document.
    static void convert(const QString& folder, const QString& name, const QString& page,
                        int format) {
        word->call("ChangeFileOpenDirectory", {{{}, folder}});
        open(name);
        word->object("application")->set("Visible", true);
        saveActive(page, format);
        close();
    }
    static std::int32_t openDocuments() { return word->object("Documents")->get("Count").toInt(); }
    QString page(const QString& name, int format) const {
        return out.filePath(
            QStringLiteral("%1-%2.htm").arg(QFileInfo(name).completeBaseName()).arg(format));
    }

    static inline std::shared_ptr<office::WordServer> server;
    static inline ObjectRef word;
    QTemporaryDir out;
};

// The readable documents of the corpus become pages in both formats through
// these same calls in the filtered page tests (FilteredPages).
TEST_F(WordBridge, aDocumentTheOfficeCannotReadFailsOrIsReadAsPlainTextWithAWarning) {
    for (const QString& name : unreadable) {
        for (const int format : {8, 10}) {
            QString reason;
            EXPECT_EQ(errorNumberOf([&] { convert(corpusDir(), name, page(name, format), format); },
                                    &reason),
                      ErrorNumber::ServerFailure)
                << name.toStdString();
            EXPECT_TRUE(reason.contains(name)) << reason.toStdString();
            if (name == QLatin1String("PasswordProtected.doc")) {
                EXPECT_TRUE(reason.endsWith(name + " is protected by a password"))
                    << reason.toStdString();
            }
            EXPECT_FALSE(QFileInfo::exists(page(name, format)));
        }
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
    for (const QString name : {"noise.doc", "notes.txt"}) {
        open(out.filePath(name));
        const QString warnings = saveActiveDocument(word, page(name, 8), 8).toText();
        close();
        EXPECT_EQ(warnings,
                  name == "noise.doc" ? "read as plain text: not a word-processor document" : "");
        EXPECT_TRUE(QFileInfo::exists(page(name, 8)));
    }
}

TEST_F(WordBridge, awkwardNamesAndRelativeOpens) {
    const QString name = QStringLiteral("a #1 100% \"quoted\" 'single' Größe – ü.doc");
    ASSERT_TRUE(QFile::copy(corpusFile("simple.doc"), out.filePath(name)));
    const QString target = out.filePath(QStringLiteral("page #1 100% \"q\" ß.htm"));
    convert(out.path(), name, target, 8);
    EXPECT_TRUE(pageText(target).contains("simple file"));

    // A full path needs no open folder; a bare one resolves in it.
    word->call("ChangeFileOpenDirectory", {{{}, QDir::rootPath()}});
    open(out.filePath(name));
    saveActive(target, 10);
    close();
    EXPECT_TRUE(pageText(target).contains("simple file"));
    EXPECT_EQ(errorNumberOf([&] { open(name); }), ErrorNumber::FileNotFound);

    // A name starting with ":" is a file in the open folder, like any other.
    ASSERT_TRUE(QFile::copy(corpusFile("simple.doc"), out.path() + "/:x.doc"));
    convert(out.path(), ":x.doc", out.path() + "/:x.htm", 8);
    EXPECT_TRUE(pageText(out.path() + "/:x.htm").contains("simple file"));
}

TEST_F(WordBridge, callsThatCannotWorkRaiseTheirErrors) {
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

    open(corpusFile("simple.doc"));
    const QString target = out.filePath("x.htm");
    EXPECT_EQ(errorNumberOf([&] { saveActive(target, 12); }, &reason),
              ErrorNumber::InvalidArgument);
    EXPECT_TRUE(reason.contains("12"));
    EXPECT_FALSE(QFileInfo::exists(target));

    // A folder that cannot be written: here, one whose "folder" is a file.
    ASSERT_TRUE(QFile(out.filePath("file")).open(QIODevice::WriteOnly));
    EXPECT_NE(errorNumberOf([&] { saveActive(out.filePath("file/x.htm"), 8); }, &reason), 0);
    EXPECT_TRUE(reason.contains(out.filePath("file")));
    EXPECT_EQ(errorNumberOf([&] { saveActive(out.filePath("missing/x.htm"), 8); }),
              ErrorNumber::PathNotFound);
    // The office's error numbers come in words: a page's name that leaves no
    // room for the office's lock file beside it.
    const QString longPage = out.filePath(QString(246, u'l') + ".htm");
    EXPECT_NE(errorNumberOf([&] { saveActive(longPage, 8); }, &reason), 0);
    EXPECT_TRUE(reason.contains("(access was denied; office error 0x")) << reason.toStdString();
    close();
    EXPECT_EQ(openDocuments(), 0);
}

// An office that crashes or hangs costs one document: BatchTool's
// anOfficeThatDiesOrHangsCostsOnlyTheDocumentItWasOn.
TEST_F(WordBridge, anOfficeEndedByTheOutOfMemoryKillerDoesNotLoadTheDocumentAgain) {
    const QString target = out.filePath("after.htm");
    auto session = server->session();
    convert(corpusDir(), "simple.doc", target, 8);
    // Ended by the system's out-of-memory killer while it works: the
    // document is not loaded again.
    const long long busy = session->officePid();
    ASSERT_GT(busy, 0);
    const int before = session->generation();
    ::kill(pid_t(busy), SIGSTOP);
    std::thread killer([busy] {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        writeFile(vmstat(), "oom_kill 1\n");
        ::kill(pid_t(busy), SIGKILL);
    });
    QString reason;
    EXPECT_EQ(errorNumberOf([&] { convert(corpusDir(), "simple.doc", target, 8); }, &reason),
              ErrorNumber::OutOfMemory)
        << reason.toStdString();
    killer.join();
    EXPECT_EQ(session->generation(), before) << "the document was loaded again";
}

// Told to, the office is restarted between documents, as the batch tool
// has each of its offices do: here after every second document.
TEST(WordBinding, theOfficeIsRestartedAfterAsManyDocumentsAsItsOptionsSay) {
    auto options = privateOfficeOptions();
    options.restartAfterDocuments = 2;
    office::WordServer server(options);
    const ObjectRef word = server.createObject();
    QList<long long> offices;
    for (int i = 0; i < 3; ++i) {
        word->object("Documents")->call("Open", {{"FileName", corpusFile("simple.doc")}});
        offices << server.session()->officePid();
        word->object("ActiveWindow")->call("Close");
    }
    EXPECT_EQ(offices[0], offices[1]);
    EXPECT_NE(offices[1], offices[2]);
    EXPECT_GT(offices[2], 0);
}

TEST(WordBinding, attachesToARunningOfficeAndFailsWithoutOne) {
    auto options = privateOfficeOptions();
    office::WordServer nobody(options);
    EXPECT_EQ(errorNumberOf([&] { nobody.getObject(); }), ErrorNumber::CannotCreateObject);

    office::WordServer first(options);
    ASSERT_TRUE(first.createObject());
    office::WordServer second(options);
    ObjectRef attached = second.getObject();
    ASSERT_TRUE(attached);
    attached->object("Documents")->call("Open", {{"FileName", corpusFile("simple.doc")}});
    // Both see the same office, and an attached session leaves it running.
    EXPECT_EQ(second.session()->officePid(), -1);
    second.shutdown();
    EXPECT_GT(first.session()->officePid(), 0);

    options.installation = "/nonexistent";
    options.pipeName = office::randomPipeName();
    office::WordServer missing(options);
    EXPECT_EQ(errorNumberOf([&] { missing.createObject(); }), ErrorNumber::CannotCreateObject);

    // An office that is there but aborts at start-up: its signal and the last
    // it wrote are the reason.
    QTemporaryDir stub;
    const QString program = writeFile(stub.filePath("program/soffice.bin"),
                                      "#!/bin/sh\nulimit -c 0\necho 'stub office: no backend' >&2\n"
                                      "kill -ABRT $$\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    options.installation = stub.path();
    options.pipeName = office::randomPipeName();
    options.profileDir = stub.filePath("profile");
    office::WordServer aborting(options);
    QString reason;
    EXPECT_EQ(errorNumberOf([&] { aborting.createObject(); }, &reason),
              ErrorNumber::CannotCreateObject);
    EXPECT_TRUE(reason.contains("signal 6 (Aborted)") && reason.contains("stub office: no backend"))
        << reason.toStdString();
}

} // namespace
