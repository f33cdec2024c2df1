#include "conversion/clsFileSystem.h"

#include "ScriptedDialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using qp::clsFileSystem;
using qp::MessageAnswer;
using qp::MessageButtons;
using qp::MessageIcon;
using qp::test::ScriptedDialogs;

namespace {

QString writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
    return path;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The one message box shown: its text, title, no icon and an OK button.
void expectFailureMessage(const ScriptedDialogs& dialogs, const char* text) {
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QString::fromUtf8(text));
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Quillpage - HTML"));
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::None);
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::Ok);
}

class FileOperations : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    clsFileSystem fs;
    ScriptedDialogs dialogs;
};

} // namespace

TEST(PathOperations, ExtensionIsFoundAmongTheLastFiveCharactersOnly) {
    clsFileSystem fs;
    const std::vector<std::pair<QString, QString>> cases{
        {"a.doc", "doc"},
        {"x.HTML", "HTML"}, // case kept
        {"a.tar.gz", "gz"}, // the dot nearest the end wins
        {"/in/Report.DOC", "DOC"},
        {"a.c", "c"},              // one letter
        {"name.abcd", "abcd"},     // four letters
        {"name.abcde", "Unknown"}, // dot sixth from the end
        {"README", "Unknown"},
        {"notes.", "Unknown"}, // a final dot is not looked at
        {"a.b.", "b."},
        {"/a.b/cd", "b/cd"}, // the search runs past a separator
        {"", "Unknown"},
        {".", "Unknown"},
        {".x", "x"},
    };
    for (const auto& [name, extension] : cases)
        EXPECT_EQ(fs.GetFileExtension(name), extension) << name.toStdString();
}

TEST(PathOperations, FileNameIsTheLastComponent) {
    clsFileSystem fs;
    EXPECT_EQ(fs.GetFileName("/docs/a.doc"), "a.doc");
    EXPECT_EQ(fs.GetFileName("/docs/"), "");
    EXPECT_EQ(fs.GetFileName("a.doc"), "a.doc");
    EXPECT_EQ(fs.GetFileName("/a.doc"), "a.doc"); // a file in the root folder
    EXPECT_EQ(fs.GetFileName(""), "");
}

TEST(PathOperations, BaseNameDropsFolderAndLastExtension) {
    clsFileSystem fs;
    EXPECT_EQ(fs.GetFileBaseName("/in/Report.final.doc", false), "Report.final");
    EXPECT_EQ(fs.GetFileBaseName("/a.b/readme", false), "readme");
    EXPECT_EQ(fs.GetFileBaseName("readme.txt", false), "readme");
    EXPECT_EQ(fs.GetFileBaseName(".profile", false), ".profile");
    EXPECT_EQ(fs.GetFileBaseName("/home/u/.profile", false), ".profile");
    EXPECT_EQ(fs.GetFileBaseName("/home/u/.doc.doc", false), ".doc");
    EXPECT_EQ(fs.GetFileBaseName("/in/", false), "");
    EXPECT_EQ(fs.GetFileBaseName("", false), "");
#ifdef Q_OS_WIN
    EXPECT_EQ(fs.GetFileBaseName("C:readme.txt", false), "readme");
#else
    // A colon is an ordinary character here.
    EXPECT_EQ(fs.GetFileBaseName("C:readme.txt", false), "C:readme");
#endif
}

TEST(PathOperations, BaseNameCanKeepTheFolder) {
    clsFileSystem fs;
    EXPECT_EQ(fs.GetFileBaseName("/in/a.doc", true), "/in/a");
    EXPECT_EQ(fs.GetFileBaseName("/in/readme", true), "/in/readme");
    EXPECT_EQ(fs.GetFileBaseName("/a.b/readme", true), "/a.b/readme");
    EXPECT_EQ(fs.GetFileBaseName("/in/Report.final.doc", true), "/in/Report.final");
    EXPECT_EQ(fs.GetFileBaseName("/in/.profile", true), "/in/.profile");
}

TEST(PathOperations, PathKeepsItsTrailingSeparator) {
    clsFileSystem fs;
    EXPECT_EQ(fs.GetPath("/docs/a.doc"), "/docs/");
    EXPECT_EQ(fs.GetPath("/a.doc"), "/");
    EXPECT_EQ(fs.GetPath("a.doc"), "/");
    EXPECT_EQ(fs.GetPath("/docs/"), "/docs/");
}

