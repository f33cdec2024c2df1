#include "PageActions.h"

#include "AboutLink.h"
#include "DocumentListView.h"
#include "Handler.h"
#include "desktop/Dialogs.h"
#include "desktop/FileManager.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QUrl>

namespace qp {

PageActions::PageActions(DocumentListView& list, DialogProvider& dialogs)
    : QObject(&list), list_(list), dialogs_(dialogs) {
    list.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& point) { showMenu(point); });
    list.installEventFilter(this);
    connect(&list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const QString key = DocumentListView::keyOf(item);
        if (!list_.page(key).isEmpty())
            openPage(key);
    });
}

QList<QAction*> PageActions::actionsFor(const QString& key, QObject* parent) {
    const bool converted = !list_.page(key).isEmpty();
    QList<QAction*> actions;
    auto add = [&](const QString& text, bool enabled, void (PageActions::*act)(const QString&)) {
        auto* action = new QAction(text, parent);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, [this, key, act] { (this->*act)(key); });
        actions << action;
    };
    add(QStringLiteral("&Open Page"), converted, &PageActions::openPage);
    add(QStringLiteral("&Show in Folder"), converted, &PageActions::showInFolder);
    if (list_.status(key) == QLatin1String("Failed"))
        add(QStringLiteral("&Copy Reason"), true, &PageActions::copyReason);
    return actions;
}

void PageActions::showMenu(const QPoint& point) {
    const QString key = list_.keyAt(point);
    if (key.isEmpty())
        return;
    QMenu menu(&list_);
    menu.setObjectName(QStringLiteral("rowMenu"));
    menu.addActions(actionsFor(key, &menu));
    menu.exec(list_.viewport()->mapToGlobal(point));
}

bool PageActions::eventFilter(QObject* watched, QEvent* event) {
    // Shift+F10 and the Menu key open the menu of the current row, below it;
    // so does a context menu that the window system asks for from the
    // keyboard, which would otherwise open over the row in the list's middle.
    bool fromKeyboard = false;
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        fromKeyboard = key->key() == Qt::Key_Menu ||
                       (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier);
    } else if (event->type() == QEvent::ContextMenu) {
        fromKeyboard =
            static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
    }
    if (watched != &list_ || !fromKeyboard)
        return QObject::eventFilter(watched, event);
    if (QTreeWidgetItem* item = list_.currentItem()) {
        list_.scrollToItem(item);
        const QRect row = list_.visualItemRect(item);
        showMenu(QPoint(row.left() + row.height(), row.bottom()));
    }
    return true;
}

void PageActions::openPage(const QString& key) {
    const QString page = list_.page(key);
    if (page.isEmpty())
        return;
    QWidget* owner = list_.window();
    runHandler(dialogs_, owner,
               [&] { openWebLink(dialogs_, owner, QUrl::fromLocalFile(page).toString()); });
}

void PageActions::showInFolder(const QString& key) {
    const QString page = list_.page(key);
    if (page.isEmpty())
        return;
    showFolder(QFileInfo(page).absolutePath());
}

void PageActions::showFolder(const QString& folder) {
    QWidget* owner = list_.window();
    switch (FileManager::showFolder(folder)) {
    case FileManager::Result::Started:
        break;
    case FileManager::Result::NoFileManager:
        Dialogs::message(
            dialogs_,
            QStringLiteral("No file manager is set up to show folders (xdg-open found none)"),
            applicationTitle(), MessageIcon::Exclamation, MessageButtons::Ok, owner);
        break;
    case FileManager::Result::StartFailed:
        Dialogs::message(dialogs_, QStringLiteral("Could not show the folder ") + folder,
                         applicationTitle(), MessageIcon::Exclamation, MessageButtons::Ok, owner);
        break;
    }
}

void PageActions::copyReason(const QString& key) {
    QGuiApplication::clipboard()->setText(list_.detail(key));
}

} // namespace qp
