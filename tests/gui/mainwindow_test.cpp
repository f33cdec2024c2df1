// The main window: its menus and buttons, the document list, the status bar,
// the Settings dialog and the end of the program.

#include "GuiHarness.h"

#include "core/Mediator.h"
#include "platform/Settings.h"
#include "platform/automation/AutomationError.h"
#include "ui/DocumentListView.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/frmExtension.h"
#include "ui/frmSettings.h"

#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>

namespace qp::test {
namespace {

class MainWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        whenModal<Form3>(
            [](Form3& quickStart) { QTest::mouseClick(quickStart.btnCancel, Qt::LeftButton); });
        ASSERT_TRUE(startUp());
        main = &Form2::instance();
    }

    void click(QMenu* menu, QAction* item) { clickMenu(main->menuBar(), menu, item); }

    // File -> Open with the document; the save dialog answers the page path
    // (nothing to cancel it).
    void open(const QString& document, std::optional<QString> page) {
        dialogs.answerFile(document);
        dialogs.answerFile(page);
        click(main->mnuFile, main->mnuOpen);
    }

    // The FileFormat that the last SaveAs passed.
    int lastSavedFormat() const {
        for (auto call = server->calls.rbegin(); call != server->calls.rend(); ++call)
            if (call->member.endsWith(QLatin1String("SaveAs")))
                for (const Argument& argument : call->arguments)
                    if (argument.name == QLatin1String("FileFormat"))
                        return argument.value.toInt();
        return -1;
    }

    // Options -> Settings; the action runs inside the modal dialog.
    void settingsDialog(std::function<void(frmSettings&)> action) {
        whenModal<frmSettings>(std::move(action));
        click(main->mnuSettings, main->mnuMacroRun);
    }

    DocumentListView& list() { return main->documentList(); }

    Form2* main = nullptr;
};

TEST_F(MainWindowTest, CarriesItsCaptionsAndAFixedSize) {
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Quillpage - Word to HTML"));
    EXPECT_EQ(main->minimumSize(), main->maximumSize());
    EXPECT_EQ(main->centralWidget()->width(), 766);
    QStringList menus;
    for (QMenu* menu : {main->mnuFile, main->mnuSettings, main->mnuAbout}) {
        QStringList items;
        for (QAction* action : menu->actions())
            items << action->text();
        menus << menu->title() + ": " + items.join(", ");
    }
    EXPECT_EQ(menus, (QStringList{"&File: Open, Batch, Close, Exit",
                                  "Options: Settings, Extensions...", "About: Info"}));
    EXPECT_EQ(list().headerItem()->text(0), QStringLiteral("File Name:"));
    EXPECT_EQ(list().headerItem()->text(1), QStringLiteral("Status:"));
    EXPECT_EQ(main->Next->text(), QStringLiteral("Next Document"));
    EXPECT_EQ(main->btnExit->text(), QStringLiteral("Exit"));
}

TEST_F(MainWindowTest, OpenSavesThePageAtTheProposedPathInTheStoredFormat) {
    const QString document = path(QStringLiteral("Report.final.doc"));
    const QString proposal = path(QStringLiteral("Report.final.htm"));
    writeFile(document);
    open(document, proposal);

    ASSERT_EQ(dialogs.files.size(), 2u);
    EXPECT_EQ(dialogs.files[0].mode, FileRequest::Mode::Open);
    EXPECT_EQ(dialogs.files[0].filter, QStringLiteral("All WordPerfect documents (*.doc)|*.DOC"));
    EXPECT_EQ(dialogs.files[0].flags, 4096);
    EXPECT_EQ(dialogs.files[0].owner, main);
    EXPECT_EQ(dialogs.files[1].mode, FileRequest::Mode::Save);
    EXPECT_EQ(dialogs.files[1].fileName, proposal);
    EXPECT_TRUE(QFile::exists(proposal));
    EXPECT_EQ(lastSavedFormat(), 8);
    EXPECT_EQ(list().status(document), QStringLiteral("Converted"));
    EXPECT_EQ(list().subItems(document), (QStringList{"Converted", "Converting..."}));
    EXPECT_FALSE(main->Next->isVisible());
    EXPECT_EQ(main->statusText(), QStringLiteral("1 converted, 0 failed"));

    // Filtered, chosen in the Settings dialog, holds for the next document.
    settingsDialog([](frmSettings& settings) {
        QTest::mouseClick(settings.optFiltered, Qt::LeftButton);
        QTest::mouseClick(settings.btnOK, Qt::LeftButton);
    });
    dialogs.reset();
    open(document, proposal);
    EXPECT_EQ(lastSavedFormat(), 10);
    EXPECT_EQ(server->savedPages, (QStringList{proposal, proposal}));
}

