// What a desktop user reaches for besides the menus: shortcuts, the
// keyboard in the dialogs, the permanent progress and summary in the status
// bar, the pages one double-click away, and documents or folders dropped on
// the main window.

#include "GuiHarness.h"
#include "QtPrinters.h"
#include "StubPrograms.h"

#include "desktop/Settings.h"
#include "jobs/Mediator.h"
#include "ui/AboutDialog.h"
#include "ui/BatchDialog.h"
#include "ui/DocumentListView.h"
#include "ui/ExtensionListDialog.h"
#include "ui/JobStatusArea.h"
#include "ui/LinkLabel.h"
#include "ui/Links.h"
#include "ui/MainWindow.h"
#include "ui/PageActions.h"
#include "ui/SettingsDialog.h"

#include <QAction>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QRadioButton>
#include <QUrl>
#include <QWindow>

namespace qp::test {
namespace {

class DesktopHabits : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        startIdle();
        main = &windows.mainWindow();
        activateMain();
        QDir().mkpath(in);
        QDir().mkpath(out);
    }

    // The main window becomes the active one again, as when the window
    // manager hands it the focus after a dialog.
    void activateMain() {
        main->windowHandle()->requestActivate();
        ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == main; }));
    }

    // Documents doc01.doc ... docNN.doc in the folder "in".
    QStringList makeDocuments(int count) {
        QStringList documents;
        for (int i = 1; i <= count; ++i) {
            documents << in + QStringLiteral("/doc%1.doc").arg(i, 2, 10, QLatin1Char('0'));
            writeFile(documents.back());
        }
        return documents;
    }

    // Drops the files on the main window as the file manager does; returns
    // whether the window took them.
    bool drop(const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& file : paths)
            urls << QUrl::fromLocalFile(file);
        data.setUrls(urls);
        const QPoint point = main->documentView->geometry().center();
        QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(main, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(point, Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(main, &dropped);
        return dropped.isAccepted();
    }

    MainWindow* main = nullptr;
};

TEST_F(DesktopHabits, ShortcutsTriggerTheMenuItemsAndShowBesideTheirCaptions) {
    QStringList items;
    QList<QAction*> actions = main->fileMenu->actions();
    for (QAction* action : actions << main->infoAction)
        items << action->text().remove('&') + ' ' + action->shortcut().toString();
    EXPECT_EQ(items,
              (QStringList{"Open Ctrl+O", "Batch Ctrl+B", "Close Ctrl+W", "Stop Esc",
                           "Open Target Folder ", "Save Report\u2026 ", "Exit Ctrl+Q", "Info F1"}));
    dialogs.answerFile(std::nullopt);
    QTest::keyClick(main, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(dialogs.files.size(), 1u);
    bool batchShown = false;
    whenModal<BatchDialog>([&](BatchDialog& dialog) {
        batchShown = true;
        dialog.cancelButton->click();
    });
    QTest::keyClick(main, Qt::Key_B, Qt::ControlModifier);
    EXPECT_TRUE(batchShown);
    list().addRow("/in/x.doc", "/in/x.doc");
    activateMain();
    QTest::keyClick(main, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(list().rowCount(), 0);
    QTest::keyClick(main, Qt::Key_F1);
    ASSERT_NE(windows.loaded<AboutDialog>(), nullptr);
    windows.loaded<AboutDialog>()->okButton->click();
    activateMain();
    QTest::keyClick(main, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(ended, 1);
}

TEST_F(DesktopHabits, TheStatusBarShowsProgressDuringTheJobAndKeepsTheSummaryWhenMenusOpen) {
    makeDocuments(3);
    server->failCall(QStringLiteral("ActiveDocument.SaveAs"), QStringLiteral("doc02.htm"));
    JobStatusArea* status = main->jobStatus;
    auto* line = status->findChild<QLabel*>(QStringLiteral("statusLine"));
    auto* rate = status->findChild<QLabel*>(QStringLiteral("jobRate"));
    QStringList seen;
    server->onCall = [&](const FakeCall& call) {
        if (call.member != QLatin1String("Documents.Open"))
            return;
        EXPECT_TRUE(status->jobRunning());
        EXPECT_TRUE(status->progressBar()->isVisible());
        // What the bar shows once it has caught up with the job, by itself
        // for the first document, at once for the others.
        if (status->text().startsWith("Converting 1 ")) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return line->text() == status->text(); }));
        } else {
            main->flushUpdates();
        }
        seen << QStringLiteral("%1 %2/%3 %4")
                    .arg(line->text())
                    .arg(status->progressBar()->value())
                    .arg(status->progressBar()->maximum())
                    .arg(rate->text().contains(" documents per second, ") &&
                                 rate->text().endsWith(" s left")
                             ? "rate"
                             : "no rate");
    };
    batch();
    EXPECT_EQ(seen, (QStringList{"Converting 1 of 3: doc01.doc 0/3 no rate",
                                 "Converting 2 of 3: doc02.doc 1/3 rate",
                                 "Converting 3 of 3: doc03.doc 2/3 rate"}));
    const QString summary = main->statusText();
    EXPECT_TRUE(summary.startsWith("2 converted, 1 failed - doc02.doc: ")) << summary.toStdString();
    EXPECT_EQ(line->text(), summary);
    EXPECT_FALSE(status->jobRunning());
    EXPECT_FALSE(status->progressBar()->isVisible());

    // Hovering the menus' items clears the status bar's passing messages;
    // the summary stays until the next job.
    QMenuBar* bar = main->menuBar();
    for (QMenu* menu : {main->fileMenu, main->optionsMenu, main->aboutMenu}) {
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          bar->actionGeometry(menu->menuAction()).center());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        for (QAction* action : menu->actions())
            QTest::mouseMove(menu, menu->actionGeometry(action).center());
        QTest::keyClick(menu, Qt::Key_Escape);
        QTest::keyClick(bar, Qt::Key_Escape);
    }
    EXPECT_EQ(main->statusText(), summary);
    EXPECT_TRUE(status->isVisible());
}

