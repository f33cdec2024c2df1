#include "FakeWindows.h"
#include "FakeWordServer.h"
#include "QtPrinters.h"
#include "ScriptedDialogs.h"
#include "conversion/Decorator.h"
#include "core/Command.h"
#include "core/Mediator.h"
#include "core/StateManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qp;
using namespace qp::test;

namespace {

void touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("document");
}

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString saveAsCall(const QString& page, int format) {
    return QStringLiteral(
               "ActiveDocument.SaveAs(FileName:=%1, FileFormat:=%2, LockComments:=False, "
               "Password:=\"\", AddToRecentFiles:=False)")
        .arg(quoted(page))
        .arg(format);
}

class MediatorJobs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        QDir(folder.path()).mkdir(QStringLiteral("in"));
        QDir(folder.path()).mkdir(QStringLiteral("out"));
        source = folder.filePath(QStringLiteral("in"));
        target = folder.filePath(QStringLiteral("out"));
        document = source + QStringLiteral("/report.doc");
        touch(document);
        word = FakeWordServer::install();
        General::setMediator(&mediator);
        ASSERT_TRUE(mediator.init());
    }
    void TearDown() override { General::setMediator(nullptr); }

    QTemporaryDir folder;
    QString source;
    QString target;
    QString document;
    std::shared_ptr<FakeWordServer> word;
    ScriptedDialogs dialogs;
    FakeWindows windows;
    Mediator mediator{windows};
};

} // namespace

TEST_F(MediatorJobs, oneDocumentIsOpenedAndSavedWhereTheUserChose) {
    for (const bool notFiltered : {true, false}) {
        SCOPED_TRACE(notFiltered ? "not filtered" : "filtered");
        word->calls.clear();
        dialogs.reset();
        windows.reports.events.clear();
        windows.busyChanges.clear();
        windows.notFiltered = notFiltered;
        const QString page = target + (notFiltered ? "/full.htm" : "/filtered.htm");
        dialogs.answerFile(document);
        dialogs.answerFile(page);
        mediator.SingleSourceFile();

        ASSERT_EQ(dialogs.files.size(), 2u);
        EXPECT_EQ(dialogs.files[0].mode, FileRequest::Mode::Open);
        EXPECT_EQ(dialogs.files[0].filter, "All WordPerfect documents (*.doc)|*.DOC");
        EXPECT_EQ(dialogs.files[0].flags, 4096);
        EXPECT_EQ(dialogs.files[1].mode, FileRequest::Mode::Save);
        EXPECT_EQ(dialogs.files[1].fileName, source + "/report.htm");
        EXPECT_EQ(dialogs.files[1].filter, "*.htm");
        EXPECT_EQ(dialogs.files[1].flags, 4096);

        const int format = notFiltered ? 8 : 10;
        EXPECT_EQ(word->callTexts(),
                  QStringList({"Documents.Open(FileName:=" + quoted(document) + ")",
                               "application.Visible = True", saveAsCall(page, format),
                               "ActiveWindow.Close()"}));
        ASSERT_EQ(word->calls.size(), 4u);
        EXPECT_EQ(word->calls[2].arguments[1].value.type(), Variant::Type::Int16);
        EXPECT_TRUE(QFileInfo::exists(page));
        EXPECT_EQ(word->openDocuments(), 0);

        EXPECT_EQ(windows.documents.keys(), QStringList({document}));
        EXPECT_EQ(windows.documents.status(document), "Converted");
        EXPECT_EQ(mediator.GetSourceFile(), document);
        EXPECT_EQ(mediator.GetTgtFolder(), source + "/");
        EXPECT_EQ(mediator.stateManager().currentState(), mediator.stateManager().stateOne());
        EXPECT_TRUE(windows.nextHidden);
        EXPECT_EQ(windows.busyChanges, std::vector<bool>({true, false}));
        EXPECT_EQ(windows.reports.events, QStringList({"job 1", "started " + document + " 1/1",
                                                       "converted " + document + " -> " + page,
                                                       "finished 1 converted, 0 failed"}));
    }
}

