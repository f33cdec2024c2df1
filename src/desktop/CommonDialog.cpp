#include "CommonDialog.h"

#include "Dialogs.h"
#include "automation/AutomationError.h"

namespace qp {

void CommonDialog::ShowOpen() {
    show(false);
}

void CommonDialog::ShowSave() {
    show(true);
}

void CommonDialog::show(bool save) {
    FileRequest request;
    request.mode = save ? FileRequest::Mode::Save : FileRequest::Mode::Open;
    request.fileName = FileName;
    request.filter = Filter;
    request.flags = Flags;
    request.owner = owner;

    std::optional<QStringList> chosen;
    if (!save && (Flags & AllowMultiSelect))
        chosen = dialogs_.severalFiles(request);
    else if (const std::optional<QString> one = dialogs_.file(request))
        chosen = QStringList{*one};
    if (!chosen || chosen->isEmpty()) {
        if (CancelError)
            throw AutomationError(ErrorNumber::DialogCancelled,
                                  QStringLiteral("Cancel was selected."),
                                  QStringLiteral("CommonDialog"));
        return;
    }
    FileNames = *chosen;
    FileName = FileNames.front();
}

} // namespace qp
