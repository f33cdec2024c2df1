#pragma once

// Shared by the window tests: driving modal dialogs from inside their own
// event loops, clicking menu items, and a fixture that checks that no window
// is left open.

#include "FakeWordServer.h"
#include "JobWait.h"
#include "LoopEngine.h"
#include "QtPrinters.h"
#include "ScriptedDialogs.h"
#include "StubPrograms.h"
#include "TestFiles.h"

#include "ui/AboutDialog.h"
#include "ui/Application.h"
#include "ui/BatchDialog.h"
#include "ui/DocumentListView.h"
#include "ui/ExtensionListDialog.h"
#include "ui/JobStatusArea.h"
#include "ui/LinkLabel.h"
#include "ui/Links.h"
#include "ui/MainWindow.h"
#include "ui/QtDialogProvider.h"
#include "ui/QuickStartDialog.h"
#include "ui/SettingsDialog.h"
#include "ui/Startup.h"
#include "ui/WidgetWindows.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>

namespace qp::test {

// Runs the action once a window of type W is the active modal window; called
// before the code that opens it with exec(). A dialog that never appears
// fails the test and is rejected so that the test cannot hang.
template <class W> void whenModal(std::function<void(W&)> action) {
    auto* timer = new QTimer();
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, action] {
        QWidget* modal = QApplication::activeModalWidget();
        W* window = qobject_cast<W*>(modal);
        const bool found = window && window->isVisible();
        if (!found && ++*tries <= 4000)
            return;
        timer->deleteLater();
        timer->stop();
        if (found)
            return action(*window);
        ADD_FAILURE() << "the modal window never came up";
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    });
    timer->start(5);
}

// Clicks a menu item as the user does: the menu title in the menu bar, then
// the item in the menu that drops down.
inline void clickMenu(QMenuBar* bar, QMenu* menu, QAction* item) {
    ASSERT_TRUE(bar->isVisible());
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    ASSERT_TRUE(item->isEnabled()) << item->text().toStdString() << " is disabled";
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

// The names the Batch Documents dialog lists as found.
inline QStringList foundNames(const BatchDialog& dialog) {
    QStringList names;
    for (int i = 0; i < dialog.foundList->count(); ++i)
        names << dialog.foundList->item(i)->text();
    return names;
}

// The window becomes the active one, as when the window manager hands it the
// focus.
inline void activate(QWidget* window) {
    window->windowHandle()->requestActivate();
    ASSERT_TRUE(QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }));
}

// The object names of the visible windows other than menus.
inline QStringList visibleWindows() {
    QStringList names;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && !window->inherits("QMenu"))
            names << window->objectName();
    return names;
}

// A fresh fake word processor, scripted dialogs, the windows and their
// Mediator over them, an empty settings store, an end handler that only
// counts, and a folder to work in. On tear-down no window other than the main
// window may be visible.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(work.isValid());
        server = FakeWordServer::install();
        // Documents convert on this thread, from its event loop, so that the
        // fake word processor's callbacks may look at the windows.
        windows.mediator().setEngineMaker(
            [](const ObjectRef& word) { return std::make_unique<LoopEngine>(word); });
        QSettings(QStringLiteral("quillpg"), QStringLiteral("quillpg")).clear();
        previousEnd = setEndHandler([this] { ++ended; });
        // A dialog that a fault leaves open would block the test for good.
        QObject::connect(&watchdog, &QTimer::timeout, [this] {
            watchdog.setInterval(100);
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ADD_FAILURE() << "modal window stuck open: " << dialog->objectName().toStdString();
                dialog->reject();
            }
        });
        watchdog.start(30000);
    }

    void TearDown() override {
        watchdog.stop();
        for (const QString& name : visibleWindows())
            if (name != QLatin1String("Form2"))
                ADD_FAILURE() << "window left open: " << name.toStdString();
        windows.unloadAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        setEndHandler(previousEnd);
        AutomationRuntime::unregisterServer(QStringLiteral("Word.Application"));
    }

    // Starts the application and leaves the Quick Start dialog with "Cancel".
    void startIdle() {
        whenModal<QuickStartDialog>(
            [](QuickStartDialog& quickStart) { quickStart.cancelButton->click(); });
        ASSERT_TRUE(startUp(windows));
    }

    QString path(const QString& name) const { return QDir(work.path()).filePath(name); }

    DocumentListView& list() { return windows.mainWindow().documentList(); }

    // File -> Batch: the folders "in" and "out" chosen through the scripted
    // folder browser, then "Start"; returns when the batch has run.
    void batch() {
        MainWindow& main = windows.mainWindow();
        whenModal<BatchDialog>([&](BatchDialog& dialog) {
            dialogs.answerFolder(in);
            QTest::mouseClick(dialog.sourceButton, Qt::LeftButton);
            dialogs.answerFolder(out);
            QTest::mouseClick(dialog.targetButton, Qt::LeftButton);
            QTest::mouseClick(dialog.startButton, Qt::LeftButton);
        });
        clickMenu(main.menuBar(), main.fileMenu, main.batchAction);
        ASSERT_TRUE(waitForJobs(windows.mediator()));
    }

    QTemporaryDir work;
    const QString in = path("in");
    const QString out = path("out");
    std::shared_ptr<FakeWordServer> server;
    ScriptedDialogs dialogs;
    WidgetWindows windows{dialogs};
    int ended = 0;

private:
    std::function<void()> previousEnd;
    QTimer watchdog;
};

} // namespace qp::test
