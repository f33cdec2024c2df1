#include "jobs/FileSystem.h"

#include "QtPrinters.h"
#include "ScriptedDialogs.h"
#include "TestFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using qp::FileSystem;
using qp::MessageAnswer;
using qp::MessageButtons;
using qp::MessageIcon;
using qp::test::readFile;
using qp::test::ScriptedDialogs;
using qp::test::writeFile;

namespace {

class FileOperations : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    FileSystem fs{dialogs};
};

} // namespace

TEST(PathOperations, ExtensionIsFoundAmongTheLastFiveCharactersOnly) {
    FileSystem fs;
    const std::vector<std::pair<QString, QString>> cases{
        {"a.doc", "doc"},          {"a.tar.gz", "gz"}, // the dot nearest the end wins
        {"name.abcde", "Unknown"},                     // dot sixth from the end
        {"notes.", "Unknown"},                         // a final dot is not looked at
        {"/a.b/cd", "b/cd"},                           // the search runs past a separator
    };
    for (const auto& [name, extension] : cases)
        EXPECT_EQ(fs.GetFileExtension(name), extension) << name.toStdString();
}

TEST(PathOperations, NameBaseNameAndFolderOfAPath) {
    struct Case {
        QString path, name, base, baseInFolder, folder;
    };
    const std::vector<Case> cases{
        {"/docs/a.doc", "a.doc", "a", "/docs/a", "/docs/"},
        {"/a.b/readme", "readme", "readme", "/a.b/readme", "/a.b/"}, // dots in folder names
        {"/a.doc", "a.doc", "a", "/a", "/"},                         // a file in the root folder
        {"/home/u/.doc.doc", ".doc.doc", ".doc", "/home/u/.doc", "/home/u/"},
        {"/in/", "", "", "/in/", "/in/"},
        {"C:readme.txt", "C:readme.txt", "C:readme", "C:readme", "/"}, // a colon is ordinary
    };
    FileSystem fs;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(fs.GetFileName(c.path), c.name);
        EXPECT_EQ(fs.GetFileBaseName(c.path, false), c.base);
        EXPECT_EQ(fs.GetFileBaseName(c.path, true), c.baseInFolder);
        EXPECT_EQ(fs.GetPath(c.path), c.folder);
    }
}

TEST_F(FileOperations, SaveAsksBeforeDeletingAnExistingFile) {
    const QString file = writeFile(path("page.htm"));
    dialogs.answerMessage(MessageAnswer::No);
    fs.Save(file);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Overwrite File?");
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(QFile::exists(file));

    dialogs.answerMessage(MessageAnswer::Yes);
    fs.Save(file);
    EXPECT_FALSE(QFile::exists(file));
    fs.Save(file); // nothing left to overwrite: no question
    EXPECT_EQ(dialogs.messages.size(), 2u);
}

TEST_F(FileOperations, FailuresShowTheirMessageAndLoseNothing) {
    const QString source = writeFile(path("a.doc"), "content");
    QDir(dir.path()).mkdir("full");
    writeFile(path("full/inside"));
    const std::vector<std::pair<std::function<void()>, QString>> cases{
        {[&] { fs.CopyFile(path("missing.doc"), path("c.doc")); }, "Error copying File"},
        // The copy fails, so the source must stay.
        {[&] { fs.MoveFile(source, path("no-such-folder/a.doc")); }, "Error moving File"},
        {[&] { fs.DeleteFile(path("missing.doc")); }, "Error deleting File"},
        {[&] { fs.MakeDIR(path("full")); }, "Error creating Directory"},   // exists already
        {[&] { fs.RemoveDIR(path("full")); }, "Error removing Directory"}, // not empty
    };
    for (const auto& [action, text] : cases) {
        dialogs.reset();
        dialogs.answerMessage(MessageAnswer::Ok);
        action();
        ASSERT_EQ(dialogs.messages.size(), 1u) << text.toStdString();
        EXPECT_EQ(dialogs.messages[0].text, text);
        EXPECT_EQ(dialogs.messages[0].title, "Quillpage - HTML");
        EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::None);
        EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::Ok);
    }
    EXPECT_EQ(readFile(source), "content");
    EXPECT_TRUE(QFile::exists(path("full/inside")));
    EXPECT_FALSE(QFile::exists(path("c.doc")));
}
