#include "jobs/FileSystem.h"

#include "QtPrinters.h"
#include "ScriptedDialogs.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QRegularExpression>
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
        {"a.doc", "doc"},
        {"x.HTML", "HTML"},        // case kept
        {"a.tar.gz", "gz"},        // the dot nearest the end wins
        {"name.abcd", "abcd"},     // four letters
        {"name.abcde", "Unknown"}, // dot sixth from the end
        {"notes.", "Unknown"},     // a final dot is not looked at
        {"a.b.", "b."},
        {"/a.b/cd", "b/cd"}, // the search runs past a separator
        {"", "Unknown"},
        {".", "Unknown"},
        {".x", "x"},
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
        {"readme.txt", "readme.txt", "readme", "readme", "/"},
        {"/a.doc", "a.doc", "a", "/a", "/"}, // a file in the root folder
        {"/home/u/.profile", ".profile", ".profile", "/home/u/.profile", "/home/u/"},
        {"/home/u/.doc.doc", ".doc.doc", ".doc", "/home/u/.doc", "/home/u/"},
        {"/in/", "", "", "/in/", "/in/"},
        {"", "", "", "", "/"},
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

TEST_F(FileOperations, OperationsThatWorkAskNothing) {
    const QString source = writeFile(path("a.doc"), "new");
    writeFile(path("b.doc"), "old content");
    fs.CopyFile(source, path("b.doc"));
    EXPECT_EQ(readFile(path("b.doc")), "new");
    fs.MoveFile(source, path("c.doc"));
    EXPECT_FALSE(QFile::exists(source));
    EXPECT_EQ(readFile(path("c.doc")), "new");
    fs.DeleteFile(path("c.doc"));
    EXPECT_FALSE(QFile::exists(path("c.doc")));
    fs.MakeDIR(path("sub"));
    EXPECT_TRUE(QFileInfo(path("sub")).isDir());
    fs.RemoveDIR(path("sub"));
    EXPECT_FALSE(QFileInfo::exists(path("sub")));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(FileOperations, FailuresShowTheirMessageAndLoseNothing) {
    const QString source = writeFile(path("a.doc"), "content");
    QDir(dir.path()).mkdir("full");
    writeFile(path("full/inside"));
    const std::vector<std::pair<std::function<void()>, QString>> cases{
        {[&] { fs.CopyFile(path("missing.doc"), path("c.doc")); }, "Error copying File"},
        // The copy fails, so the source must stay.
        {[&] { fs.MoveFile(source, path("no-such-folder/a.doc")); }, "Error moving File"},
        {[&] { fs.MoveFile(source, source); }, "Error moving File"},
        {[&] { fs.DeleteFile(path("missing.doc")); }, "Error deleting File"},
        {[&] { fs.MakeDIR(path("full")); }, "Error creating Directory"},   // exists already
        {[&] { fs.MakeDIR(path("x/y")); }, "Error creating Directory"},    // one level only
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

TEST_F(FileOperations, TempPathCreatesNewEmptyFilesWithUniqueNames) {
    const QString first = fs.fnGetTempPath("  htmlx ", "  " + dir.path() + "  ");
    const QString second = fs.fnGetTempPath("htm", dir.path() + "/");
    // A separator in the prefix cannot move the file out of the folder.
    const QString third = fs.fnGetTempPath("../", dir.path());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_NE(first, second);
    for (const QString& created : {first, second, third}) {
        const QFileInfo info(created);
        EXPECT_TRUE(info.isFile() && info.size() == 0) << created.toStdString();
        EXPECT_EQ(info.absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
    }
    // Three characters of the prefix, then the six random ones.
    for (const QString& created : {first, second})
        EXPECT_TRUE(QRegularExpression("^htm[A-Za-z0-9]{6}\\.tmp$")
                        .match(QFileInfo(created).fileName())
                        .hasMatch())
            << created.toStdString();

    // Without a usable folder the system's temporary folder is used.
    const QString system = fs.fnGetTempPath("qpt", " x ");
    EXPECT_EQ(QFileInfo(system).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
    EXPECT_TRUE(QFile::remove(system));
}

TEST_F(FileOperations, TempPathFailureShowsTheErrorReport) {
    dialogs.answerMessage(MessageAnswer::Ok);
    EXPECT_EQ(fs.fnGetTempPath("htm", path("no-such-folder")), "");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const qp::MessageRequest& report = dialogs.messages[0];
    EXPECT_EQ(report.title, "You have a Problem!");
    EXPECT_EQ(report.icon, MessageIcon::Critical);
    QStringList lines = report.text.split("\r\n");
    ASSERT_EQ(lines.size(), 7) << report.text.toStdString();
    // Lines are separated by CR LF alone, the time has some text.
    EXPECT_TRUE(lines[5].startsWith("Time ") && lines[5].size() > 5 && !lines[5].contains('\r') &&
                !lines[5].contains('\n'));
    lines[5] = "Time";
    EXPECT_EQ(lines, QStringList({"Unexpected Error Returned", "At   modGetTempFile  fnGetTempPath",
                                  "Nmbr 76", "Desc Path not found",
                                  "Srce " + QCoreApplication::applicationName(), "Time",
                                  "Path " + QCoreApplication::applicationDirPath()}));
}

TEST_F(FileOperations, FileSizeUnits) {
    const std::vector<std::pair<qint64, QString>> cases{
        {0, "0B"},        {1023, "1023B"},    {1024, "1KB"}, {1048575, "1023.999KB"},
        {1048576, "1MB"}, {1572864, "1.5MB"},
    };
    for (const auto& [size, text] : cases) {
        QFile file(path(QString::number(size)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(size));
        file.close();
        EXPECT_EQ(fs.GetFileSize(file.fileName()), text) << size;
    }
    EXPECT_EQ(fs.GetFileSize(path("missing")), "0B");
    EXPECT_EQ(fs.GetFileSize(dir.path()), "0B");
}

TEST_F(FileOperations, AttributesRoundTrip) {
    const QString file = writeFile(path("a.doc"));
    EXPECT_EQ(fs.GetAttrib(file), "Normal");
    fs.SetReadOnly(file);
    EXPECT_EQ(fs.GetAttrib(file), "ReadOnly");
    EXPECT_FALSE(QFileInfo(file).permissions() &
                 (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));
    // Normal, hidden and system all clear read-only (a name cannot be hidden).
    for (const auto set :
         {&FileSystem::SetNormal, &FileSystem::SetHidden, &FileSystem::SetSystem}) {
        fs.SetReadOnly(file);
        (fs.*set)(file);
        EXPECT_EQ(fs.GetAttrib(file), "Normal");
    }
    const QString dotFile = writeFile(path(".hidden"));
    EXPECT_EQ(fs.GetAttrib(dotFile), "Hidden");
    fs.SetReadOnly(dotFile);
    EXPECT_EQ(fs.GetAttrib(dotFile), "3"); // a combination as its value
    EXPECT_EQ(fs.GetAttrib(dir.path()), "Directory");
    ASSERT_TRUE(QFile::link(file, path("link.doc")));
    EXPECT_EQ(fs.GetAttrib(path("link.doc")), "Alias");
    EXPECT_EQ(fs.GetAttrib(path("missing")), "Unknown");
    fs.SetReadOnly(path("missing")); // ignored
}

TEST_F(FileOperations, FileDateIsTheGeneralDateWithoutTimeAtMidnight) {
    const QString file = writeFile(path("a.doc"));
    EXPECT_EQ(fs.GetFileDate(file), FileSystem::generalDate(QFileInfo(file).lastModified()));
    EXPECT_EQ(fs.GetFileDate(path("missing")), "");
    const QDateTime midnight(QDate(2024, 3, 5), QTime(0, 0));
    EXPECT_FALSE(FileSystem::generalDate(midnight).contains(':'));
    EXPECT_NE(FileSystem::generalDate(midnight.addSecs(3661)), FileSystem::generalDate(midnight));
}
