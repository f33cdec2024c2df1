#include "Dialogs.h"

namespace qp::Dialogs {

namespace {
DialogProvider* current = nullptr;
}

DialogProvider* setProvider(DialogProvider* provider) {
    DialogProvider* previous = current;
    current = provider;
    return previous;
}

DialogProvider* provider() {
    return current;
}

MessageAnswer message(const QString& text, const QString& title, MessageIcon icon,
                      MessageButtons buttons, QObject* owner) {
    return message(MessageRequest{text, title, icon, buttons, owner});
}

MessageAnswer message(const MessageRequest& request) {
    if (!current)
        return MessageAnswer::Ok;
    return current->message(request);
}

std::optional<QString> file(const FileRequest& request) {
    if (!current)
        return std::nullopt;
    return current->file(request);
}

QString folder(const QString& prompt, QObject* owner) {
    if (!current)
        return {};
    return current->folder(FolderRequest{prompt, owner});
}

} // namespace qp::Dialogs
