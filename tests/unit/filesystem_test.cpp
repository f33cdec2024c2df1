// The file operations of the jobs: path parts, and the questions and
// messages of the operations that change files.

#include "jobs/FileSystem.h"

#include "QtPrinters.h"
#include "ScriptedDialogs.h"
#include "TestFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qp;
using namespace qp::test;

TEST(PathOperations, ExtensionNameBaseNameAndFolderOfAPath) {
    FileSystem fs;
    // The dot nearest the end, among the last five characters but the final one,
    // past separators.
    for (const auto& [name, extension] :
         std::vector<std::pair<QString, QString>>{{"a.doc", "doc"},
                                                  {"a.tar.gz", "gz"},
                                                  {"name.abcde", "Unknown"},
                                                  {"notes.", "Unknown"},
                                                  {"/a.b/cd", "b/cd"}})
        EXPECT_EQ(fs.GetFileExtension(name), extension) << name.toStdString();
    // Path, name, base name, base name in its folder, folder.
    for (const QStringList& c : std::vector<QStringList>{
             {"/docs/a.doc", "a.doc", "a", "/docs/a", "/docs/"},
             {"/a.b/readme", "readme", "readme", "/a.b/readme", "/a.b/"},
             {"/a.doc", "a.doc", "a", "/a", "/"},
             {"/home/u/.doc.doc", ".doc.doc", ".doc", "/home/u/.doc", "/home/u/"},
             {"/in/", "", "", "/in/", "/in/"},
             {"C:readme.txt", "C:readme.txt", "C:readme", "C:readme", "/"}})
        EXPECT_EQ(QStringList({c[0], fs.GetFileName(c[0]), fs.GetFileBaseName(c[0], false),
                               fs.GetFileBaseName(c[0], true), fs.GetPath(c[0])}),
                  c);
}

TEST(FileOperations, SaveAsksBeforeDeletingAndFailuresShowTheirMessageAndLoseNothing) {
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    FileSystem fs{dialogs};
    const auto path = [&](const QString& name) {
        return dir.filePath(name);
    };
    const QString page = writeFile(path("page.htm"));
    dialogs.answerMessage(MessageAnswer::No);
    fs.Save(page);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Overwrite File?");
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(QFile::exists(page));
    dialogs.answerMessage(MessageAnswer::Yes);
    fs.Save(page);
    EXPECT_FALSE(QFile::exists(page));
    fs.Save(page); // nothing left to overwrite: no question
    EXPECT_EQ(dialogs.messages.size(), 2u);

    const QString source = writeFile(path("a.doc"), "content");
    writeFile(path("full/inside"));
    const std::vector<std::pair<std::function<void()>, QString>> cases{
        {[&] { fs.CopyFile(path("missing.doc"), path("c.doc")); }, "Error copying File"},
        {[&] { fs.MoveFile(source, path("no-such-folder/a.doc")); }, "Error moving File"},
        {[&] { fs.DeleteFile(path("missing.doc")); }, "Error deleting File"},
        {[&] { fs.MakeDIR(path("full")); }, "Error creating Directory"},
        {[&] { fs.RemoveDIR(path("full")); }, "Error removing Directory"}, // not empty
    };
    for (const auto& [action, text] : cases) {
        dialogs.reset();
        dialogs.answerMessage(MessageAnswer::Ok);
        action();
        ASSERT_EQ(dialogs.messages.size(), 1u) << text.toStdString();
        const MessageRequest& said = dialogs.messages[0];
        EXPECT_EQ(said.text, text);
        EXPECT_EQ(said.title, "Quillpage - HTML");
        EXPECT_EQ(said.icon, MessageIcon::None);
        EXPECT_EQ(said.buttons, MessageButtons::Ok);
    }
    EXPECT_EQ(readFile(source), "content"); // the failed move kept its source
    EXPECT_TRUE(QFile::exists(path("full/inside")));
    EXPECT_FALSE(QFile::exists(path("c.doc")));
}
