#pragma once

#include <QObject>

#include <QList>

class QAction;
class QPoint;

namespace qp {

class DialogProvider;
class DocumentListView;

// What the user can do with a row of the document list: a double-click or
// Enter on a converted row opens its page in the desktop's web browser; the
// context menu offers "Open Page" and "Show in Folder" (the page's folder in
// the desktop's file manager) for converted rows and "Copy Reason" for
// failed ones. Shift+F10 and the Menu key open the current row's menu.
class PageActions : public QObject {
    Q_OBJECT
public:
    // Its messages are asked of the given dialogs.
    PageActions(DocumentListView& list, DialogProvider& dialogs);

    // The context menu's actions for the row, owned by the given parent.
    QList<QAction*> actionsFor(const QString& key, QObject* parent);

    void openPage(const QString& key);
    void showInFolder(const QString& key);
    void copyReason(const QString& key);
    // Shows the folder in the desktop's file manager, or says why it cannot.
    void showFolder(const QString& folder);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showMenu(const QPoint& point);

    DocumentListView& list_;
    DialogProvider& dialogs_;
};

} // namespace qp
