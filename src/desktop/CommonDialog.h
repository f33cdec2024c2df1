#pragma once

#include <QString>

class QObject;

namespace qp {

class DialogProvider;

// The common file dialog: file name, filter, flags and the switch that makes
// a cancel raise an error (DialogCancelled, "Cancel was selected."). Shown
// through the dialog seam.
class CommonDialog {
public:
    explicit CommonDialog(DialogProvider& dialogs) : dialogs_(dialogs) {}

    QString FileName;
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