TEST_F(FileOperations, ExistenceTests) {
    const QString file = writeFile(path("a.doc"), "x");
    EXPECT_TRUE(fs.FileExist(file));
    EXPECT_TRUE(fs.FileExist(dir.path()));
    EXPECT_FALSE(fs.FileExist(path("missing")));
    EXPECT_FALSE(fs.FileExist(""));
    EXPECT_TRUE(fs.FileReal(file));
    EXPECT_FALSE(fs.FileReal(dir.path())); // folders are not files
    EXPECT_FALSE(fs.FileReal(path("missing")));
}

TEST_F(FileOperations, SaveAsksBeforeDeletingAnExistingFile) {
    const QString file = writeFile(path("page.htm"), "old");
    dialogs.answerMessage(MessageAnswer::No);
    fs.Save(file);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Overwrite File?");
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(QFile::exists(file));

    dialogs.answerMessage(MessageAnswer::Yes);
    fs.Save(file);
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_FALSE(QFile::exists(file));

    fs.Save(file); // nothing left to overwrite: no question
    EXPECT_EQ(dialogs.messages.size(), 2u);
}

TEST_F(FileOperations, CopyReplacesTheTargetAndReportsFailure) {
    const QString source = writeFile(path("a.doc"), "new");
    const QString target = writeFile(path("b.doc"), "old content");
    fs.CopyFile(source, target);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(readFile(target), "new");
    EXPECT_EQ(readFile(source), "new");

    dialogs.answerMessage(MessageAnswer::Ok);
    fs.CopyFile(path("missing.doc"), path("c.doc"));
    expectFailureMessage(dialogs, "Error copying File");
    EXPECT_FALSE(QFile::exists(path("c.doc")));
}

TEST_F(FileOperations, MoveNeverLosesTheSource) {
    const QString source = writeFile(path("a.doc"), "content");
    dialogs.answerMessage(MessageAnswer::Ok);
    fs.MoveFile(source, path("no-such-folder/a.doc"));
    expectFailureMessage(dialogs, "Error moving File");
    EXPECT_EQ(readFile(source), "content");

    // Moving a file onto itself must not delete it either.
    dialogs.reset();
    dialogs.answerMessage(MessageAnswer::Ok);
    fs.MoveFile(source, source);
    expectFailureMessage(dialogs, "Error moving File");
    EXPECT_EQ(readFile(source), "content");

    dialogs.reset();
    fs.MoveFile(source, path("b.doc"));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(QFile::exists(source));
    EXPECT_EQ(readFile(path("b.doc")), "content");
}

TEST_F(FileOperations, DeleteAndFolderFailuresShowTheirMessages) {
    dialogs.answerMessage(MessageAnswer::Ok);
    fs.DeleteFile(path("missing.doc"));
    expectFailureMessage(dialogs, "Error deleting File");

    dialogs.reset();
    const QString file = writeFile(path("a.doc"), "x");
    fs.DeleteFile(file);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(QFile::exists(file));

    const QString folder = path("sub");
    fs.MakeDIR(folder);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    dialogs.answerMessage(MessageAnswer::Ok);
    fs.MakeDIR(folder); // exists already
    expectFailureMessage(dialogs, "Error creating Directory");

    dialogs.reset();
    dialogs.answerMessage(MessageAnswer::Ok);
    fs.MakeDIR(path("x/y")); // one level only
    expectFailureMessage(dialogs, "Error creating Directory");

    dialogs.reset();
    writeFile(folder + "/inside", "x");
    dialogs.answerMessage(MessageAnswer::Ok);
    fs.RemoveDIR(folder); // not empty
    expectFailureMessage(dialogs, "Error removing Directory");
    EXPECT_TRUE(QFileInfo(folder + "/inside").exists());

    dialogs.reset();
    QFile::remove(folder + "/inside");
    fs.RemoveDIR(folder);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(QFileInfo::exists(folder));
}

