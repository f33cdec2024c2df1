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

    const std::optional<QString> chosen = dialogs_.file(request);
    if (!chosen) {
        if (CancelError)
            throw AutomationError(ErrorNumber::DialogCancelled,
                                  QStringLiteral("Cancel was selected."),
                                  QStringLiteral("CommonDialog"));
        return;
    }
    FileName = *chosen;
}

} // namespace qp
