#include "ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace qp::test {

namespace {
// The next scripted answer; without one the test fails and gets the fallback.
template <class T> T take(std::deque<T>& answers, const std::string& dialog, T fallback) {
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected " << dialog;
        return fallback;
    }
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}
} // namespace

ScriptedDialogs::~ScriptedDialogs() {
    EXPECT_TRUE(messageAnswers_.empty() && fileAnswers_.empty() && folderAnswers_.empty())
        << "scripted answers left unused";
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
    return take(messageAnswers_, "message box: " + request.text.toStdString(), MessageAnswer::Ok);
}

std::optional<QString> ScriptedDialogs::file(const FileRequest& request) {
    const QStringList paths = severalFiles(request).value_or(QStringList());
    EXPECT_LE(paths.size(), 1) << "several files answered to a dialog that takes one";
    return paths.isEmpty() ? std::nullopt : std::optional(paths.front());
}

std::optional<QStringList> ScriptedDialogs::severalFiles(const FileRequest& request) {
    files.push_back(request);
    // An empty list stands for a cancel (an optional upsets GCC's flow analysis).
    const QStringList paths =
        take(fileAnswers_, "file dialog for " + request.fileName.toStdString(), QStringList());
    return paths.isEmpty() ? std::nullopt : std::optional(paths);
}

QString ScriptedDialogs::folder(const FolderRequest& request) {
    folders.push_back(request);
    return take(folderAnswers_, "folder browser: " + request.prompt.toStdString(), QString());
}

} // namespace qp::test
