#pragma once

#include "jobs/Controls.h"

#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qp {

class WidgetWindows;

// The Extension manager: shows the job settings' list of extensions that
// count as documents (extensionBox), also when it changes while the window is
// loaded, and lets the user edit it. The list is never saved, and it goes with
// the window: closing the window from the title bar puts the settings back to
// "doc" alone.
//
// One window at a time, made and loaded (hidden) by its WidgetWindows on
// first touch. "Exit" only hides it, so the list keeps its entries; closing it
// from the title bar unloads it. When shown it is modeless and has no owner window.
// While a job runs it is disabled, and its close box only hides it, keeping
// the list.
class ExtensionListDialog : public QDialog, public ExtensionList {
    Q_OBJECT
public:
    // Shows the window modeless, without an owner.
    void showManager();

    // ExtensionList over extensionBox, which shows the settings' list.
    int listCount() const override;
    QString list(int index) const override;

    QFrame* Frame1;
    QListWidget* extensionBox;
    QFrame* Frame2;
    QPushButton* addButton;
    QPushButton* removeButton;
    QLabel* Label2;
    QLineEdit* extensionEdit;
    QPushButton* exitButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    friend class WidgetWindows;
    explicit ExtensionListDialog(WidgetWindows& windows);
    ~ExtensionListDialog() override;

    void Form_Load();
    // Fills the box with the list, unless it already shows it.
    void showExtensions(const QStringList& extensions);
    // The entries of the box, in order.
    QStringList entries() const;
    void onAdd();
    void onRemove();
    void onExit();

    WidgetWindows& windows_;
};

} // namespace qp
