#pragma once

#include "jobs/Controls.h"

#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qp {

// The Extension manager: holds the list of extensions that count as
// documents (extensionBox) and lets the user edit it. The list lives only in this
// window and is never saved; loading the window puts "doc" into it.
//
// One instance per run, created and loaded (hidden) on first touch. "Exit"
// only hides it, so the list keeps its entries; closing it from the title bar
// unloads it, and the next reader gets a fresh instance holding "doc" alone.
// When shown it is modeless and has no owner window.
class ExtensionListDialog : public QDialog, public ExtensionList {
    Q_OBJECT
public:
    // The single instance, created and loaded hidden when there is none.
    static ExtensionListDialog& instance();
    // The extension list as the filter chain reads it: every call goes to
    // the current instance (loading a fresh one after an unload), so a
    // reference to it never dangles.
    static ExtensionList& extensionList();
    // Shows the window modeless, without an owner.
    static void showManager();
    // Destroys the instance at once, if there is one (tests, shutdown).
    static void unloadInstance();
    // While a job runs the list must not change under it: the window is
    // disabled, and its close box only hides it, keeping the list.
    static void setBusy(bool busy);

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
    ExtensionListDialog();
    ~ExtensionListDialog() override;

    void Form_Load();
    void onAdd();
    void onRemove();
    void onExit();

    static ExtensionListDialog* current_;
    static bool busy_;
};

} // namespace qp
