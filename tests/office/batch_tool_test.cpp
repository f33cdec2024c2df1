#include "OfficeTestServer.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace qp::test;

namespace {

struct ToolRun {
    int status = -1;
    QStringList lines; // standard output
    QString errors;    // standard error
};

ToolRun batch(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(QUILLPG_BINARY_DIR "/src/tools/batch/quillpg-batch"), arguments);
    process.waitForFinished(600000);
    ToolRun run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.lines = QString::fromLocal8Bit(process.readAllStandardOutput())
                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.errors = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QStringList matching(const QStringList& lines, const QString& prefix) {
    QStringList found;
    for (const QString& line : lines)
        if (line.startsWith(prefix))
            found << line;
    return found;
}

// The documents named in "Converted SOURCE -> PAGE" lines.
QStringList convertedSources(const ToolRun& run) {
    QStringList sources;
    static const QRegularExpression pattern(QStringLiteral("^Converted (.*) -> .*$"));
    for (const QString& line : run.lines) {
        const auto match = pattern.match(line);
        if (match.hasMatch())
            sources << match.captured(1);
    }
    return sources;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(BatchTool, badUsageAndUnusableFoldersExitWithTwoAndSayWhich) {
    QTemporaryDir dir;
    ToolRun run = batch({QStringLiteral("--bogus"), corpusDir(), dir.path()});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("unknown option --bogus")));
    run = batch({corpusDir()});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("SOURCE_FOLDER and a TARGET_FOLDER")));
    run = batch({QStringLiteral("--shard"), QStringLiteral("3/2"), corpusDir(), dir.path()});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("--shard")));
    run = batch({QStringLiteral("--jobs"), QStringLiteral("0"), corpusDir(), dir.path()});
    EXPECT_EQ(run.status, 2);

    run = batch({dir.filePath(QStringLiteral("missing")), dir.path()});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.errors.contains(dir.filePath(QStringLiteral("missing")) +
                                    QStringLiteral(" does not exist")));

    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    run = batch({corpusDir(), dir.filePath(QStringLiteral("file/pages"))});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("cannot be created")));
    run = batch({corpusDir(), dir.filePath(QStringLiteral("file"))});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("is not a folder")));

    run = batch({QStringLiteral("--version")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines, QStringList{QStringLiteral("quillpg-batch 2.0.7")});
}

TEST(BatchTool, theCorpusConvertsButForItsUnreadableDocumentsInBothWaysOfWorking) {
    QTemporaryDir one, two;
    const ToolRun single = batch({QStringLiteral("--not-filtered"), corpusDir(), one.path()});
    EXPECT_EQ(single.status, 1) << single.errors.toStdString();
    const QStringList failed = matching(single.lines, QStringLiteral("Failed "));
    ASSERT_EQ(failed.size(), 2) << single.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(
        failed.filter(QStringLiteral("PasswordProtected.doc: The document could not be opened"))
            .size() == 1);
    EXPECT_TRUE(failed.filter(QStringLiteral("clusterfuzz-testcase")).size() == 1);
    EXPECT_EQ(convertedSources(single).size(), 28);
    EXPECT_EQ(single.lines.last(), QStringLiteral("28 converted, 2 failed"));
    EXPECT_TRUE(QFileInfo::exists(
        one.filePath(QStringLiteral("cn.orthodox.www_divenbog_APRIL_30-APRIL.htm"))));
    EXPECT_TRUE(
        contents(one.filePath(QStringLiteral("simple.htm"))).contains("This is a simple file"));

    const ToolRun parallel = batch({QStringLiteral("--not-filtered"), QStringLiteral("--jobs"),
                                    QStringLiteral("2"), corpusDir(), two.path()});
    EXPECT_EQ(parallel.status, 1);
    EXPECT_EQ(parallel.lines.last(), QStringLiteral("28 converted, 2 failed"));
    // The same pages, byte for byte.
    QStringList pages = QDir(one.path()).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(pages, QDir(two.path()).entryList(QDir::Files, QDir::Name));
    for (const QString& page : pages)
        EXPECT_EQ(contents(one.filePath(page)), contents(two.filePath(page))) << page.toStdString();
}

TEST(BatchTool, slicesCoverEveryDocumentExactlyOnce) {
    QTemporaryDir out;
    QStringList all;
    for (int i = 1; i <= 3; ++i) {
        const ToolRun run = batch({QStringLiteral("--filtered"), QStringLiteral("--shard"),
                                   QStringLiteral("%1/3").arg(i), QStringLiteral("--extension"),
                                   QStringLiteral("DOC"), corpusDir(), out.path()});
        EXPECT_EQ(run.status, matching(run.lines, QStringLiteral("Failed ")).isEmpty() ? 0 : 1);
        all << convertedSources(run);
        for (const QString& line : matching(run.lines, QStringLiteral("Failed ")))
            all << line.section(QStringLiteral(": "), 0, 0).mid(7);
    }
    EXPECT_EQ(all.size(), 30);
    EXPECT_EQ(QSet<QString>(all.begin(), all.end()).size(), 30);
    // --filtered writes the standards-only page.
    EXPECT_TRUE(contents(out.filePath(QStringLiteral("simple.htm"))).contains("xmlns"));
}

TEST(BatchTool, anInterruptStopsAfterTheCurrentDocumentAndLeavesNoOffice) {
    QTemporaryDir in, out;
    for (int i = 0; i < 60; ++i)
        ASSERT_TRUE(
            QFile::copy(corpusFile(QStringLiteral("simple.doc")),
                        in.filePath(QStringLiteral("d%1.doc").arg(i, 2, 10, QLatin1Char('0')))));
    QProcess process;
    process.start(QStringLiteral(QUILLPG_BINARY_DIR "/src/tools/batch/quillpg-batch"),
                  {in.path(), out.path()});
    ASSERT_TRUE(process.waitForReadyRead(60000));
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    const QStringList lines = QString::fromLocal8Bit(process.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    static const QRegularExpression closing(QStringLiteral("^(\\d+) converted, 0 failed$"));
    const auto match = closing.match(lines.last());
    ASSERT_TRUE(match.hasMatch()) << lines.last().toStdString();
    EXPECT_LT(match.captured(1).toInt(), 60);
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(process.readAllStandardError())
                    .contains(QStringLiteral("not converted")));
    QProcess pgrep;
    pgrep.start(
        QStringLiteral("pgrep"),
        {QStringLiteral("-f"), QStringLiteral("quillpg-batch-%1").arg(process.processId())});
    pgrep.waitForFinished();
    EXPECT_TRUE(pgrep.readAllStandardOutput().trimmed().isEmpty())
        << "an office outlived the interrupted run";
}

} // namespace
