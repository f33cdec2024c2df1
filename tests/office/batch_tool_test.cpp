#include "OfficeTestServer.h"
#include "TestFiles.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace qp::test;

namespace {

const QString tool = QStringLiteral(QUILLPG_BINARY_DIR "/src/tools/batch/quillpg-batch");

struct ToolRun {
    int status = -1;
    QStringList lines; // standard output
    QString errors;    // standard error
};

ToolRun batch(const QStringList& arguments) {
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(600000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// The documents named in "Converted SOURCE -> PAGE" lines, or in "Failed
// SOURCE: REASON" lines.
QStringList documents(const ToolRun& run, const QString& outcome) {
    QStringList sources;
    const QRegularExpression pattern("^" + outcome +
                                     (outcome == "Failed" ? " (.*?): " : " (.*) -> "));
    for (const QString& line : run.lines)
        if (const auto match = pattern.match(line); match.hasMatch())
            sources << match.captured(1);
    return sources;
}

// The pipe sockets and private temporary folders of the offices of the run
// with that process id that are still in /tmp.
QStringList leftoversOf(qint64 run) {
    return QDir("/tmp")
        .entryList(QDir::AllEntries | QDir::System | QDir::Hidden)
        .filter(QRegularExpression(QStringLiteral("quillpg-(batch-)?%1(-|$)").arg(run)));
}

TEST(BatchTool, badUsageAndUnusableFoldersExitWithTwoAndSayWhich) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile(dir.filePath("file")).open(QIODevice::WriteOnly));
    const std::vector<std::pair<QStringList, QString>> cases{
        {{"--bogus", corpusDir(), dir.path()}, "unknown option --bogus"},
        {{corpusDir()}, "SOURCE_FOLDER and a TARGET_FOLDER"},
        {{"--shard", "3/2", corpusDir(), dir.path()}, "--shard"},
        {{"--jobs", "0", corpusDir(), dir.path()}, ""},
        {{dir.filePath("missing"), dir.path()}, dir.filePath("missing") + " does not exist"},
        {{corpusDir(), dir.filePath("file/pages")}, "cannot be created"},
        {{corpusDir(), dir.filePath("file")}, "is not a folder"},
    };
    for (const auto& [arguments, error] : cases) {
        const ToolRun run = batch(arguments);
        EXPECT_EQ(run.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.errors.contains(error)) << run.errors.toStdString();
    }
    const ToolRun run = batch({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines, QStringList{"quillpg-batch 2.0.7"});
}

TEST(BatchTool, theCorpusConvertsButForItsUnreadableDocumentsInBothWaysOfWorking) {
    QTemporaryDir one, two;
    const ToolRun single = batch({"--not-filtered", corpusDir(), one.path()});
    EXPECT_EQ(single.status, 1) << single.errors.toStdString();
    const QStringList failed = single.lines.filter(QRegularExpression("^Failed "));
    ASSERT_EQ(failed.size(), 2) << single.lines.join('\n').toStdString();
    EXPECT_EQ(failed.filter("PasswordProtected.doc: The document could not be opened").size(), 1);
    EXPECT_EQ(failed.filter("clusterfuzz-testcase").size(), 1);
    EXPECT_EQ(documents(single, "Converted").size(), 28);
    EXPECT_EQ(single.lines.last(), "28 converted, 2 failed");
    EXPECT_TRUE(QFileInfo::exists(one.filePath("cn.orthodox.www_divenbog_APRIL_30-APRIL.htm")));
    EXPECT_TRUE(readFile(one.filePath("simple.htm")).contains("This is a simple file"));

    const ToolRun parallel = batch({"--not-filtered", "--jobs", "2", corpusDir(), two.path()});
    EXPECT_EQ(parallel.status, 1);
    EXPECT_EQ(parallel.lines.last(), "28 converted, 2 failed");
    // The same pages, byte for byte.
    const QStringList pages = QDir(one.path()).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(pages, QDir(two.path()).entryList(QDir::Files, QDir::Name));
    for (const QString& page : pages)
        EXPECT_EQ(readFile(one.filePath(page)), readFile(two.filePath(page))) << page.toStdString();
}

TEST(BatchTool, slicesCoverEveryDocumentExactlyOnce) {
    QTemporaryDir out;
    QStringList all;
    for (int i = 1; i <= 3; ++i) {
        const ToolRun run = batch({"--filtered", "--shard", QStringLiteral("%1/3").arg(i),
                                   "--extension", "DOC", corpusDir(), out.path()});
        const QStringList failed = documents(run, "Failed");
        EXPECT_EQ(run.status, failed.isEmpty() ? 0 : 1);
        all << documents(run, "Converted") << failed;
    }
    EXPECT_EQ(all.size(), 30);
    EXPECT_EQ(QSet<QString>(all.begin(), all.end()).size(), 30);
    // --filtered writes the standards-only page.
    EXPECT_TRUE(readFile(out.filePath("simple.htm")).contains("xmlns"));
}

TEST(BatchTool, anInterruptStopsAfterTheCurrentDocumentAndLeavesNoOffice) {
    QTemporaryDir in, out;
    for (int i = 0; i < 60; ++i)
        ASSERT_TRUE(QFile::copy(corpusFile("simple.doc"),
                                in.filePath(QStringLiteral("d%1.doc").arg(i, 2, 10, QChar('0')))));
    QProcess process;
    process.start(tool, {in.path(), out.path()});
    ASSERT_TRUE(process.waitForReadyRead(60000));
    const qint64 pid = process.processId(); // 0 once it has ended
    ::kill(pid_t(pid), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    const QStringList lines =
        QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    const auto match = QRegularExpression("^(\\d+) converted, 0 failed$").match(lines.last());
    ASSERT_TRUE(match.hasMatch()) << lines.last().toStdString();
    EXPECT_LT(match.captured(1).toInt(), 60);
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(process.readAllStandardError()).contains("not converted"));
    QProcess pgrep;
    pgrep.start("pgrep", {"-f", QStringLiteral("pipe,name=quillpg-%1-").arg(pid)});
    pgrep.waitForFinished();
    EXPECT_TRUE(pgrep.readAllStandardOutput().trimmed().isEmpty())
        << "an office outlived the interrupted run";
    EXPECT_TRUE(leftoversOf(pid).isEmpty()) << leftoversOf(pid).join(' ').toStdString();
}

} // namespace

namespace {

// The process id of the office that the run with that process id uses now.
qint64 officeOf(qint64 run) {
    QProcess pgrep;
    pgrep.start("pgrep", {"-f", QStringLiteral("pipe,name=quillpg-%1-").arg(run)});
    pgrep.waitForFinished();
    return pgrep.readAllStandardOutput().split('\n').value(0).toLongLong();
}

} // namespace

TEST(BatchTool, anOfficeThatDiesOrHangsCostsOnlyTheDocumentItWasOn) {
    QTemporaryDir in, out;
    const int count = 150;
    for (int i = 0; i < count; ++i)
        ASSERT_TRUE(QFile::copy(corpusFile("simple.doc"),
                                in.filePath(QStringLiteral("d%1.doc").arg(i, 3, 10, QChar('0')))));
    QProcess process;
    process.start(tool, {"--timeout", "2", in.path(), out.path()});
    const qint64 pid = process.processId();
    QStringList lines;
    bool killed = false, stopped = false;
    while (process.state() != QProcess::NotRunning || process.canReadLine()) {
        if (!process.canReadLine() && !process.waitForReadyRead(30000))
            break;
        while (process.canReadLine())
            lines << QString::fromLocal8Bit(process.readLine()).trimmed();
        const qint64 office = officeOf(pid);
        if (!killed && lines.size() >= 10 && office > 0) {
            ::kill(pid_t(office), SIGKILL);
            killed = true;
        } else if (killed && !stopped && lines.size() >= 40 && office > 0) {
            ::kill(pid_t(office), SIGSTOP);
            stopped = true;
        }
    }
    process.waitForFinished();
    ASSERT_TRUE(killed && stopped);
    const ToolRun run{process.exitCode(), lines, {}};
    const QStringList failed = run.lines.filter(QRegularExpression("^Failed "));
    ASSERT_EQ(failed.size(), 2) << failed.join('\n').toStdString();
    EXPECT_TRUE(failed.filter("word processor stopped while").size() == 1) << failed.join('\n').toStdString();
    EXPECT_TRUE(failed.filter("did not answer").size() == 1) << failed.join('\n').toStdString();
    EXPECT_EQ(documents(run, "Converted").size(), count - 2);
    EXPECT_EQ(run.lines.last(), QStringLiteral("%1 converted, 2 failed").arg(count - 2));
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(leftoversOf(pid).isEmpty()) << leftoversOf(pid).join(' ').toStdString();
}
