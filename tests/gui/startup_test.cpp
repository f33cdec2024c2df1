// Start-up, the Quick Start dialog and the Batch Documents dialog, driven
// through the real windows.

#include "GuiHarness.h"

#include "ui/DocumentListView.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/frmExtension.h"

#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>

namespace qp::test {
namespace {

QStringList foundNames(const Form1& form) {
    QStringList names;
    for (int i = 0; i < form.List1->count(); ++i)
        names << form.List1->item(i)->text();
    return names;
}

class StartUpTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        // A source folder with two documents, a file that is not one and a
        // folder with a document's name.
        QDir().mkpath(in + "/x.doc");
        QDir().mkpath(out);
        for (const char* name : {"a.doc", "B.DOC", "c.txt"})
            writeFile(in + "/" + name);
    }

    // Opens the Batch Documents dialog from the main window's menu and runs
    // the action inside it.
    void batchDialog(std::function<void(Form1&)> action) {
        whenModal<Form1>(std::move(action));
        Form2& main = Form2::instance();
        clickMenu(main.menuBar(), main.mnuFile, main.mnuBatch);
    }

    // Chooses the source and target folders with the two Select... buttons.
    void chooseFolders(Form1& batch) {
        dialogs.answerFolder(in);
        QTest::mouseClick(batch.btnSource, Qt::LeftButton);
        dialogs.answerFolder(out);
        QTest::mouseClick(batch.btnTarget, Qt::LeftButton);
    }

    const QString in = path("in");
    const QString out = path("out");
};

TEST_F(StartUpTest, ShowsTheMainWindowThenQuickStartOverItAndEndsIdleOnCancel) {
    bool checked = false;
    whenModal<Form3>([&](Form3& quickStart) {
        Form2* main = Form2::loadedInstance();
        ASSERT_NE(main, nullptr);
        EXPECT_TRUE(main->isVisible());
        EXPECT_EQ(quickStart.parentWidget(), main);
        // The extension list is loaded, hidden, before anything can scan.
        EXPECT_FALSE(frmExtension::instance().isVisible());
        EXPECT_EQ(frmExtension::instance().listCount(), 1);
        EXPECT_EQ(frmExtension::instance().list(0), "doc");
        EXPECT_EQ(visibleWindows().size(), 2) << visibleWindows().join(' ').toStdString();
        checked = true;
        QTest::mouseClick(quickStart.btnCancel, Qt::LeftButton);
    });
    ASSERT_TRUE(startUp());
    EXPECT_TRUE(checked);
    EXPECT_TRUE(server->running);
    EXPECT_TRUE(Form2::instance().isVisible());
    EXPECT_FALSE(Form3::instance().isVisible());
    EXPECT_TRUE(server->calls.empty());
    EXPECT_EQ(ended, 0);
}

TEST_F(StartUpTest, ABindingFailureShowsOnlyItsMessageBoxAndRunApplicationReturnsOne) {
    server->creatable = false;
    bool shown = false;
    whenModal<QMessageBox>([&](QMessageBox& box) {
        shown = true;
        EXPECT_EQ(box.text(), "Could not find WordPerfect");
        EXPECT_EQ(box.windowTitle(), "Error!");
        EXPECT_EQ(box.icon(), QMessageBox::Warning);
        EXPECT_EQ(visibleWindows(), QStringList{box.objectName()});
        box.button(QMessageBox::Ok)->click();
    });
    int hooks = 0;
    addShutdownHook([&] { ++hooks; });
    // The scripted provider steps aside for the application's own dialogs.
    EXPECT_EQ(runApplication(*qApp), 1);
    EXPECT_TRUE(shown);
    EXPECT_EQ(hooks, 1);
    EXPECT_EQ(Form2::loadedInstance(), nullptr);
}

TEST_F(StartUpTest, OpenDocumentHidesQuickStartAndConvertsBeforeStartUpReturns) {
    const QString document = path("report.doc");
    writeFile(document);
    dialogs.answerFile(document);
    dialogs.answerFile(path("report.htm"));
    bool quickStartVisibleDuringJob = true;
    server->onCall = [&](const FakeCall&) {
        quickStartVisibleDuringJob = Form3::instance().isVisible();
    };
    whenModal<Form3>(
        [](Form3& quickStart) { QTest::mouseClick(quickStart.btnSingle, Qt::LeftButton); });
    ASSERT_TRUE(startUp());
    EXPECT_FALSE(quickStartVisibleDuringJob);
    EXPECT_TRUE(QFile::exists(path("report.htm")));
    EXPECT_EQ(Form2::instance().documentList().status(document), "Converted");
}

