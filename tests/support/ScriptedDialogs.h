#pragma once

#include "desktop/Dialogs.h"

#include <deque>
#include <optional>
#include <vector>

namespace qp::test {

// A dialog provider that answers from a script, so that no test ever waits
// on a dialog; tests hand it to the objects they build. A dialog without a
// scripted answer fails the test and is answered with Ok or cancelled; an
// answer left unused fails it too.
class ScriptedDialogs : public DialogProvider {
public:
    ScriptedDialogs() = default;
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    void answerMessage(MessageAnswer answer) { messageAnswers_.push_back(answer); }
    // A chosen path, or nothing to cancel the file dialog.
    void answerFile(const std::optional<QString>& path) {
        fileAnswers_.push_back(path ? QStringList{path->isNull() ? QString("") : *path}
                                    : QStringList());
    }
    // The files chosen in a dialog that takes several; none to cancel it.
    void answerFiles(const QStringList& paths) { fileAnswers_.push_back(paths); }
    // A chosen folder, or an empty text to cancel the folder browser.
    void answerFolder(const QString& folder) { folderAnswers_.push_back(folder); }

    MessageAnswer message(const MessageRequest& request) override;
    std::optional<QString> file(const FileRequest& request) override;
    std::optional<QStringList> severalFiles(const FileRequest& request) override;
    QString folder(const FolderRequest& request) override;

    std::vector<MessageRequest> messages;
    std::vector<FileRequest> files;
    std::vector<FolderRequest> folders;

    // Forgets the script and what was recorded, without failing.
    void reset();

private:
    std::deque<MessageAnswer> messageAnswers_;
    std::deque<QStringList> fileAnswers_; // empty: cancel
    std::deque<QString> folderAnswers_;
};

} // namespace qp::test
