// The main window: its menus and buttons, the document list, the status bar,
// the Settings dialog and the end of the program.

#include "GuiHarness.h"

#include "desktop/Settings.h"

namespace qp::test {
namespace {

class MainWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        startIdle();
        main = &windows.mainWindow();
        writeFile(document);
    }

    void click(QMenu* menu, QAction* item) { clickMenu(main->menuBar(), menu, item); }

    // File -> Open with the file; a document's save dialog answers the page
    // path (nothing to cancel it).
    void open(const QString& file, std::optional<QString> page) {
        dialogs.reset();
        server->calls.clear();
        dialogs.answerFile(file);
        if (file.endsWith(QLatin1String(".doc")))
            dialogs.answerFile(page);
        click(main->fileMenu, main->openAction);
        ASSERT_TRUE(waitForJobs(windows.mediator()));
    }

    // Options -> Settings; the action runs inside the modal dialog.
    void settingsDialog(std::function<void(SettingsDialog&)> action) {
        whenModal<SettingsDialog>(std::move(action));
        click(main->optionsMenu, main->settingsAction);
    }

    // a.doc to d.doc in the folder "in", and the folder "out".
    void makeDocuments() {
        for (const char* name : {"a.doc", "b.doc", "c.doc", "d.doc"})
            writeFile(in + QLatin1Char('/') + QLatin1String(name));
        QDir().mkpath(out);
    }

    MainWindow* main = nullptr;
    const QString document = path("Report.final.doc");
};

TEST_F(MainWindowTest, OpenSavesThePageAtTheProposedOrChosenPathInTheStoredFormatAddingDotHtm) {
    const QString proposal = path("Report.final.htm");
    open(document, proposal);
    ASSERT_EQ(dialogs.files.size(), 2u);
    EXPECT_EQ(dialogs.files[0].flags, 4096 | 512); // the file must exist; several may be chosen
    EXPECT_EQ(dialogs.files[1].mode, FileRequest::Mode::Save);
    EXPECT_EQ(dialogs.files[1].fileName, proposal);
    EXPECT_EQ(
        server->callTexts(),
        QStringList({"Documents.Open(FileName:=\"" + document + "\")", "application.Visible = True",
                     FakeCall::saveAs(proposal, 8), "ActiveWindow.Close()"}));
    EXPECT_EQ(server->calls[2].arguments[1].value.type(), Variant::Type::Int16);
    EXPECT_EQ(list().subItems(document), (QStringList{"Converted", "Converting..."}));
    EXPECT_EQ(main->statusText(), "1 converted, 0 failed");

    // Filtered, chosen in Settings, holds for the next document. A name typed
    // without an extension gets ".htm" (a leading dot begins none).
    settingsDialog([](SettingsDialog& settings) {
        QTest::mouseClick(settings.filteredOption, Qt::LeftButton);
        QTest::mouseClick(settings.okButton, Qt::LeftButton);
    });
    QDir().mkpath(path("pages"));
    open(document, path("pages/other"));
    EXPECT_EQ(server->callTexts().at(2), FakeCall::saveAs(path("pages/other.htm"), 10));
    EXPECT_EQ(list().detail(document), path("pages/other.htm"));
    open(document, path("pages/.other"));
    open(document, path("typed.html"));
    EXPECT_EQ(server->savedPages, (QStringList{proposal, path("pages/other.htm"),
                                               path("pages/.other.htm"), path("typed.html")}));
}

TEST_F(MainWindowTest, CancellingADialogOrChoosingAnUnlistedTypeConvertsNothing) {
    dialogs.answerFile(std::nullopt);
    click(main->fileMenu, main->openAction);
    // The save dialog cancelled, then confirmed without a name.
    for (const std::optional<QString>& page :
         {std::optional<QString>(), std::optional(QString())}) {
        open(document, page);
        EXPECT_EQ(list().status(document), "Cancelled");
        EXPECT_EQ(main->statusText(), "0 converted, 0 failed");
    }
    // A file chosen under "All files" is refused with the reason.
    const QString reason = "notes.txt is not one of the listed document types (doc)";
    writeFile(path("notes.txt"));
    dialogs.reset();
    dialogs.answerFile(path("notes.txt"));
    dialogs.answerMessage(MessageAnswer::Ok);
    click(main->fileMenu, main->openAction);
    EXPECT_EQ(list().rowCount(), 0);
    EXPECT_EQ(main->statusText(), reason);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, reason);
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(server->calls.empty() && server->savedPages.isEmpty());
    EXPECT_TRUE(main->openAction->isEnabled());
}