TEST_F(MediatorJobs, theBatchConverterOpensByBareNameInTheSourceFolder) {
    const QString dotted = source + "/a.b.doc";
    touch(dotted);
    QFile::remove(document);
    windows.notFiltered = false;
    mediator.SetSourceFolder(source);
    // A target folder that already ends with the separator gets no second one.
    mediator.SetTgtFolder(target + "/");
    mediator.StartStateTwo();
    cmd1 start;
    start.init(mediator);
    static_cast<Command&>(start).Execute();

    EXPECT_EQ(word->callTexts(),
              QStringList({"ChangeFileOpenDirectory(" + quoted(source) + ")",
                           "Documents.Open(FileName:=\"a.b.doc\")", "application.Visible = True",
                           saveAsCall(target + "/a.b.htm", 10), "ActiveWindow.Close()"}));
    EXPECT_EQ(windows.documents.status(dotted), "Converted");
    EXPECT_GE(windows.mainWindowShown, 1);
}

TEST_F(MediatorJobs, cancellingTheOpenDialogConvertsNothing) {
    windows.documents.addRow(QStringLiteral("earlier"), QStringLiteral("earlier"));
    dialogs.answerFile(std::nullopt);
    mediator.SingleSourceFile();

    EXPECT_TRUE(word->calls.empty());
    EXPECT_EQ(mediator.stateManager().currentState(), mediator.stateManager().stateOne());
    EXPECT_TRUE(windows.nextHidden);
    EXPECT_EQ(mediator.GetSourceFile(), QString());
    EXPECT_EQ(windows.documents.keys(), QStringList({"earlier"}));
    EXPECT_TRUE(windows.reports.events.isEmpty());
}

TEST_F(MediatorJobs, aSaveDialogWithoutAChoiceMarksTheDocumentCancelled) {
    // Once cancelled, once confirmed with an empty name.
    for (const std::optional<QString>& answer :
         {std::optional<QString>(), std::optional(QString())}) {
        word->calls.clear();
        windows.reports.events.clear();
        dialogs.answerFile(document);
        dialogs.answerFile(answer);
        mediator.SingleSourceFile();

        EXPECT_TRUE(word->calls.empty());
        EXPECT_EQ(windows.documents.status(document), "Cancelled");
        EXPECT_TRUE(windows.reports.events.contains("cancelled " + document));
        EXPECT_EQ(windows.reports.events.last(), "finished 0 converted, 0 failed");
        EXPECT_FALSE(windows.busy);
        EXPECT_TRUE(dialogs.messages.empty());
    }
}

TEST_F(MediatorJobs, aFailedConversionIsMarkedWithItsReasonAndTheDocumentClosed) {
    word->failCall(QStringLiteral("ActiveDocument.SaveAs"));
    dialogs.answerFile(document);
    dialogs.answerFile(target + "/report.htm");
    EXPECT_NO_THROW(mediator.SingleSourceFile());

    const QString reason = QStringLiteral("The fake word processor refused ActiveDocument.SaveAs");
    EXPECT_EQ(windows.documents.status(document), "Failed");
    EXPECT_EQ(windows.documents.detail(document), reason);
    EXPECT_EQ(word->callTexts().last(), "ActiveWindow.Close()");
    EXPECT_EQ(word->openDocuments(), 0);
    EXPECT_TRUE(windows.reports.events.contains("failed " + document + ": " + reason));
    EXPECT_EQ(windows.reports.events.last(), "finished 0 converted, 1 failed");
    EXPECT_FALSE(windows.busy);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MediatorJobs, aDocumentWithAnUnlistedExtensionIsNotConverted) {
    const QString notes = source + "/notes.txt";
    touch(notes);
    windows.documents.addRow(QStringLiteral("earlier"), QStringLiteral("earlier"));
    dialogs.answerFile(notes);
    mediator.SingleSourceFile();

    EXPECT_EQ(dialogs.files.size(), 1u);
    EXPECT_TRUE(word->calls.empty());
    EXPECT_EQ(windows.documents.rowCount(), 0);
    EXPECT_EQ(mediator.GetSourceFile(), notes);
    EXPECT_EQ(windows.reports.events, QStringList({"job 0", "finished 0 converted, 0 failed"}));
}