TEST_F(StartUpTest, BatchDocumentsFromQuickStartConvertsIntoTheTargetShowingProgressAndFailures) {
    server->failCall(QStringLiteral("ActiveDocument.SaveAs"), QStringLiteral("a.htm"));
    bool batchVisibleDuringJob = true;
    QStringList progress;
    server->onCall = [&](const FakeCall& call) {
        batchVisibleDuringJob = Form1::instance().isVisible();
        if (call.member == QLatin1String("Documents.Open"))
            progress << Form2::instance().statusText();
    };
    whenModal<Form3>([&](Form3& quickStart) {
        whenModal<Form1>([&](Form1& batch) {
            EXPECT_FALSE(Form3::instance().isVisible());
            chooseFolders(batch);
            EXPECT_EQ(batch.txtSrcFolder->text(), in);
            EXPECT_EQ(batch.txtTgtFolder->text(), out);
            EXPECT_EQ(foundNames(batch), (QStringList{"a.doc", "B.DOC"}));
            QTest::mouseClick(batch.Command1, Qt::LeftButton);
        });
        QTest::mouseClick(quickStart.btnBatch, Qt::LeftButton);
    });
    ASSERT_TRUE(startUp());
    ASSERT_EQ(dialogs.folders.size(), 2u);
    EXPECT_EQ(dialogs.folders[0].prompt, "Select a Source Folder");
    EXPECT_EQ(dialogs.folders[1].prompt, "Select a Target Folder");
    EXPECT_FALSE(batchVisibleDuringJob);
    EXPECT_EQ(progress, (QStringList{"Converting 1 of 2: a.doc", "Converting 2 of 2: B.DOC"}));
    EXPECT_EQ(server->savedPages, QStringList{out + "/B.htm"});
    DocumentListView& list = Form2::instance().documentList();
    EXPECT_EQ(list.status(in + "/a.doc"), "Failed");
    EXPECT_TRUE(list.detail(in + "/a.doc").contains("refused"));
    EXPECT_EQ(list.status(in + "/B.DOC"), "Converted");
    const QString status = Form2::instance().statusText();
    EXPECT_TRUE(status.startsWith("1 converted, 1 failed") && status.contains("a.doc"))
        << status.toStdString();
}

TEST_F(StartUpTest, CancelKeepsTheDialogAndReopeningShowsThePreviousFolders) {
    startIdle();
    Form1* first = nullptr;
    batchDialog([&](Form1& batch) {
        first = &batch;
        chooseFolders(batch);
        QTest::mouseClick(batch.Command2, Qt::LeftButton);
    });
    EXPECT_FALSE(Form1::instance().isVisible());
    batchDialog([&](Form1& batch) {
        EXPECT_EQ(&batch, first);
        EXPECT_EQ(batch.txtSrcFolder->text(), in);
        EXPECT_EQ(batch.txtTgtFolder->text(), out);
        EXPECT_EQ(foundNames(batch), (QStringList{"a.doc", "B.DOC"}));
        // A cancelled source browser changes nothing.
        dialogs.answerFolder(QString());
        QTest::mouseClick(batch.btnSource, Qt::LeftButton);
        EXPECT_EQ(batch.txtSrcFolder->text(), in);
        EXPECT_EQ(batch.List1->count(), 2);
        QTest::mouseClick(batch.Command2, Qt::LeftButton);
    });
    EXPECT_TRUE(server->calls.empty());
}