TEST_F(FileOperations, TempPathCreatesNewEmptyFilesWithUniqueNames) {
    const QString first = fs.fnGetTempPath("  htmlx ", "  " + dir.path() + "  ");
    const QString second = fs.fnGetTempPath("htm", dir.path() + "/");
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    EXPECT_NE(first, second);
    for (const QString& created : {first, second}) {
        const QFileInfo info(created);
        EXPECT_TRUE(info.isFile()) << created.toStdString();
        EXPECT_EQ(info.size(), 0);
        EXPECT_EQ(info.absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
        EXPECT_TRUE(info.fileName().startsWith("htm")) << created.toStdString();
        EXPECT_FALSE(info.fileName().startsWith("html"));
    }

    // A separator in the prefix cannot move the file out of the folder.
    const QString third = fs.fnGetTempPath("../", dir.path());
    EXPECT_EQ(QFileInfo(third).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());

    // Without a usable folder the system's temporary folder is used.
    const QString system = fs.fnGetTempPath("qpt", " x ");
    ASSERT_FALSE(system.isEmpty());
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
    EXPECT_EQ(report.buttons, MessageButtons::Ok);
    EXPECT_FALSE(report.text.endsWith("\n"));
    const QStringList lines = report.text.split("\r\n");
    ASSERT_EQ(lines.size(), 7) << report.text.toStdString();
    EXPECT_EQ(lines[0], "Unexpected Error Returned");
    EXPECT_EQ(lines[1], "At   modGetTempFile  fnGetTempPath");
    EXPECT_EQ(lines[2], "Nmbr 76");
    EXPECT_EQ(lines[3], "Desc Path not found");
    EXPECT_EQ(lines[4], "Srce " + QCoreApplication::applicationName());
    EXPECT_TRUE(lines[5].startsWith("Time ") && lines[5].size() > 5);
    EXPECT_EQ(lines[6], "Path " + QCoreApplication::applicationDirPath());
    for (const QString& line : lines)
        EXPECT_FALSE(line.contains('\r') || line.contains('\n'));
}

TEST_F(FileOperations, FileSizeUnits) {
    const std::vector<std::pair<qint64, QString>> cases{
        {0, "0B"},          {1023, "1023B"},         {1024, "1KB"},
        {1536, "1.5KB"},    {1048575, "1023.999KB"}, {1048576, "1MB"},
        {1572864, "1.5MB"},
    };
    for (const auto& [size, text] : cases) {
        const QString name = path(QString("size%1").arg(size));
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(size));
        file.close();
        EXPECT_EQ(fs.GetFileSize(name), text) << size;
    }
    EXPECT_EQ(fs.GetFileSize(path("missing")), "0B");
    EXPECT_EQ(fs.GetFileSize(dir.path()), "0B");
}

TEST_F(FileOperations, AttributesRoundTrip) {
    const QString file = writeFile(path("a.doc"), "x");
    EXPECT_EQ(fs.GetAttrib(file), "Normal");
    fs.SetReadOnly(file);
    EXPECT_EQ(fs.GetAttrib(file), "ReadOnly");
    EXPECT_FALSE(QFileInfo(file).permissions() &
                 (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));
    fs.SetNormal(file);
    EXPECT_EQ(fs.GetAttrib(file), "Normal");
    fs.SetReadOnly(file);
    fs.SetHidden(file); // replaces read-only; the name cannot change
    EXPECT_EQ(fs.GetAttrib(file), "Normal");
    fs.SetReadOnly(file);
    fs.SetSystem(file);
    EXPECT_EQ(fs.GetAttrib(file), "Normal");

    const QString dotFile = writeFile(path(".hidden"), "x");
    EXPECT_EQ(fs.GetAttrib(dotFile), "Hidden");
    fs.SetReadOnly(dotFile);
    EXPECT_EQ(fs.GetAttrib(dotFile), "3"); // a combination as its value

    EXPECT_EQ(fs.GetAttrib(dir.path()), "Directory");
    ASSERT_TRUE(QFile::link(file, path("link.doc")));
    EXPECT_EQ(fs.GetAttrib(path("link.doc")), "Alias");
    EXPECT_EQ(fs.GetAttrib(path("missing")), "Unknown");
    fs.SetReadOnly(path("missing")); // ignored
}

TEST_F(FileOperations, FileDate) {
    const QString file = writeFile(path("a.doc"), "x");
    EXPECT_EQ(fs.GetFileDate(file), clsFileSystem::generalDate(QFileInfo(file).lastModified()));
    EXPECT_FALSE(fs.GetFileDate(file).isEmpty());
    EXPECT_EQ(fs.GetFileDate(path("missing")), "");
    const QDateTime midnight(QDate(2024, 3, 5), QTime(0, 0));
    EXPECT_FALSE(clsFileSystem::generalDate(midnight).contains(':'));
    EXPECT_NE(clsFileSystem::generalDate(midnight.addSecs(3661)),
              clsFileSystem::generalDate(midnight));
}