TEST_F(MediatorJobs, theSourcePreviewListsDocumentsAndACancelKeepsIt) {
    for (const char* name : {"c.txt", "B.DOC", "a.doc", "report.doc.bak"})
        touch(source + QLatin1Char('/') + QString::fromLatin1(name));
    QDir(source).mkdir(QStringLiteral("x.doc"));
    QFile::remove(document);

    dialogs.answerFolder(source);
    mediator.SourceFolder();
    ASSERT_EQ(dialogs.folders.size(), 1u);
    EXPECT_EQ(dialogs.folders[0].prompt, "Select a Source Folder");
    EXPECT_EQ(windows.batch.found, QStringList({"a.doc", "B.DOC"}));
    EXPECT_EQ(windows.batch.sourceText, source);
    EXPECT_EQ(mediator.GetSourceFolder(), source);

    dialogs.answerFolder(QString());
    mediator.SourceFolder();
    EXPECT_EQ(windows.batch.found, QStringList({"a.doc", "B.DOC"}));
    EXPECT_EQ(windows.batch.sourceText, source);
    EXPECT_EQ(mediator.GetSourceFolder(), source);
}

TEST_F(MediatorJobs, aSourceFolderThatCannotBeListedLeavesThePreviewEmpty) {
    windows.batch.found << QStringLiteral("old.doc");
    const QString gone = folder.filePath(QStringLiteral("gone"));
    dialogs.answerFolder(gone);
    try {
        mediator.SourceFolder();
        ADD_FAILURE() << "no error for a missing folder";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::PathNotFound);
        EXPECT_TRUE(error.description().contains(gone));
    }
    EXPECT_TRUE(windows.batch.found.isEmpty());
}

TEST_F(MediatorJobs, cancellingTheTargetBrowserEmptiesTheTarget) {
    dialogs.answerFolder(target);
    mediator.TargetFolder();
    EXPECT_EQ(dialogs.folders.at(0).prompt, "Select a Target Folder");
    EXPECT_EQ(windows.batch.targetText, target);
    EXPECT_EQ(mediator.GetTgtFolder(), target);

    dialogs.answerFolder(QString());
    mediator.TargetFolder();
    EXPECT_EQ(windows.batch.targetText, QString());
    EXPECT_EQ(mediator.GetTgtFolder(), QString());
}

TEST(MediatorBinding, withoutAWordProcessorTheMessageIsShownAndInitFails) {
    auto word = FakeWordServer::install();
    word->running = false;
    word->creatable = false;
    ScriptedDialogs dialogs;
    dialogs.answerMessage(MessageAnswer::Ok);
    FakeWindows windows;
    windows.documents.addRow(QStringLiteral("kept"), QStringLiteral("kept"));
    Mediator mediator(windows);

    EXPECT_FALSE(mediator.init());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Could not find WordPerfect");
    EXPECT_EQ(dialogs.messages[0].title, "Error!");
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(windows.documents.rowCount(), 1);
}

TEST(MediatorBinding, aRunningWordProcessorIsTakenBeforeANewOneIsCreated) {
    // Answers both ways of binding and notes which were asked.
    class Server : public AutomationServer {
    public:
        ObjectRef getObject() override {
            asked << QStringLiteral("get");
            if (!running)
                throw AutomationError(ErrorNumber::CannotCreateObject, QStringLiteral("none"));
            return std::make_shared<Decorator>();
        }
        ObjectRef createObject() override {
            asked << QStringLiteral("create");
            return std::make_shared<Decorator>();
        }
        bool running = true;
        QStringList asked;
    };
    auto server = std::make_shared<Server>();
    AutomationRuntime::registerServer(QStringLiteral("Word.Application"), server);
    FakeWindows windows;
    windows.documents.addRow(QStringLiteral("old"), QStringLiteral("old"));
    Mediator mediator(windows);

    ASSERT_TRUE(mediator.init());
    EXPECT_EQ(server->asked, QStringList({"get"}));
    EXPECT_EQ(mediator.stateManager().currentState(), mediator.stateManager().stateThree());
    EXPECT_EQ(windows.documents.rowCount(), 0);

    server->running = false;
    Mediator second(windows);
    ASSERT_TRUE(second.init());
    EXPECT_EQ(server->asked, QStringList({"get", "get", "create"}));
    AutomationRuntime::unregisterServer(QStringLiteral("Word.Application"));
}
