#include "ErrorNumber.h"
#include "OfficeTestServer.h"
#include "platform/automation/AutomationRuntime.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using namespace qp;
using namespace qp::test;

namespace {

// Documents of the corpus that the office cannot open at all.
const QStringList unreadable{
    QStringLiteral("PasswordProtected.doc"),
    QStringLiteral("clusterfuzz-testcase-minimized-POIHWPFFuzzer-5074346559012864.doc")};

// A few phrases that the pages must carry over from their documents.
const QList<QPair<QString, QString>> phrases{
    {QStringLiteral("simple.doc"),
     QStringLiteral("This is a simple file created with Word 97-SR2")},
    {QStringLiteral("footnote.doc"), QStringLiteral("Test text")},
    {QStringLiteral("HeaderFooterUnicode.doc"), QStringLiteral("Molière")},
    {QStringLiteral("Word95.doc"), QStringLiteral("The quick brown fox jumps over the lazy dog")},
};

QString pageText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString html = QString::fromUtf8(file.readAll());
    html.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    return html.simplified();
}

class WordBridge : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = office::registerWordServer(privateOfficeOptions());
        word = AutomationRuntime::createObject(QStringLiteral("Word.Application"));
    }
    static void TearDownTestSuite() {
        word.reset();
        server->shutdown();
        server.reset();
        AutomationRuntime::unregisterServer(QStringLiteral("Word.Application"));
    }

    // The batch converter's calls for one document.
    static void convert(const QString& folder, const QString& name, const QString& page,
                        int format) {
        word->call(QStringLiteral("ChangeFileOpenDirectory"), {{{}, folder}});
        word->object(QStringLiteral("Documents"))
            ->call(QStringLiteral("Open"), {{QStringLiteral("FileName"), name}});
        word->object(QStringLiteral("application"))->set(QStringLiteral("Visible"), true);
        saveActive(page, format);
        word->object(QStringLiteral("ActiveWindow"))->call(QStringLiteral("Close"));
    }
    static void saveActive(const QString& page, int format) {
        word->object(QStringLiteral("ActiveDocument"))
            ->call(QStringLiteral("SaveAs"), {{QStringLiteral("FileName"), page},
                                              {QStringLiteral("FileFormat"), std::int16_t(format)},
                                              {QStringLiteral("LockComments"), false},
                                              {QStringLiteral("Password"), ""},
                                              {QStringLiteral("AddToRecentFiles"), false}});
    }
    static std::int32_t openDocuments() {
        return word->object(QStringLiteral("Documents"))->get(QStringLiteral("Count")).toInt();
    }

    static inline std::shared_ptr<office::WordServer> server;
    static inline ObjectRef word;
    QTemporaryDir out;
};

TEST_F(WordBridge, everyReadableCorpusDocumentBecomesAPageInBothFormats) {
    const QDir corpus(corpusDir());
    int converted = 0;
    for (const QString& name : corpus.entryList(QDir::Files, QDir::Name)) {
        if (!name.endsWith(QLatin1String(".doc"), Qt::CaseInsensitive))
            continue;
        for (const int format : {8, 10}) {
            const QString page = out.filePath(
                QStringLiteral("%1-%2.htm").arg(QFileInfo(name).completeBaseName()).arg(format));
            QString reason;
            const auto number =
                errorNumberOf([&] { convert(corpus.path(), name, page, format); }, &reason);
            if (unreadable.contains(name)) {
                EXPECT_EQ(number, ErrorNumber::ServerFailure) << name.toStdString();
                EXPECT_TRUE(reason.contains(name)) << reason.toStdString();
                EXPECT_FALSE(QFileInfo::exists(page));
                continue;
            }
            ASSERT_EQ(number, 0) << name.toStdString() << ": " << reason.toStdString();
            QFile file(page);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page.toStdString();
            const QByteArray html = file.readAll();
            EXPECT_TRUE(html.contains("<body") || html.contains("<BODY")) << name.toStdString();
            if (format == 10) {
                EXPECT_TRUE(html.contains("xmlns"))
                    << "not the standards-only page: " << name.toStdString();
            }
            ++converted;
        }
        EXPECT_EQ(openDocuments(), 0) << "left open after " << name.toStdString();
    }
    EXPECT_EQ(converted, 2 * (30 - unreadable.size()));
    for (const auto& [name, phrase] : phrases) {
        for (const int format : {8, 10}) {
            const QString page = out.filePath(
                QStringLiteral("%1-%2.htm").arg(QFileInfo(name).completeBaseName()).arg(format));
            EXPECT_TRUE(pageText(page).contains(phrase, Qt::CaseInsensitive))
                << name.toStdString() << " " << format;
        }
    }
    // The full page keeps its pictures as files beside it.
    EXPECT_FALSE(
        QDir(out.path())
            .entryList({QStringLiteral("two_images-8*.png"), QStringLiteral("two_images-8*.jpg"),
                        QStringLiteral("two_images-8*.gif")},
                       QDir::Files)
            .isEmpty());
}

