// What a desktop user reaches for besides the menus: shortcuts, the status
// bar's progress and summary, the pages one double-click away, documents or
// folders dropped on the main window, the Extension manager and the About box.

#include "GuiHarness.h"

#include "jobs/ExtensionFilter.h"
#include "ui/PageActions.h"

#include <QClipboard>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>

namespace qp::test {
namespace {

class DesktopHabits : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        startIdle();
        main = &windows.mainWindow();
        activate(main);
        QDir().mkpath(in);
        QDir().mkpath(out);
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
    list().addRow("/in/x.doc", "/in/x.doc");
    QTest::keyClick(main, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(list().rowCount(), 0);
    QTest::keyClick(main, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(ended, 1);
}

TEST_F(DesktopHabits, TheStatusBarShowsProgressDuringTheJobAndTheSummaryAfterIt) {
    makeDocuments(3);
    server->failCall(QStringLiteral("ActiveDocument.SaveAs"), QStringLiteral("doc02.htm"));
    JobStatusArea* status = main->jobStatus;
    auto* line = status->findChild<QLabel*>(QStringLiteral("statusLine"));
    auto* rate = status->findChild<QLabel*>(QStringLiteral("jobRate"));
    QStringList seen;
    server->onCall = [&](const FakeCall& call) {
        if (call.member != QLatin1String("Documents.Open"))
            return;
        EXPECT_TRUE(status->jobRunning() && status->progressBar()->isVisible());
        // The bar catches up by itself for the first document, at once for
        // the others.
        if (status->text().startsWith("Converting 1 "))
            EXPECT_TRUE(QTest::qWaitFor([&] { return line->text() == status->text(); }));
        else
            main->flushUpdates();
        const bool rated =
            rate->text().contains(" documents per second, ") && rate->text().endsWith(" s left");
        seen << QStringLiteral("%1 %2/%3 %4")
                    .arg(line->text())
                    .arg(status->progressBar()->value())
                    .arg(status->progressBar()->maximum())
                    .arg(rated ? "rate" : "no rate");
    };
    batch();
    EXPECT_EQ(seen, (QStringList{"Converting 1 of 3: doc01.doc 0/3 no rate",
                                 "Converting 2 of 3: doc02.doc 1/3 rate",
                                 "Converting 3 of 3: doc03.doc 2/3 rate"}));
    EXPECT_TRUE(line->text().startsWith("2 converted, 1 failed - doc02.doc: "));
    EXPECT_FALSE(status->jobRunning() || status->progressBar()->isVisible());
}

TEST_F(DesktopHabits, AConvertedRowOpensItsPageAndShowsItsFolderAFailedOneCopiesItsReason) {
    PrivateDesktop desktop;
    const QString browser = desktop.installBrowser();
    const QString opener = desktop.installRecorder("xdg-open");
    const QStringList documents = makeDocuments(2);
    server->failCall(QStringLiteral("ActiveDocument.SaveAs"), QStringLiteral("doc02.htm"));
    batch();
    const QString pageUrl = QUrl::fromLocalFile(out + "/doc01.htm").toString();

    // A double-click (a click, then a second press the window system reports
    // as a double-click), then Enter, on the converted row.
    QTreeWidget& view = list();
    const QPoint row = view.visualItemRect(view.topLevelItem(1)).center();
    ASSERT_EQ(list().keyAt(row), documents[0]);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, row);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, row);
    EXPECT_EQ(PrivateDesktop::waitForRecord(browser), QStringList{pageUrl});
    QFile::remove(browser);
    view.setCurrentItem(view.topLevelItem(1));
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(PrivateDesktop::waitForRecord(browser), QStringList{pageUrl});

    // The row's menu: its items for each row.
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
}

TEST_F(DesktopHabits, ADroppedDocumentFolderOrSetOfDocumentsStartsItsJob) {
    const QStringList documents = makeDocuments(2);
    // One document: the single-document job, its page proposed beside it.
    dialogs.answerFile(in + "/doc01.htm");
    ASSERT_TRUE(drop({documents[0]}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return list().status(documents[0]) == "Converted"; }));
    ASSERT_EQ(dialogs.files.size(), 1u);
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

    // Several documents: a batch of exactly those, into the folder asked for.
    dialogs.reset();
    dialogs.answerFolder(out);
    ASSERT_TRUE(drop(documents));
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->statusText() == "2 converted, 0 failed"; }));
    EXPECT_EQ(server->savedPages.mid(1), QStringList({out + "/doc01.htm", out + "/doc02.htm"}));

    // A folder among other things is not taken.
    EXPECT_FALSE(drop({documents[0], in}));
}