TEST_F(MainWindowTest, NothingCanStartASecondJobOrChangeTheRunningOneWhileItRuns) {
    click(main->optionsMenu, main->extensionsAction); // the modeless Extension manager
    ExtensionListDialog* manager = &windows.extensionListDialog();
    bool checked = false;
    server->onCall = [&](const FakeCall& call) {
        if (call.member != QLatin1String("Documents.Open"))
            return;
        checked = true;
        for (QAction* action :
             {main->openAction, main->batchAction, main->settingsAction, main->extensionsAction})
            EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
        EXPECT_FALSE(main->nextButton->isEnabled() ||
                     windows.quickStartDialog().batchButton->isEnabled());
        EXPECT_FALSE(manager->isEnabled());
        manager->close(); // its close box only hides it: the list the job reads stays
        EXPECT_EQ(&windows.extensionListDialog(), manager);
        EXPECT_TRUE(main->exitButton->isEnabled() && main->exitAction->isEnabled());
    };
    open(document, path("a.htm"));
    EXPECT_TRUE(checked);
    EXPECT_TRUE(main->openAction->isEnabled() && manager->isEnabled());
}

TEST_F(MainWindowTest, CloseDuringABatchEndsItAfterTheCurrentDocumentAndEmptiesTheList) {
    makeDocuments();
    server->onCall = [&](const FakeCall& call) {
        if (call.member == QLatin1String("ActiveDocument.SaveAs") && call.text().contains("b.htm"))
            main->closeAction->trigger();
    };
    batch();
    EXPECT_EQ(server->savedPages, (QStringList{out + "/a.htm", out + "/b.htm"}));
    EXPECT_EQ(server->openDocuments(), 0);
    EXPECT_EQ(list().rowCount(), 0);
    EXPECT_EQ(main->statusText(), "2 converted, 0 failed, 2 not converted (closed)");
}

TEST_F(MainWindowTest, StopByButtonMenuOrEscEndsTheJobAfterTheCurrentDocumentKeepingTheList) {
    makeDocuments();
    const std::vector<std::function<void()>> stops{
        [&] { QTest::mouseClick(main->stopButton, Qt::LeftButton); },
        [&] { main->stopAction->trigger(); },
        [&] {
            main->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(main));
            main->documentView->setFocus();
            QTest::keyClick(main->documentView, Qt::Key_Escape);
        },
    };
    for (const auto& stop : stops) {
        server->savedPages.clear();
        server->onCall = [&](const FakeCall& call) {
            if (call.member != QLatin1String("ActiveDocument.SaveAs") ||
                !call.text().contains("b.htm"))
                return;
            EXPECT_TRUE(main->stopButton->isVisible() && main->stopAction->isEnabled());
            stop();
        };
        batch();
        EXPECT_EQ(server->savedPages, (QStringList{out + "/a.htm", out + "/b.htm"}));
        EXPECT_EQ(list().shownKeys(), (QStringList{in + "/b.doc", in + "/a.doc"}));
        EXPECT_EQ(list().status(in + "/b.doc"), "Converted");
        EXPECT_EQ(main->statusText(), "2 converted, 0 failed, 2 not converted (stopped)");
        EXPECT_FALSE(main->stopButton->isVisible() || main->stopAction->isEnabled());
    }
}

TEST_F(MainWindowTest, ExitTheExitMenuAndTheCloseBoxEndTheProgramRunningTheHooksOnce) {
    int hooks = 0;
    addShutdownHook([&] { ++hooks; });
    QTest::mouseClick(main->exitButton, Qt::LeftButton);
    click(main->fileMenu, main->exitAction);
    main->close();
    EXPECT_EQ(ended, 3);
    EXPECT_EQ(hooks, 1);
}

TEST_F(MainWindowTest, SettingsOkOrEnterStoreTheChoiceCancelEscapeAndTheCloseBoxDoNot) {
    // The other format chosen, then each way out of the dialog: what is
    // stored after it.
    const std::vector<std::pair<std::function<void(SettingsDialog&)>, QString>> ways{
        {[](SettingsDialog& d) { QTest::mouseClick(d.cancelButton, Qt::LeftButton); }, "0"},
        {[](SettingsDialog& d) { QTest::mouseClick(d.okButton, Qt::LeftButton); }, "1"},
        {[](SettingsDialog& d) { d.close(); }, "1"},
        {[](SettingsDialog& d) { QTest::keyClick(d.notFilteredOption, Qt::Key_Escape); }, "1"},
        {[](SettingsDialog& d) { QTest::keyClick(d.notFilteredOption, Qt::Key_Return); }, "0"}};
    for (const auto& [leave, stored] : ways) {
        settingsDialog([&](SettingsDialog& dialog) {
            QTest::mouseClick(dialog.filteredOption->isChecked() ? dialog.notFilteredOption
                                                                 : dialog.filteredOption,
                              Qt::LeftButton);
            leave(dialog);
        });
        EXPECT_EQ(storedFilterText(), stored);
        EXPECT_EQ(windows.settings().pageFormat(),
                  stored == "1" ? PageFormat::Filtered : PageFormat::Full);
    }
    // A choice that cannot be written (the settings folder is a file, which
    // stops root too) is said, and what is stored stays.
    const QString folder = QFileInfo(settingsFile()).path();
    ASSERT_TRUE(QDir().rename(folder, folder + ".kept"));
    writeFile(folder);
    dialogs.answerMessage(MessageAnswer::Ok);
    settingsDialog([](SettingsDialog& d) {
        d.filteredOption->setChecked(true);
        QTest::mouseClick(d.okButton, Qt::LeftButton);
    });
    QFile::remove(folder);
    ASSERT_TRUE(QDir().rename(folder + ".kept", folder));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("Your choice could not be saved in "));
    EXPECT_EQ(storedFilterText(), "0");
}

