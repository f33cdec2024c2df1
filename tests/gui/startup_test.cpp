// Start-up, the Quick Start dialog and the Batch Documents dialog, driven
// through the real windows.

#include "GuiHarness.h"

namespace qp::test {
namespace {

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
    void batchDialog(std::function<void(BatchDialog&)> action) {
        whenModal<BatchDialog>(std::move(action));
        MainWindow& main = windows.mainWindow();
        clickMenu(main.menuBar(), main.fileMenu, main.batchAction);
    }

    // Chooses the source and target folders with the two Select... buttons.
    void chooseFolders(BatchDialog& batch) {
        dialogs.answerFolder(in);
        QTest::mouseClick(batch.sourceButton, Qt::LeftButton);
        dialogs.answerFolder(out);
        QTest::mouseClick(batch.targetButton, Qt::LeftButton);
    }
};

TEST_F(StartUpTest, ABindingFailureShowsOnlyItsMessageBoxAndRunApplicationReturnsOne) {
    server->creatable = false;
    bool shown = false;
    whenModal<QMessageBox>([&](QMessageBox& box) {
        shown = true;
        EXPECT_EQ(box.text(), "Could not find WordPerfect");
        EXPECT_EQ(box.icon(), QMessageBox::Warning);
        // What to do about it, then what the word processor said.
        EXPECT_TRUE(box.informativeText().contains("libreoffice-writer-nogui"));
        EXPECT_TRUE(box.informativeText().contains("QUILLPG_OFFICE_DIR"));
        EXPECT_TRUE(box.informativeText().endsWith("\n\nCannot create"));
        EXPECT_EQ(visibleWindows(), QStringList{box.objectName()});
        box.button(QMessageBox::Ok)->click();
    });
    int hooks = 0;
    addShutdownHook([&] { ++hooks; });
    // The application's own dialogs instead of the scripted ones.
    QtDialogProvider qtDialogs;
    WidgetWindows application(qtDialogs);
    EXPECT_EQ(runApplication(*qApp, application), 1);
    EXPECT_TRUE(shown);
    EXPECT_EQ(hooks, 1);
    EXPECT_EQ(application.loaded<MainWindow>(), nullptr);
}

TEST_F(StartUpTest, QuickStartComesOverTheMainWindowAndItsBatchButtonConvertsTheFoundDocuments) {
    server->failCall(QStringLiteral("ActiveDocument.SaveAs"), QStringLiteral("a.htm"));
    bool batchVisibleDuringJob = true;
    server->onCall = [&](const FakeCall&) {
        batchVisibleDuringJob = windows.batchDialog().isVisible();
    };
    whenModal<QuickStartDialog>([&](QuickStartDialog& quickStart) {
        // Over the main window, the extension list loaded, nothing else
        // shown and the word processor not yet asked.
        EXPECT_EQ(quickStart.parentWidget(), windows.loaded<MainWindow>());
        EXPECT_EQ(visibleWindows().size(), 2) << visibleWindows().join(' ').toStdString();
        EXPECT_EQ(windows.extensionListDialog().list(0), "doc");
        EXPECT_TRUE(server->calls.empty());
        whenModal<BatchDialog>([&](BatchDialog& batch) {
            EXPECT_FALSE(windows.quickStartDialog().isVisible());
            chooseFolders(batch);
            EXPECT_EQ(foundNames(batch), (QStringList{"a.doc", "B.DOC"}));
            QTest::mouseClick(batch.startButton, Qt::LeftButton);
        });
        QTest::mouseClick(quickStart.batchButton, Qt::LeftButton);
    });
    ASSERT_TRUE(startUp(windows));
    ASSERT_TRUE(waitForJobs(windows.mediator()));
    EXPECT_FALSE(batchVisibleDuringJob);
    EXPECT_EQ(server->savedPages, QStringList{out + "/B.htm"});
    EXPECT_EQ(windows.mainWindow().documentList().status(in + "/a.doc"), "Failed");
}

TEST_F(StartUpTest, CancelKeepsTheDialogWithTheFoldersChosenAndTheCloseBoxUnloadsIt) {
    startIdle();
    BatchDialog* first = nullptr;
    batchDialog([&](BatchDialog& batch) {
        first = &batch;
        chooseFolders(batch);
        QTest::mouseClick(batch.cancelButton, Qt::LeftButton);
    });
    batchDialog([&](BatchDialog& batch) {
        EXPECT_EQ(&batch, first);
        EXPECT_EQ(batch.targetFolderEdit->text(), out);
        EXPECT_EQ(foundNames(batch), (QStringList{"a.doc", "B.DOC"}));
        batch.close();
    });
    EXPECT_EQ(windows.loaded<BatchDialog>(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(windows.batchDialog().sourceFolderEdit->text().isEmpty());
}

TEST_F(StartUpTest, StartRefusesWithoutUsableFoldersOrDocumentsAndKeepsTheDialogOpen) {
    startIdle();
    const QString other = path("other");
    for (int i = 0; i < 12; ++i)
        writeFile(other + QStringLiteral("/n%1.docx").arg(i));
    batchDialog([&](BatchDialog& batch) {
        // Clicks the button and expects the message box with that text.
        auto refused = [&](QPushButton* button, const QString& text) {
            dialogs.answerMessage(MessageAnswer::Ok);
            QTest::mouseClick(button, Qt::LeftButton);
            ASSERT_FALSE(dialogs.messages.empty());
            EXPECT_EQ(dialogs.messages.back().text, text);
            EXPECT_TRUE(batch.isVisible());
        };
        refused(batch.startButton, QStringLiteral("Please select a Source Folder"));
        dialogs.answerFolder(in);
        QTest::mouseClick(batch.sourceButton, Qt::LeftButton);
        refused(batch.startButton, QStringLiteral("Please select a Target Folder"));

        chooseFolders(batch);
        ASSERT_TRUE(QDir(in).removeRecursively());
        refused(batch.startButton, "Could not read the Source Folder " + in);
        // A folder without listed documents: the message says what it holds.
        dialogs.answerFolder(other);
        QTest::mouseClick(batch.sourceButton, Qt::LeftButton);
        refused(batch.startButton, "No documents with the listed extensions (doc) in " + other +
                                       "; 12 other files (docx: 12)");
        QTest::mouseClick(batch.cancelButton, Qt::LeftButton);
    });
    EXPECT_TRUE(server->calls.empty());
    EXPECT_EQ(dialogs.messages.size(), 4u);
}

} // namespace
} // namespace qp::test