TEST_F(DesktopHabits, TheRowBeingConvertedStaysInViewHoweverTheListIsSorted) {
    const QStringList documents = makeDocuments(40);
    // The rows are added in the order of the listing; sorted ascending they
    // come in below the visible part of the list.
    list().sortByColumn(0, Qt::AscendingOrder);
    // The status column as shown.
    auto shownStatus = [&](const QString& document) {
        const QList<QTreeWidgetItem*> rows = list().findItems(document, Qt::MatchExactly);
        return rows.size() == 1 ? rows[0]->text(1) : QString();
    };
    int checked = 0;
    server->onCall = [&](const FakeCall& call) {
        if (call.member != QLatin1String("ActiveDocument.SaveAs"))
            return;
        const QString current = documents.value(checked);
        ++checked;
        main->flushUpdates();
        EXPECT_EQ(shownStatus(current), "Converting...");
        if (checked > 1) {
            EXPECT_EQ(shownStatus(documents[checked - 2]), "Converted");
        }
        EXPECT_TRUE(list().rowInView(current)) << current.toStdString();
        // A click on the status column's header in the middle of the job.
        if (checked == 30)
            QTest::mouseClick(list().header()->viewport(), Qt::LeftButton, {},
                              QPoint(list().header()->sectionViewportPosition(1) + 5, 5));
    };
    batch();
    EXPECT_EQ(checked, 40);
    EXPECT_EQ(list().sortColumn(), 1);
}