TEST_F(MainWindowTest, OpenSavesThePageAtTheChosenPath) {
    const QString document = path(QStringLiteral("a.doc"));
    writeFile(document);
    QDir().mkpath(path(QStringLiteral("pages")));
    const QString chosen = path(QStringLiteral("pages/other.htm"));
    open(document, chosen);
    EXPECT_TRUE(QFile::exists(chosen));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("a.htm"))));
    EXPECT_EQ(list().status(document), QStringLiteral("Converted"));
}

TEST_F(MainWindowTest, CancellingTheOpenOrTheSaveDialogConvertsNothing) {
    dialogs.answerFile(std::nullopt);
    click(main->mnuFile, main->mnuOpen);
    EXPECT_EQ(list().rowCount(), 0);
    // The single-document mode is selected before the dialog opens.
    EXPECT_FALSE(main->Next->isVisible());

    const QString document = path(QStringLiteral("a.doc"));
    writeFile(document);
    open(document, std::nullopt);
    EXPECT_EQ(list().status(document), QStringLiteral("Cancelled"));
    EXPECT_TRUE(server->calls.empty());
    EXPECT_TRUE(server->savedPages.isEmpty());
    EXPECT_FALSE(main->isBusy());
    EXPECT_TRUE(main->mnuOpen->isEnabled());
}

TEST_F(MainWindowTest, ADocumentOutsideTheExtensionListIsNotConverted) {
    const QString notes = path(QStringLiteral("notes.txt"));
    writeFile(notes);
    dialogs.answerFile(notes);
    click(main->mnuFile, main->mnuOpen);
    EXPECT_EQ(dialogs.files.size(), 1u);
    EXPECT_EQ(list().rowCount(), 0);
    EXPECT_TRUE(server->calls.empty());
}

TEST_F(MainWindowTest, AFailingDocumentIsMarkedFailedWithItsReason) {
    const QString document = path(QStringLiteral("broken.doc"));
    writeFile(document);
    server->failCall(QStringLiteral("Documents.Open"));
    open(document, path(QStringLiteral("broken.htm")));
    EXPECT_EQ(list().status(document), QStringLiteral("Failed"));
    EXPECT_TRUE(list().detail(document).contains(QStringLiteral("refused Documents.Open")));
    EXPECT_TRUE(main->statusText().contains(QStringLiteral("refused Documents.Open")))
        << main->statusText().toStdString();
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("broken.htm"))));
}

TEST_F(MainWindowTest, NothingCanStartASecondJobWhileOneRuns) {
    const QString document = path(QStringLiteral("a.doc"));
    writeFile(document);
    bool checked = false;
    server->onCall = [&](const FakeCall& call) {
        if (call.member != QLatin1String("Documents.Open"))
            return;
        checked = true;
        EXPECT_FALSE(main->mnuOpen->isEnabled());
        EXPECT_FALSE(main->mnuBatch->isEnabled());
        EXPECT_FALSE(main->Next->isEnabled());
        EXPECT_FALSE(Form3::instance().btnSingle->isEnabled());
        EXPECT_FALSE(Form3::instance().btnBatch->isEnabled());
        EXPECT_TRUE(main->btnExit->isEnabled());
        EXPECT_TRUE(main->mnuExit->isEnabled());
        EXPECT_EQ(main->statusText(), QStringLiteral("Converting 1 of 1: a.doc"));
    };
    open(document, path(QStringLiteral("a.htm")));
    EXPECT_TRUE(checked);
    EXPECT_TRUE(main->mnuOpen->isEnabled());
    EXPECT_TRUE(main->mnuBatch->isEnabled());
    EXPECT_TRUE(Form3::instance().btnSingle->isEnabled());
}

TEST_F(MainWindowTest, RowsShowInDescendingOrderKeyedByPath) {
    list().addRow("/in/b.doc", "/in/b.doc");
    list().addRow("/in/c.doc", "/in/c.doc");
    list().addRow("/in/A.doc", "/in/A.doc");
    EXPECT_EQ(list().shownKeys(), (QStringList{"/in/c.doc", "/in/b.doc", "/in/A.doc"}));
    try {
        list().addRow("/in/b.doc", "/in/b.doc");
        ADD_FAILURE() << "a second row with the same key was added";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::KeyNotUnique);
    }
    list().insertStatus("/in/b.doc", "Converting...");
    list().insertStatus("/in/b.doc", "Converted");
    EXPECT_EQ(list().topLevelItem(1)->text(1), QStringLiteral("Converted"));
    EXPECT_THROW(list().insertStatus("/in/none.doc", "Converted"), AutomationError);
    EXPECT_EQ(list().rowCount(), 3);
}

