#pragma once

// Shared by the window tests: driving modal dialogs from inside their own
// event loops, clicking menu items, and a fixture that checks that no window
// is left open.

#include "FakeWordServer.h"
#include "ScriptedDialogs.h"

#include "platform/automation/AutomationRuntime.h"
#include "ui/Application.h"
#include "ui/Startup.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace qp::test {

// Runs the action once a window of type W (with the object name, when given)
// is the active modal window; called before the code that opens it with
// exec(). A dialog that never appears fails the test and its modal window is
// rejected so that the test cannot hang.
template <class W> void whenModal(std::function<void(W&)> action, const QString& name = {}) {
    auto* timer = new QTimer();
    timer->setInterval(5);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, action, name] {
        QWidget* modal = QApplication::activeModalWidget();
        W* window = qobject_cast<W*>(modal);
        if (window && window->isVisible() && (name.isEmpty() || window->objectName() == name)) {
            timer->stop();
            timer->deleteLater();
            action(*window);
            return;
        }
        if (++*tries > 4000) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "the modal window " << name.toStdString() << " never came up";
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
        }
    });
    timer->start();
}

// Clicks a menu item as the user does: the menu title in the menu bar, then
// the item in the menu that drops down.
inline void clickMenu(QMenuBar* bar, QMenu* menu, QAction* item) {
    ASSERT_TRUE(bar->isVisible());
    const QRect title = bar->actionGeometry(menu->menuAction());
    QTest::mouseClick(bar, Qt::LeftButton, {}, title.center());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    ASSERT_TRUE(item->isEnabled()) << item->text().toStdString() << " is disabled";
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

inline void writeFile(const QString& path, const QByteArray& content = "document") {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

inline void clearSettings() {
    QSettings settings(QStringLiteral("quillpg"), QStringLiteral("quillpg"));
    settings.clear();
    settings.sync();
}

inline void storeSettingText(const QString& text) {
    QSettings settings(QStringLiteral("quillpg"), QStringLiteral("quillpg"));
    settings.setValue(QStringLiteral("Options/Filter"), text);
    settings.sync();
}

// A fresh fake word processor, scripted dialogs, an empty settings store, an
// end handler that only counts, and a folder to work in. On tear-down no
// window other than the ones the test named may be visible.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(work.isValid());
        server = FakeWordServer::install();
        clearSettings();
        previousEnd = setEndHandler([this] { ++ended; });
        // A dialog that a fault leaves open would block the test for good;
        // the watchdog fails the test and closes it.
        watchdog.setInterval(30000);
        QObject::connect(&watchdog, &QTimer::timeout, [this] {
            watchdog.setInterval(100);
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ADD_FAILURE() << "modal window stuck open: " << dialog->objectName().toStdString();
                dialog->reject();
            }
        });
        watchdog.start();
    }

    void TearDown() override {
        watchdog.stop();
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (!window->isVisible() || window->inherits("QMenu"))
                continue;
            const QString name = window->objectName();
            if (!expectedVisible.contains(name))
                ADD_FAILURE() << "window left open: " << name.toStdString() << " \""
                              << window->windowTitle().toStdString() << "\"";
        }
        releaseApplication();
        // Deferred deletions of unloaded dialogs.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        setEndHandler(previousEnd);
        AutomationRuntime::unregisterServer(QStringLiteral("Word.Application"));
    }

    QString path(const QString& name) const { return QDir(work.path()).filePath(name); }

    QTemporaryDir work;
    std::shared_ptr<FakeWordServer> server;
    ScriptedDialogs dialogs;
    int ended = 0;
    // Windows that may stay visible after the test (by object name).
    QStringList expectedVisible{QStringLiteral("Form2")};

private:
    std::function<void()> previousEnd;
    QTimer watchdog;
};

} // namespace qp::test
