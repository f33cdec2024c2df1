// Start-up, the Quick Start dialog and the Batch Documents dialog, driven
// through the real windows.

#include "GuiHarness.h"

#include "core/Mediator.h"
#include "ui/DocumentListView.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/frmExtension.h"

#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

namespace qp::test {
namespace {

QStringList foundNames(const Form1& form) {
    QStringList names;
    for (int i = 0; i < form.List1->count(); ++i)
        names << form.List1->item(i)->text();
    return names;
}

QStringList visibleWindows() {
    QStringList names;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            names << window->objectName();
    return names;
}

class StartUpTest : public WindowTest {
protected:
    // Starts the application and leaves the Quick Start dialog with "Cancel".
    void startIdle() {
        whenModal<Form3>(
            [](Form3& quickStart) { QTest::mouseClick(quickStart.btnCancel, Qt::LeftButton); });
        ASSERT_TRUE(startUp());
    }

    // Opens the Batch Documents dialog from the main window's menu and runs
    // the action inside it.
    void batchDialog(std::function<void(Form1&)> action) {
        whenModal<Form1>(std::move(action));
        Form2& main = Form2::instance();
        clickMenu(main.menuBar(), main.mnuFile, main.mnuBatch);
    }

    // A source folder with two documents and a file that is not one.
    QString sourceFolder() {
        const QString folder = path(QStringLiteral("in"));
        QDir().mkpath(folder);
        writeFile(folder + QStringLiteral("/a.doc"));
        writeFile(folder + QStringLiteral("/B.DOC"));
        writeFile(folder + QStringLiteral("/c.txt"));
        QDir().mkpath(folder + QStringLiteral("/x.doc"));
        return folder;
    }
    QString targetFolder() {
        const QString folder = path(QStringLiteral("out"));
        QDir().mkpath(folder);
        return folder;
    }
};

TEST_F(StartUpTest, ShowsTheMainWindowThenQuickStartOverItAndEndsIdleOnCancel) {
    bool checked = false;
    whenModal<Form3>([&](Form3& quickStart) {
        Form2* main = Form2::loadedInstance();
        ASSERT_NE(main, nullptr);
        EXPECT_TRUE(main->isVisible());
        EXPECT_EQ(quickStart.parentWidget(), main);
        EXPECT_EQ(quickStart.windowTitle(), QStringLiteral("Quick Start"));
        // The extension list is loaded, hidden, before anything can scan.
        EXPECT_FALSE(frmExtension::instance().isVisible());
        ASSERT_EQ(frmExtension::instance().listCount(), 1);
        EXPECT_EQ(frmExtension::instance().list(0), QStringLiteral("doc"));
        EXPECT_EQ(main->documentList().rowCount(), 0);
        EXPECT_EQ(visibleWindows().size(), 2) << visibleWindows().join(' ').toStdString();
        // Keyboard order of the three buttons.
        EXPECT_EQ(quickStart.btnSingle->nextInFocusChain(), quickStart.btnBatch);
        EXPECT_EQ(quickStart.btnBatch->nextInFocusChain(), quickStart.btnCancel);
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

TEST_F(StartUpTest, BindingFailureShowsOnlyItsMessageAndStartsNothing) {
    server->creatable = false;
    dialogs.answerMessage(MessageAnswer::Ok);
    EXPECT_FALSE(startUp());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("Could not find WordPerfect"));
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Error!"));
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(Form2::loadedInstance(), nullptr);
    EXPECT_TRUE(visibleWindows().isEmpty());
}

TEST_F(StartUpTest, RunApplicationShowsTheBindingFailureInARealMessageBoxAndReturnsOne) {
    server->creatable = false;
    bool shown = false;
    whenModal<QMessageBox>([&](QMessageBox& box) {
        shown = true;
        EXPECT_EQ(box.text(), QStringLiteral("Could not find WordPerfect"));
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Error!"));
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
    const QString document = path(QStringLiteral("report.doc"));
    writeFile(document);
    dialogs.answerFile(document);
    dialogs.answerFile(path(QStringLiteral("report.htm")));
    bool quickStartVisibleDuringJob = true;
    server->onCall = [&](const FakeCall&) {
        quickStartVisibleDuringJob = Form3::instance().isVisible();
    };
    whenModal<Form3>(
        [](Form3& quickStart) { QTest::mouseClick(quickStart.btnSingle, Qt::LeftButton); });
    ASSERT_TRUE(startUp());
    EXPECT_FALSE(quickStartVisibleDuringJob);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("report.htm"))));
    EXPECT_EQ(Form2::instance().documentList().status(document), QStringLiteral("Converted"));
}

TEST_F(StartUpTest, BatchDocumentsFromQuickStartConvertsTheAcceptedFilesIntoTheTarget) {
    const QString in = sourceFolder();
    const QString out = targetFolder();
    bool batchVisibleDuringJob = true;
    server->onCall = [&](const FakeCall&) {
        batchVisibleDuringJob = Form1::instance().isVisible();
    };
    whenModal<Form3>([&](Form3& quickStart) {
        whenModal<Form1>([&](Form1& batch) {
            EXPECT_FALSE(Form3::instance().isVisible());
            EXPECT_EQ(batch.parentWidget(), nullptr);
            dialogs.answerFolder(in);
            QTest::mouseClick(batch.btnSource, Qt::LeftButton);
            EXPECT_EQ(batch.txtSrcFolder->text(), in);
            EXPECT_EQ(foundNames(batch), (QStringList{"a.doc", "B.DOC"}));
            dialogs.answerFolder(out);
            QTest::mouseClick(batch.btnTarget, Qt::LeftButton);
            EXPECT_EQ(batch.txtTgtFolder->text(), out);
            QTest::mouseClick(batch.Command1, Qt::LeftButton);
        });
        QTest::mouseClick(quickStart.btnBatch, Qt::LeftButton);
    });
    ASSERT_TRUE(startUp());
    ASSERT_EQ(dialogs.folders.size(), 2u);
    EXPECT_EQ(dialogs.folders[0].prompt, QStringLiteral("Select a Source Folder"));
    EXPECT_EQ(dialogs.folders[1].prompt, QStringLiteral("Select a Target Folder"));
    EXPECT_FALSE(batchVisibleDuringJob);
    EXPECT_EQ(server->savedPages, (QStringList{out + "/a.htm", out + "/B.htm"}));
    Form2& main = Form2::instance();
    EXPECT_EQ(main.documentList().status(in + "/a.doc"), QStringLiteral("Converted"));
    EXPECT_EQ(main.documentList().status(in + "/B.DOC"), QStringLiteral("Converted"));
    EXPECT_EQ(main.statusText(), QStringLiteral("2 converted, 0 failed"));
}

TEST_F(StartUpTest, CancelKeepsTheDialogAndReopeningShowsThePreviousFolders) {
    startIdle();
    const QString in = sourceFolder();
    const QString out = targetFolder();
    Form1* first = nullptr;
    batchDialog([&](Form1& batch) {
        first = &batch;
        dialogs.answerFolder(in);
        QTest::mouseClick(batch.btnSource, Qt::LeftButton);
        dialogs.answerFolder(out);
        QTest::mouseClick(batch.btnTarget, Qt::LeftButton);
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

TEST_F(StartUpTest, CloseBoxUnloadsTheDialogButStartStillUsesTheStoredFolders) {
    startIdle();
    const QString in = sourceFolder();
    const QString out = targetFolder();
    batchDialog([&](Form1& batch) {
        dialogs.answerFolder(in);
        QTest::mouseClick(batch.btnSource, Qt::LeftButton);
        dialogs.answerFolder(out);
        QTest::mouseClick(batch.btnTarget, Qt::LeftButton);
        batch.close();
    });
    EXPECT_EQ(Form1::loadedInstance(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    batchDialog([&](Form1& batch) {
        EXPECT_TRUE(batch.txtSrcFolder->text().isEmpty());
        EXPECT_TRUE(batch.txtTgtFolder->text().isEmpty());
        EXPECT_EQ(batch.List1->count(), 0);
        QTest::mouseClick(batch.Command1, Qt::LeftButton);
    });
    EXPECT_EQ(server->savedPages, (QStringList{out + "/a.htm", out + "/B.htm"}));
}

TEST_F(StartUpTest, StartRefusesWithoutUsableFoldersAndKeepsTheDialogOpen) {
    startIdle();
    const QString in = sourceFolder();
    const QString out = targetFolder();
    batchDialog([&](Form1& batch) {
        auto startRefused = [&](const QString& text) {
            dialogs.answerMessage(MessageAnswer::Ok);
            QTest::mouseClick(batch.Command1, Qt::LeftButton);
            ASSERT_FALSE(dialogs.messages.empty());
            EXPECT_EQ(dialogs.messages.back().text, text);
            EXPECT_EQ(dialogs.messages.back().title, QStringLiteral("Quillpage - HTML"));
            EXPECT_EQ(dialogs.messages.back().icon, MessageIcon::Exclamation);
            EXPECT_TRUE(batch.isVisible());
        };
        startRefused(QStringLiteral("Please select a Source Folder"));

        dialogs.answerFolder(in);
        QTest::mouseClick(batch.btnSource, Qt::LeftButton);
        startRefused(QStringLiteral("Please select a Target Folder"));

        // A target browser cancelled after a choice empties the target again.
        dialogs.answerFolder(out);
        QTest::mouseClick(batch.btnTarget, Qt::LeftButton);
        dialogs.answerFolder(QString());
        QTest::mouseClick(batch.btnTarget, Qt::LeftButton);
        EXPECT_TRUE(batch.txtTgtFolder->text().isEmpty());
        startRefused(QStringLiteral("Please select a Target Folder"));

        dialogs.answerFolder(out);
        QTest::mouseClick(batch.btnTarget, Qt::LeftButton);
        ASSERT_TRUE(QDir(in).removeRecursively());
        startRefused(QStringLiteral("Could not read the Source Folder ") + in);

        // Choosing a folder that cannot be listed says so at once.
        dialogs.answerFolder(in);
        dialogs.answerMessage(MessageAnswer::Ok);
        QTest::mouseClick(batch.btnSource, Qt::LeftButton);
        ASSERT_FALSE(dialogs.messages.empty());
        EXPECT_EQ(dialogs.messages.back().text,
                  QStringLiteral("Could not read the Source Folder ") + in);
        EXPECT_EQ(batch.List1->count(), 0);

        QTest::mouseClick(batch.Command2, Qt::LeftButton);
    });
    EXPECT_TRUE(server->calls.empty());
    EXPECT_EQ(dialogs.messages.size(), 5u);
}

TEST_F(StartUpTest, BatchRunShowsProgressAndMarksAFailedDocument) {
    startIdle();
    const QString in = sourceFolder();
    const QString out = targetFolder();
    server->failCall(QStringLiteral("ActiveDocument.SaveAs"), QStringLiteral("a.htm"));
    QStringList progress;
    server->onCall = [&](const FakeCall& call) {
        if (call.member == QLatin1String("Documents.Open"))
            progress << Form2::instance().statusText();
    };
    batchDialog([&](Form1& batch) {
        dialogs.answerFolder(in);
        QTest::mouseClick(batch.btnSource, Qt::LeftButton);
        dialogs.answerFolder(out);
        QTest::mouseClick(batch.btnTarget, Qt::LeftButton);
        QTest::mouseClick(batch.Command1, Qt::LeftButton);
    });
    EXPECT_EQ(progress, (QStringList{"Converting 1 of 2: a.doc", "Converting 2 of 2: B.DOC"}));
    DocumentListView& list = Form2::instance().documentList();
    EXPECT_EQ(list.status(in + "/a.doc"), QStringLiteral("Failed"));
    EXPECT_TRUE(list.detail(in + "/a.doc").contains(QStringLiteral("refused")));
    EXPECT_EQ(list.status(in + "/B.DOC"), QStringLiteral("Converted"));
    const QString status = Form2::instance().statusText();
    EXPECT_TRUE(status.startsWith(QStringLiteral("1 converted, 1 failed"))) << status.toStdString();
    EXPECT_TRUE(status.contains(QStringLiteral("a.doc"))) << status.toStdString();
}

} // namespace
} // namespace qp::test