TEST_F(DesktopHabits, TheExtensionManagerAddsOnEnterRemovesTheSelectionAndExitKeepsTheList) {
    QPointer<ExtensionListDialog> manager = &windows.extensionListDialog();
    ExtensionFilter chain(windows.extensionList()); // built before the list is reloaded
    QString rtf = QStringLiteral("rtf");
    auto entries = [](const ExtensionListDialog& dialog) {
        QStringList texts;
        for (int i = 0; i < dialog.listCount(); ++i)
            texts << dialog.list(i);
        return texts;
    };
    QListWidget* box = manager->extensionBox;
    auto clickRow = [box](int row, Qt::KeyboardModifiers keys = {}) {
        QTest::mouseClick(box->viewport(), Qt::LeftButton, keys,
                          box->visualItemRect(box->item(row)).center());
    };
    manager->showManager();
    ASSERT_TRUE(QTest::qWaitForWindowActive(manager));
    // Enter adds the text as typed; an empty text adds nothing.
    for (const char* text : {"DOC", ".doc", "rtf", ""}) {
        manager->extensionEdit->clear();
        QTest::keyClicks(manager->extensionEdit, text);
        QTest::keyClick(manager->extensionEdit, Qt::Key_Return);
    }
    EXPECT_EQ(entries(*manager), (QStringList{"doc", "DOC", ".doc", "rtf"}));
    EXPECT_TRUE(manager->isVisible());
    // Remove with no row selected (none is current when the list takes the
    // focus) is refused.
    box->setFocus();
    EXPECT_EQ(box->currentRow(), -1);
    dialogs.answerMessage(MessageAnswer::Ok);
    QTest::mouseClick(manager->removeButton, Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "You did not select an extension to remove.");
    // Remove takes every selected row.
    clickRow(0);
    clickRow(2, Qt::ControlModifier);
    QTest::mouseClick(manager->removeButton, Qt::LeftButton);
    EXPECT_EQ(entries(*manager), (QStringList{"DOC", "rtf"}));
    // Exit hides it and keeps the list; the close box unloads it, and the
    // list loads afresh.
    QTest::mouseClick(manager->exitButton, Qt::LeftButton);
    EXPECT_FALSE(manager->isVisible());
    EXPECT_TRUE(chain.accepts(rtf));
    manager->show();
    EXPECT_TRUE(manager->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(manager.isNull());
    EXPECT_EQ(entries(windows.extensionListDialog()), QStringList{"doc"});
    EXPECT_FALSE(chain.accepts(rtf));
}

TEST_F(DesktopHabits, InfoShowsOneModelessBoxWhoseLinkAndSystemInfoStartTheirProgramOrSayWhyNot) {
    PrivateDesktop desktop; // no xdg-mime on PATH: nothing opens web pages
    auto show = [this]() -> AboutDialog& {
        windows.aboutDialog().showBox();
        return *windows.loaded<AboutDialog>();
    };
    // Clicks the widget and expects the one message box, owned by the box.
    auto expectMessage = [&](QWidget* widget, const char* text, const char* title,
                             MessageIcon icon) {
        dialogs.reset();
        dialogs.answerMessage(MessageAnswer::Ok);
        QTest::mouseClick(widget, Qt::LeftButton);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        const MessageRequest& message = dialogs.messages[0];
        EXPECT_EQ(QStringList({message.text, message.title}), QStringList({text, title}));
        EXPECT_EQ(message.icon, icon);
        EXPECT_EQ(message.owner, static_cast<const QObject*>(windows.loaded<AboutDialog>()));
    };
    AboutDialog& first = show();
    EXPECT_EQ(first.versionLabel->text(), "Version " QUILLPG_VERSION);
    EXPECT_EQ(&show(), &first);
    // Enter or Escape on the focused OK, and the close box, unload it.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_unknown}) {
        AboutDialog& box = show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
        ASSERT_EQ(QApplication::focusWidget(), box.okButton);
        key == Qt::Key_unknown ? void(box.close()) : QTest::keyClick(box.okButton, key);
        EXPECT_EQ(windows.loaded<AboutDialog>(), nullptr) << key;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    expectMessage(show().Label3, "Could not find associated Browser", "Browser Not Found",
                  MessageIcon::Exclamation);
    const QString browser = desktop.installBrowser();
    QTest::mouseClick(show().Label3, Qt::LeftButton);
    EXPECT_EQ(PrivateDesktop::waitForRecord(browser), QStringList{Links::productPage()});
    writeFile(desktop.bin() + "/stub-browser", "#!/nonexistent/interpreter\n");
    expectMessage(show().Label3, "Web Page not Opened", "URL Failed", MessageIcon::Exclamation);

    desktop.setEnvironment("PATH", QString());
    expectMessage(show().systemInfoButton, "System Information Is Unavailable At This Time",
                  "Quillpage - HTML", MessageIcon::None);
    desktop.setEnvironment("PATH", desktop.bin());
    const QString tool = desktop.installRecorder("kinfocenter");
    QTest::mouseClick(show().systemInfoButton, Qt::LeftButton);
    EXPECT_EQ(PrivateDesktop::waitForRecord(tool), QStringList());
    show().close();
}

} // namespace
} // namespace qp::test