TEST_F(MainWindowTest, SeveralDocumentsOpenedTogetherAreABatchOfExactlyThoseNamedAsOneFolder) {
    // Two "report.doc" of different folders, a document beside them that is
    // not chosen, and a chosen file of a type not listed.
    const QStringList chosen{path("a/report.doc"), path("b/report.doc"), path("a/notes.txt")};
    for (const QString& file : chosen + QStringList{path("a/other.doc")})
        writeFile(file);
    QDir().mkpath(out);
    writeFile(out + "/report.htm", "earlier run");
    // The target folder asked for, cancelled: nothing is converted.
    for (const QString& target : {QString(), out}) {
        dialogs.answerFiles(chosen);
        dialogs.answerFolder(target);
        click(main->fileMenu, main->openAction);
        ASSERT_TRUE(waitForJobs(windows.mediator()));
        EXPECT_EQ(list().rowCount(), target.isEmpty() ? 0 : 3);
    }
    EXPECT_EQ(dialogs.files.size(), 2u); // no save dialog
    EXPECT_EQ(dialogs.folders.back().prompt, "Select a Target Folder");
    const QStringList pages{out + "/report.htm", out + "/report (2).htm"};
    EXPECT_EQ(server->savedPages, pages);
    EXPECT_EQ(list().detail(chosen[1]), pages[1]);
    EXPECT_EQ(list().status(chosen[2]), "Failed");
    EXPECT_EQ(list().detail(chosen[2]), "notes.txt is not one of the listed document types (doc)");
    EXPECT_TRUE(main->statusText().startsWith("2 converted, 1 failed"));
}

TEST_F(MainWindowTest, IncludeSubfoldersIsStoredPreviewedAndPutsPagesIntoTheSameSubfolders) {
    makeDocuments();
    for (const char* name : {"sub/a.doc", "sub/deeper/e.doc", ".hidden/f.doc"})
        writeFile(in + QLatin1Char('/') + QLatin1String(name));
    // A target inside the source is not walked into.
    const QString inside = in + "/pages";
    QDir().mkpath(inside);
    whenModal<BatchDialog>([&](BatchDialog& dialog) {
        EXPECT_FALSE(dialog.subfoldersCheck->isChecked());
        dialogs.answerFolder(in);
        QTest::mouseClick(dialog.sourceButton, Qt::LeftButton);
        EXPECT_EQ(dialog.foundList->count(), 4);
        QTest::mouseClick(dialog.subfoldersCheck, Qt::LeftButton);
        EXPECT_EQ(foundNames(dialog), (QStringList{"a.doc", "b.doc", "c.doc", "d.doc", "sub/a.doc",
                                                   "sub/deeper/e.doc"}));
        dialogs.answerFolder(inside);
        QTest::mouseClick(dialog.targetButton, Qt::LeftButton);
        QTest::mouseClick(dialog.startButton, Qt::LeftButton);
    });
    click(main->fileMenu, main->batchAction);
    ASSERT_TRUE(waitForJobs(windows.mediator()));
    EXPECT_EQ(QSettings(QStringLiteral("quillpg"), QStringLiteral("quillpg"))
                  .value(QStringLiteral("Options/IncludeSubfolders"))
                  .toString(),
              "1");
    EXPECT_EQ(
        server->savedPages,
        (QStringList{inside + "/a.htm", inside + "/b.htm", inside + "/c.htm", inside + "/d.htm",
                     inside + "/sub/a.htm", inside + "/sub/deeper/e.htm"}));
    EXPECT_TRUE(QFile::exists(inside + "/sub/deeper/e.htm"));
    EXPECT_EQ(main->statusText(), "6 converted, 0 failed");
}

} // namespace
} // namespace qp::test
