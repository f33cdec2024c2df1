#include "ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace qp::test {

ScriptedDialogs::ScriptedDialogs() : previous_(Dialogs::setProvider(this)) {}

ScriptedDialogs::~ScriptedDialogs() {
    Dialogs::setProvider(previous_);
    EXPECT_TRUE(messageAnswers_.empty()) << messageAnswers_.size() << " message answer(s) unused";
    EXPECT_TRUE(fileAnswers_.empty()) << fileAnswers_.size() << " file answer(s) unused";
    EXPECT_TRUE(folderAnswers_.empty()) << folderAnswers_.size() << " folder answer(s) unused";
}

void ScriptedDialogs::answerMessage(MessageAnswer answer) {
    messageAnswers_.push_back(answer);
}
void ScriptedDialogs::answerFile(std::optional<QString> path) {
    fileAnswers_.push_back(std::move(path));
}
void ScriptedDialogs::answerFolder(const QString& folder) {
    folderAnswers_.push_back(folder);
}

void ScriptedDialogs::reset() {
    messages.clear();
    files.clear();
    folders.clear();
    messageAnswers_.clear();
    fileAnswers_.clear();
    folderAnswers_.clear();
}

MessageAnswer ScriptedDialogs::message(const MessageRequest& request) {
    messages.push_back(request);
    if (messageAnswers_.empty()) {
        ADD_FAILURE() << "unexpected message box: " << request.title.toStdString() << ": "
                      << request.text.toStdString();
        return MessageAnswer::Ok;
    }
    const MessageAnswer answer = messageAnswers_.front();
    messageAnswers_.pop_front();
    return answer;
}

std::optional<QString> ScriptedDialogs::file(const FileRequest& request) {
    files.push_back(request);
    if (fileAnswers_.empty()) {
        ADD_FAILURE() << "unexpected file dialog for " << request.fileName.toStdString();
        return std::nullopt;
    }
    const bool chosen = fileAnswers_.front().has_value();
    const QString path = chosen ? *fileAnswers_.front() : QString();
    fileAnswers_.pop_front();
    if (!chosen)
        return std::nullopt;
    return path;
}

QString ScriptedDialogs::folder(const FolderRequest& request) {
    folders.push_back(request);
    if (folderAnswers_.empty()) {
        ADD_FAILURE() << "unexpected folder browser: " << request.prompt.toStdString();
        return {};
    }
    QString answer = folderAnswers_.front();
    folderAnswers_.pop_front();
    return answer;
}

} // namespace qp::test
