#pragma once

#include <QString>
#include <QStringList>

class QObject;

namespace qp {

class DialogProvider;

// The common file dialog: file name, filter, flags and the switch that makes
// a cancel raise an error (DialogCancelled, "Cancel was selected."). Shown
// through the dialog seam.
class CommonDialog {
public:
    // Flags: the chosen file must exist; the open dialog lets the user choose
    // several files.
    static constexpr int FileMustExist = 4096;
    static constexpr int AllowMultiSelect = 512;

    explicit CommonDialog(DialogProvider& dialogs) : dialogs_(dialogs) {}

    QString FileName;
    // Every file of the last choice, in the order given (FileName is the
    // first); one file unless AllowMultiSelect was set for an open dialog.
    QStringList FileNames;
    QString Filter;
    int Flags = 0;
    bool CancelError = false;
    QObject* owner = nullptr;

    // Show as an open or a save dialog; on a choice FileName holds the full
    // path. On cancel FileName is left as it was, unless CancelError raises.
    void ShowOpen();
    void ShowSave();

private:
    void show(bool save);

    DialogProvider& dialogs_;
};

} // namespace qp