TEST_F(WordBridge, awkwardNamesAndRelativeOpens) {
    const QString name = QStringLiteral("a #1 100% \"quoted\" 'single' Größe – ü.doc");
    ASSERT_TRUE(QFile::copy(corpusFile(QStringLiteral("simple.doc")), out.filePath(name)));
    const QString page = out.filePath(QStringLiteral("page #1 100% \"q\" ß.htm"));
    convert(out.path(), name, page, 8);
    EXPECT_TRUE(pageText(page).contains(QStringLiteral("simple file")));

    // A full path needs no open folder; a bare one resolves in it.
    word->call(QStringLiteral("ChangeFileOpenDirectory"), {{{}, QDir::rootPath()}});
    word->object(QStringLiteral("Documents"))
        ->call(QStringLiteral("Open"), {{QStringLiteral("FileName"), out.filePath(name)}});
    saveActive(page, 10);
    word->object(QStringLiteral("ActiveWindow"))->call(QStringLiteral("Close"));
    EXPECT_TRUE(pageText(page).contains(QStringLiteral("simple file")));
    EXPECT_EQ(errorNumberOf([&] {
                  word->object(QStringLiteral("Documents"))
                      ->call(QStringLiteral("Open"), {{QStringLiteral("FileName"), name}});
              }),
              ErrorNumber::FileNotFound);
}

