#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QObject;

namespace qp {

// Every modal platform dialog of the application goes through this seam: the
// window application hands a provider that shows Qt dialogs to what it builds,
// tests hand over one that answers from a script, the console tool one that
// never waits.

enum class MessageIcon { None, Critical, Question, Exclamation, Information };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct MessageRequest {
    QString text;
    QString title;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    QObject* owner = nullptr;
    // A second, smaller text below the message: what the user can do about
    // it. Empty for most messages.
    QString informativeText = {};
};

struct FileRequest {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    QString fileName; // proposed name (full path or bare name)
    QString filter;   // "Description (*.ext)|*.EXT" pairs, or a bare pattern
    int flags = 0;    // 4096: the chosen file must exist; 512: several may be chosen
    QObject* owner = nullptr;
};

struct FolderRequest {
    QString prompt;
    QObject* owner = nullptr;
    // The folder the chooser starts in (the one the asking box shows); when
    // it is gone, its nearest folder that exists. Empty: the chooser's own.
    QString startFolder = {};
};

class DialogProvider {
public:
    virtual ~DialogProvider() = default;
    virtual MessageAnswer message(const MessageRequest& request) = 0;
    // The chosen full path, or nothing when the user cancelled.
    virtual std::optional<QString> file(const FileRequest& request) = 0;
    // An open dialog in which several files may be chosen: the chosen full
    // paths, or nothing when the user cancelled. A provider without such a
    // dialog offers the one-file dialog.
    virtual std::optional<QStringList> severalFiles(const FileRequest& request) {
        if (const std::optional<QString> one = file(request))
            return QStringList{*one};
        return std::nullopt;
    }
    // The chosen folder without a trailing separator (the root folder as "/"),
    // or an empty text when the user cancelled.
    virtual QString folder(const FolderRequest& request) = 0;
};

// A provider for runs without anyone to answer: every message is answered
// Ok and every file or folder choice is cancelled.
class UnattendedDialogs : public DialogProvider {
public:
    MessageAnswer message(const MessageRequest&) override { return MessageAnswer::Ok; }
    std::optional<QString> file(const FileRequest&) override { return std::nullopt; }
    QString folder(const FolderRequest&) override { return {}; }
};

namespace Dialogs {

// Shorthands for asking the given provider.
MessageAnswer message(DialogProvider& dialogs, const QString& text, const QString& title,
                      MessageIcon icon = MessageIcon::None,
                      MessageButtons buttons = MessageButtons::Ok, QObject* owner = nullptr);
QString folder(DialogProvider& dialogs, const QString& prompt, QObject* owner = nullptr,
               const QString& startFolder = {});

} // namespace Dialogs

// The application's title, used as the title of its message boxes.
inline const QString& applicationTitle() {
    static const QString title = QStringLiteral("Quillpage - HTML");
    return title;
}

} // namespace qp