TEST_F(MainWindowTest, CloseEmptiesTheListAndIsHarmlessWhenItIsEmpty) {
    click(main->mnuFile, main->mnuClose);
    EXPECT_EQ(list().rowCount(), 0);
    const QString document = path(QStringLiteral("a.doc"));
    writeFile(document);
    open(document, path(QStringLiteral("a.htm")));
    ASSERT_EQ(list().rowCount(), 1);
    click(main->mnuFile, main->mnuClose);
    EXPECT_EQ(list().rowCount(), 0);
}

TEST_F(MainWindowTest, NextDocumentWhileIdleDoesNothing) {
    QTest::mouseClick(main->Next, Qt::LeftButton);
    EXPECT_TRUE(server->calls.empty());
    EXPECT_EQ(list().rowCount(), 0);
}

TEST_F(MainWindowTest, ExitTheExitMenuAndTheCloseBoxEndTheProgramRunningTheHooks) {
    int hooks = 0;
    addShutdownHook([&] { ++hooks; });
    QTest::mouseClick(main->btnExit, Qt::LeftButton);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(hooks, 1);
    click(main->mnuFile, main->mnuExit);
    EXPECT_EQ(ended, 2);
    main->close();
    EXPECT_EQ(ended, 3);
    // Hooks run once, on the first end.
    EXPECT_EQ(hooks, 1);
}

TEST_F(MainWindowTest, ExtensionsMenuShowsTheExtensionManagerModeless) {
    click(main->mnuSettings, main->mnuExtensions);
    EXPECT_TRUE(frmExtension::instance().isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    frmExtension::instance().hide();
}

TEST_F(MainWindowTest, SettingsOkStoresTheChoiceAndCancelDoesNot) {
    settingsDialog([&](frmSettings& settings) {
        EXPECT_EQ(settings.parentWidget(), main);
        EXPECT_EQ(settings.windowTitle(), QStringLiteral("Settings"));
        EXPECT_TRUE(settings.optNotFiltered->isChecked());
        EXPECT_EQ(settings.btnOK->nextInFocusChain(), settings.btnCancel);
        QTest::mouseClick(settings.optFiltered, Qt::LeftButton);
        QTest::mouseClick(settings.btnCancel, Qt::LeftButton);
    });
    EXPECT_EQ(frmSettings::loadedInstance(), nullptr);
    EXPECT_EQ(storedFilterText(), QStringLiteral("0"));

    settingsDialog([](frmSettings& settings) {
        EXPECT_TRUE(settings.optNotFiltered->isChecked());
        QTest::mouseClick(settings.optFiltered, Qt::LeftButton);
        QTest::mouseClick(settings.btnOK, Qt::LeftButton);
    });
    EXPECT_EQ(frmSettings::loadedInstance(), nullptr);
    EXPECT_EQ(storedFilterText(), QStringLiteral("1"));

    settingsDialog([](frmSettings& settings) {
        EXPECT_TRUE(settings.optFiltered->isChecked());
        settings.close();
    });
    EXPECT_EQ(storedFilterText(), QStringLiteral("1"));
}

TEST_F(MainWindowTest, AStoredTwoCountsAsFilteredAndOkRewritesItAsOne) {
    storeSettingText(QStringLiteral("2"));
    settingsDialog([](frmSettings& settings) {
        EXPECT_TRUE(settings.optFiltered->isChecked());
        EXPECT_FALSE(settings.optNotFiltered->isChecked());
        QTest::mouseClick(settings.btnOK, Qt::LeftButton);
    });
    EXPECT_EQ(storedFilterText(), QStringLiteral("1"));

    // A text that is no number counts as Not Filtered.
    storeSettingText(QStringLiteral("yes"));
    EXPECT_FALSE(storedFiltered());
    settingsDialog([](frmSettings& settings) {
        EXPECT_TRUE(settings.optNotFiltered->isChecked());
        QTest::mouseClick(settings.btnCancel, Qt::LeftButton);
    });
    EXPECT_EQ(storedFilterText(), QStringLiteral("yes"));
}

} // namespace
} // namespace qp::test