TEST_F(WordBridge, callsThatCannotWorkRaiseTheirErrors) {
    QString reason;
    EXPECT_EQ(errorNumberOf([] { word->call(QStringLiteral("NoSuchMember")); }),
              ErrorNumber::MemberNotFound);
    EXPECT_EQ(errorNumberOf(
                  [] { word->object(QStringLiteral("Documents"))->call(QStringLiteral("Open")); }),
              ErrorNumber::ArgumentNotOptional);
    EXPECT_EQ(errorNumberOf([] { word->object(QStringLiteral("ActiveDocument")); }, &reason), 4248);
    EXPECT_TRUE(reason.contains(QStringLiteral("no document is open")));
    EXPECT_EQ(errorNumberOf([] {
                  word->object(QStringLiteral("ActiveWindow"))->call(QStringLiteral("Close"));
              }),
              4248);
    EXPECT_EQ(errorNumberOf([] {
                  word->call(QStringLiteral("ChangeFileOpenDirectory"), {{{}, "/no/such/folder"}});
              }),
              ErrorNumber::PathNotFound);

    word->object(QStringLiteral("Documents"))
        ->call(QStringLiteral("Open"),
               {{QStringLiteral("FileName"), corpusFile(QStringLiteral("simple.doc"))}});
    const QString page = out.filePath(QStringLiteral("x.htm"));
    EXPECT_EQ(errorNumberOf([&] { saveActive(page, 12); }, &reason), ErrorNumber::InvalidArgument);
    EXPECT_TRUE(reason.contains(QStringLiteral("12")));
    EXPECT_FALSE(QFileInfo::exists(page));

    // A folder that cannot be written: here, one whose "folder" is a file.
    QFile blocker(out.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_NE(
        errorNumberOf([&] { saveActive(out.filePath(QStringLiteral("file/x.htm")), 8); }, &reason),
        0);
    EXPECT_TRUE(reason.contains(out.filePath(QStringLiteral("file"))));
    EXPECT_EQ(errorNumberOf([&] { saveActive(out.filePath(QStringLiteral("missing/x.htm")), 8); }),
              ErrorNumber::PathNotFound);

    // An existing page is replaced.
    QFile old(page);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old page");
    old.close();
    saveActive(page, 8);
    EXPECT_TRUE(pageText(page).contains(QStringLiteral("simple file")));
    word->object(QStringLiteral("ActiveWindow"))->call(QStringLiteral("Close"));
    EXPECT_EQ(openDocuments(), 0);
}

TEST_F(WordBridge, anOfficeThatDiesOrHangsCostsOneCall) {
    const QString page = out.filePath(QStringLiteral("after.htm"));
    auto session = server->session();
    const int generation = session->generation();
    const ObjectRef same = word;

    // Killed between two calls: the next call fails, the one after restarts.
    word->object(QStringLiteral("Documents"))
        ->call(QStringLiteral("Open"),
               {{QStringLiteral("FileName"), corpusFile(QStringLiteral("simple.doc"))}});
    session->killOfficeForTesting();
    QString reason;
    EXPECT_EQ(errorNumberOf([&] { saveActive(page, 8); }, &reason), ErrorNumber::ServerStopped);
    EXPECT_TRUE(reason.contains(QStringLiteral("stopped"))) << reason.toStdString();
    convert(corpusDir(), QStringLiteral("simple.doc"), page, 8);
    EXPECT_TRUE(QFileInfo::exists(page));
    EXPECT_GT(session->generation(), generation);
    EXPECT_EQ(AutomationRuntime::createObject(QStringLiteral("Word.Application")), same);

    // Hanging: the call runs out of time, the office is ended and replaced.
    const long long pid = session->officePid();
    ASSERT_GT(pid, 0);
    session->setCallTimeout(1500);
    ::kill(pid_t(pid), SIGSTOP);
    EXPECT_EQ(errorNumberOf([&] { convert(corpusDir(), QStringLiteral("simple.doc"), page, 8); },
                            &reason),
              ErrorNumber::Timeout);
    EXPECT_NE(::kill(pid_t(pid), 0), 0) << "the hanging office was left running";
    session->setCallTimeout(60000);
    QFile::remove(page);
    convert(corpusDir(), QStringLiteral("simple.doc"), page, 10);
    EXPECT_TRUE(QFileInfo::exists(page));
}

TEST(WordBinding, attachesToARunningOfficeAndFailsWithoutOne) {
    auto options = privateOfficeOptions(QStringLiteral("-attach"));
    office::WordServer nobody(options);
    EXPECT_EQ(errorNumberOf([&] { nobody.getObject(); }), ErrorNumber::CannotCreateObject);

    office::WordServer first(options);
    ASSERT_TRUE(first.createObject());
    office::WordServer second(options);
    ObjectRef attached = second.getObject();
    ASSERT_TRUE(attached);
    attached->object(QStringLiteral("Documents"))
        ->call(QStringLiteral("Open"),
               {{QStringLiteral("FileName"), corpusFile(QStringLiteral("simple.doc"))}});
    // Both see the same office, and an attached session leaves it running.
    EXPECT_EQ(second.session()->officePid(), -1);
    second.shutdown();
    EXPECT_GT(first.session()->officePid(), 0);

    options.installation = QStringLiteral("/nonexistent");
    options.pipeName += QStringLiteral("-none");
    office::WordServer missing(options);
    QString reason;
    EXPECT_EQ(errorNumberOf([&] { missing.createObject(); }, &reason),
              ErrorNumber::CannotCreateObject);
}

TEST(WordBinding, theOfficeEndsWhenItsProgramIsKilled) {
    QProcess holder;
    holder.start(QStringLiteral(QUILLPG_BINARY_DIR "/tests/office_holder"),
                 {privateOfficeOptions(QStringLiteral("-holder")).pipeName});
    ASSERT_TRUE(holder.waitForReadyRead(60000)) << holder.readAllStandardError().toStdString();
    const pid_t office = pid_t(holder.readLine().trimmed().toLongLong());
    ASSERT_GT(office, 0);
    ASSERT_EQ(::kill(office, 0), 0);
    ::kill(pid_t(holder.processId()), SIGKILL);
    holder.waitForFinished();
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        // A killed child stays a zombie until its parent, here init, reaps it.
        QFile stat(QStringLiteral("/proc/%1/stat").arg(office));
        gone = !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
        if (!gone)
            QThread::msleep(100);
    }
    EXPECT_TRUE(gone) << "office " << office << " outlived its program";
}

} // namespace