TEST_F(DesktopHabits, AConvertedRowOpensItsPageAndShowsItsFolderAFailedOneCopiesItsReason) {
    PrivateDesktop desktop;
    const QString browser = desktop.installBrowser();
    const QString opener = desktop.installRecorder("xdg-open");
    const QStringList documents = makeDocuments(2);
    server->failCall(QStringLiteral("ActiveDocument.SaveAs"), QStringLiteral("doc02.htm"));
    batch();
    ASSERT_EQ(list().status(documents[0]), "Converted");
    ASSERT_EQ(list().status(documents[1]), "Failed");
    const QString pageUrl = QUrl::fromLocalFile(out + "/doc01.htm").toString();

    // A double-click, then Enter, on the converted row.
    QTreeWidget& view = list();
    const QPoint row = view.visualItemRect(view.topLevelItem(1)).center();
    ASSERT_EQ(list().keyAt(row), documents[0]);
    // A double-click is a click and then a second press that the window
    // system reports as a double-click.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, row);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, row);
    EXPECT_EQ(PrivateDesktop::waitForRecord(browser), QStringList{pageUrl});
    QFile::remove(browser);
    view.setCurrentItem(view.topLevelItem(1));
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(PrivateDesktop::waitForRecord(browser), QStringList{pageUrl});
    QFile::remove(browser);

    // The row's menu (the keyboard's way to pop it up over the row is
    // checked with the other keys); its items for each row.
    QObject owner;
    auto items = [&](const QString& document) {
        QStringList texts;
        for (QAction* action : main->pageActions->actionsFor(document, &owner))
            texts << action->text().remove('&') + (action->isEnabled() ? "" : " (off)");
        return texts;
    };
    EXPECT_EQ(items(documents[0]), (QStringList{"Open Page", "Show in Folder"}));
    EXPECT_EQ(items(documents[1]),
              (QStringList{"Open Page (off)", "Show in Folder (off)", "Copy Reason"}));
    main->pageActions->actionsFor(documents[0], &owner).at(1)->trigger();
    EXPECT_EQ(PrivateDesktop::waitForRecord(opener), QStringList{out});
    main->pageActions->actionsFor(documents[1], &owner).at(2)->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), list().detail(documents[1]));
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains("refused ActiveDocument.SaveAs"));

    // A failed row has no page to open.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                      view.visualItemRect(view.topLevelItem(0)).center());
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {},
                       view.visualItemRect(view.topLevelItem(0)).center());
    QTest::qWait(200);
    EXPECT_FALSE(QFile::exists(browser));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(DesktopHabits, ADroppedDocumentFolderOrSetOfDocumentsStartsItsJob) {
    const QStringList documents = makeDocuments(2);

    // One document: the single-document job, its page proposed beside it.
    dialogs.answerFile(in + "/doc01.htm");
    ASSERT_TRUE(drop({documents[0]}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return list().status(documents[0]) == "Converted"; }));
    ASSERT_EQ(dialogs.files.size(), 1u);
    EXPECT_EQ(dialogs.files[0].mode, FileRequest::Mode::Save);
    EXPECT_EQ(dialogs.files[0].fileName, in + "/doc01.htm");
    EXPECT_EQ(server->savedPages, QStringList{in + "/doc01.htm"});

    // A folder: the Batch Documents dialog with it as the source.
    bool shown = false;
    whenModal<BatchDialog>([&](BatchDialog& dialog) {
        shown = true;
        EXPECT_EQ(dialog.sourceFolderEdit->text(), in);
        EXPECT_EQ(dialog.foundList->count(), 2);
        dialog.cancelButton->click();
    });
    ASSERT_TRUE(drop({in}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown; }));
    EXPECT_EQ(windows.mediator().GetSourceFolder(), in);

    // Several documents: a batch of exactly those, into the folder asked for.
    dialogs.reset();
    dialogs.answerFolder(out);
    ASSERT_TRUE(drop(documents));
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->statusText() == "2 converted, 0 failed"; }));
    ASSERT_EQ(dialogs.folders.size(), 1u);
    EXPECT_EQ(dialogs.folders[0].prompt, "Select a Target Folder");
    EXPECT_TRUE(dialogs.files.empty());
    EXPECT_EQ(server->savedPages.mid(1), QStringList({out + "/doc01.htm", out + "/doc02.htm"}));

    // A folder among other things, or nothing local, is not taken.
    EXPECT_FALSE(drop({documents[0], in}));
    EXPECT_FALSE(drop({path("missing.doc")}));
    EXPECT_EQ(server->savedPages.size(), 3);
}

TEST_F(DesktopHabits, TheQuickStartLinkIsReachedWithTabAndOpensWithEnterOrSpace) {
    PrivateDesktop desktop;
    const QString browser = desktop.installBrowser();
    whenModal<QuickStartDialog>([&](QuickStartDialog& quickStart) {
        EXPECT_TRUE(QTest::qWaitForWindowActive(&quickStart));
        quickStart.cancelButton->setFocus();
        QTest::keyClick(quickStart.cancelButton, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), quickStart.Label3);
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
            QTest::keyClick(quickStart.Label3, key);
            EXPECT_EQ(PrivateDesktop::waitForRecord(browser), QStringList{Links::makerHomePage()});
            QFile::remove(browser);
        }
        quickStart.cancelButton->click();
    });
    windows.quickStartDialog().exec();
}

TEST_F(DesktopHabits, TheExtensionManagerAddsOnEnterAndRemovesOnlyWhatIsSelected) {
    ExtensionListDialog& manager = windows.extensionListDialog();
    manager.showManager();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&manager));
    manager.extensionEdit->setFocus();
    QTest::keyClicks(manager.extensionEdit, "rtf");
    QTest::keyClick(manager.extensionEdit, Qt::Key_Return);
    EXPECT_EQ(manager.list(1), "rtf");
    EXPECT_TRUE(manager.isVisible());
    // No entry is current when the list takes the focus, and none selected.
    manager.extensionBox->setFocus();
    EXPECT_EQ(manager.extensionBox->currentRow(), -1);
    dialogs.answerMessage(MessageAnswer::Ok);
    QTest::mouseClick(manager.removeButton, Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "You did not select an extension to remove.");

    // A row made current and then deselected leaves nothing to remove.
    QListWidget* box = manager.extensionBox;
    QTest::mouseClick(box->viewport(), Qt::LeftButton, {},
                      box->visualItemRect(box->item(0)).center());
    QTest::mouseClick(box->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      box->visualItemRect(box->item(0)).center());
    ASSERT_EQ(box->currentRow(), 0);
    dialogs.answerMessage(MessageAnswer::Ok);
    QTest::mouseClick(manager.removeButton, Qt::LeftButton);
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(manager.listCount(), 2);
    manager.hide();
}

} // namespace
} // namespace qp::test
