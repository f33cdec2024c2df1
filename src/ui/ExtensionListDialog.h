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

// The Extension manager: holds the list of extensions that count as
// documents (extensionBox) and lets the user edit it. The list lives only in this
// window and is never saved; loading the window puts "doc" into it.
//
// One window at a time, made and loaded (hidden) by its WidgetWindows on
// first touch. "Exit" only hides it, so the list keeps its entries; closing it
// from the title bar unloads it, and the next reader gets a fresh window
// holding "doc" alone. When shown it is modeless and has no owner window.
// While a job runs it is disabled, and its close box only hides it, keeping
// the list.
class ExtensionListDialog : public QDialog, public ExtensionList {
    Q_OBJECT
public:
    // Shows the window modeless, without an owner.
    void showManager();

    // ExtensionList over extensionBox.
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
    void closeEvent(QCloseEvent* event) override;

private:
    friend class WidgetWindows;
    explicit ExtensionListDialog(WidgetWindows& windows);
    ~ExtensionListDialog() override;

    void Form_Load();
    void onAdd();
    void onRemove();
    void onExit();

    WidgetWindows& windows_;
};

} // namespace qp