TEST_F(StartUpTest, CloseBoxUnloadsTheDialogAndStartWritesOnlyIntoTheTargetShown) {
    startIdle();
    batchDialog([&](Form1& batch) {
        chooseFolders(batch);
        batch.close();
    });
    EXPECT_EQ(Form1::loadedInstance(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    batchDialog([&](Form1& batch) {
        EXPECT_TRUE(batch.txtSrcFolder->text().isEmpty());
        EXPECT_TRUE(batch.txtTgtFolder->text().isEmpty());
        EXPECT_EQ(batch.List1->count(), 0);
        // The stored target is not shown, so it is not used.
        dialogs.answerMessage(MessageAnswer::Ok);
        QTest::mouseClick(batch.Command1, Qt::LeftButton);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, "Please select a Target Folder");
        EXPECT_TRUE(batch.isVisible());
        // The source stored earlier still serves.
        dialogs.answerFolder(out);
        QTest::mouseClick(batch.btnTarget, Qt::LeftButton);
        QTest::mouseClick(batch.Command1, Qt::LeftButton);
    });
    EXPECT_EQ(server->savedPages, (QStringList{out + "/a.htm", out + "/B.htm"}));
}

TEST_F(StartUpTest, AfterASingleDocumentJobAnEmptyTargetBoxStillRefusesToStart) {
    startIdle();
    // File -> Open converts a document; its folder becomes the job's target.
    const QString single = path("single/report.doc");
    writeFile(single);
    dialogs.answerFile(single);
    dialogs.answerFile(path("single/report.htm"));
    Form2& main = Form2::instance();
    clickMenu(main.menuBar(), main.mnuFile, main.mnuOpen);
    ASSERT_EQ(server->savedPages, QStringList{path("single/report.htm")});
    batchDialog([&](Form1& batch) {
        dialogs.answerFolder(in);
        QTest::mouseClick(batch.btnSource, Qt::LeftButton);
        EXPECT_TRUE(batch.txtTgtFolder->text().isEmpty());
        dialogs.answerMessage(MessageAnswer::Ok);
        QTest::mouseClick(batch.Command1, Qt::LeftButton);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, "Please select a Target Folder");
        QTest::mouseClick(batch.Command2, Qt::LeftButton);
    });
    EXPECT_EQ(server->savedPages, QStringList{path("single/report.htm")});
    EXPECT_EQ(QDir(path("single")).entryList(QDir::Files, QDir::Name),
              (QStringList{"report.doc", "report.htm"}));
}

TEST_F(StartUpTest, AFolderWithoutListedDocumentsIsRefusedSayingWhatItHolds) {
    startIdle();
    const QString other = path("other");
    for (int i = 0; i < 12; ++i)
        writeFile(other + QStringLiteral("/n%1.docx").arg(i));
    batchDialog([&](Form1& batch) {
        dialogs.answerFolder(other);
        QTest::mouseClick(batch.btnSource, Qt::LeftButton);
        dialogs.answerFolder(out);
        QTest::mouseClick(batch.btnTarget, Qt::LeftButton);
        dialogs.answerMessage(MessageAnswer::Ok);
        QTest::mouseClick(batch.Command1, Qt::LeftButton);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, "No documents with the listed extensions (doc) in " +
                                                other + "; 12 other files (docx: 12)");
        EXPECT_TRUE(batch.isVisible());
        QTest::mouseClick(batch.Command2, Qt::LeftButton);
    });
    EXPECT_TRUE(server->calls.empty());
}

TEST_F(StartUpTest, StartRefusesWithoutUsableFoldersAndKeepsTheDialogOpen) {
    startIdle();
    const QString unreadable = QStringLiteral("Could not read the Source Folder ") + in;
    batchDialog([&](Form1& batch) {
        // Clicks the button and expects the message box with that text.
        auto refused = [&](QPushButton* button, const QString& text) {
            dialogs.answerMessage(MessageAnswer::Ok);
            QTest::mouseClick(button, Qt::LeftButton);
            ASSERT_FALSE(dialogs.messages.empty());
            EXPECT_EQ(dialogs.messages.back().text, text);
            EXPECT_EQ(dialogs.messages.back().title, "Quillpage - HTML");
            EXPECT_EQ(dialogs.messages.back().icon, MessageIcon::Exclamation);
            EXPECT_TRUE(batch.isVisible());
        };
        refused(batch.Command1, QStringLiteral("Please select a Source Folder"));
        dialogs.answerFolder(in);
        QTest::mouseClick(batch.btnSource, Qt::LeftButton);
        refused(batch.Command1, QStringLiteral("Please select a Target Folder"));

        // A target browser cancelled after a choice empties the target again.
        chooseFolders(batch);
        dialogs.answerFolder(QString());
        QTest::mouseClick(batch.btnTarget, Qt::LeftButton);
        EXPECT_TRUE(batch.txtTgtFolder->text().isEmpty());
        refused(batch.Command1, QStringLiteral("Please select a Target Folder"));

        chooseFolders(batch);
        ASSERT_TRUE(QDir(in).removeRecursively());
        refused(batch.Command1, unreadable);
        // Choosing a folder that cannot be listed says so at once.
        dialogs.answerFolder(in);
        refused(batch.btnSource, unreadable);
        EXPECT_EQ(batch.List1->count(), 0);
        EXPECT_FALSE(Form2::instance().isBusy());
        QTest::mouseClick(batch.Command2, Qt::LeftButton);
    });
    EXPECT_TRUE(server->calls.empty());
    EXPECT_EQ(dialogs.messages.size(), 5u);
}

} // namespace
} // namespace qp::test
