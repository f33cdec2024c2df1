#include "Dialogs.h"

namespace qp::Dialogs {

MessageAnswer message(DialogProvider& dialogs, const QString& text, const QString& title,
                      MessageIcon icon, MessageButtons buttons, QObject* owner) {
    return dialogs.message(MessageRequest{text, title, icon, buttons, owner});
}

QString folder(DialogProvider& dialogs, const QString& prompt, QObject* owner,
               const QString& startFolder) {
    return dialogs.folder(FolderRequest{prompt, owner, startFolder});
}

} // namespace qp::Dialogs
