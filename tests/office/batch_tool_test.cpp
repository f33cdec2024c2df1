#include "OfficeTestServer.h"
#include "TestFiles.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QUrl>

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

TEST(BatchTool, selfContainedPagesHoldTheirPicturesAsDataUrisOfBrowserFormats) {
    QTemporaryDir in;
    const QStringList documents{"two_images.doc", "equation.doc", "watermark.doc", "simple.doc"};
    for (const QString& name : documents)
        ASSERT_TRUE(QFile::copy(corpusFile(name), in.filePath(name)));
    const QRegularExpression img("<img\\b[^>]*?\\bsrc=\"([^\"]*)\"");
    for (const char* format : {"--filtered", "--not-filtered"}) {
        SCOPED_TRACE(format);
        QTemporaryDir out;
        const ToolRun run = batch({"--self-contained", format, in.path(), out.path()});
        EXPECT_EQ(run.status, 0) << run.errors.toStdString();
        // One file per page, nothing beside it.
        EXPECT_EQ(QDir(out.path()).entryList(QDir::Files, QDir::Name),
                  (QStringList{"equation.htm", "simple.htm", "two_images.htm", "watermark.htm"}));
        int pictures = 0;
        for (const QString& page : QDir(out.path()).entryList(QDir::Files)) {
            const QString html = QString::fromUtf8(readFile(out.filePath(page)));
            for (auto it = img.globalMatch(html); it.hasNext(); ++pictures) {
                const QString src = it.next().captured(1);
                const auto data =
                    QRegularExpression("^data:image/(png|jpeg|gif);base64,(.*)$").match(src);
                ASSERT_TRUE(data.hasMatch())
                    << page.toStdString() << ": " << src.left(60).toStdString();
                const QByteArray bytes = QByteArray::fromBase64(data.captured(2).toLatin1());
                EXPECT_TRUE(bytes.startsWith("\x89PNG") || bytes.startsWith("\xff\xd8\xff") ||
                            bytes.startsWith("GIF8"))
                    << page.toStdString();
            }
        }
        EXPECT_EQ(pictures, 4); // two pictures, the equation and the watermark
    }
    EXPECT_TRUE(batch({"--help"}).lines.join('\n').contains("--self-contained"));

    // A picture that a document only links, from anywhere on the disk, is
    // never read into the page.
    QTemporaryDir elsewhere, linking, out;
    QImage secret(4, 4, QImage::Format_RGB32);
    secret.fill(Qt::blue);
    ASSERT_TRUE(secret.save(elsewhere.filePath("private.png")));
    const QByteArray secretData = readFile(elsewhere.filePath("private.png"));
    writeFile(
        linking.filePath("linked.fodt"),
        R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:xlink="http://www.w3.org/1999/xlink" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.text">
<office:body><office:text><text:p>Linked <draw:frame draw:name="Linked" text:anchor-type="as-char" svg:width="1cm" svg:height="1cm"><draw:image xlink:href=")" +
            QUrl::fromLocalFile(elsewhere.filePath("private.png")).toEncoded() +
            R"(" xlink:type="simple" xlink:show="embed" xlink:actuate="onLoad"/></draw:frame></text:p></office:text></office:body></office:document>
)");
    for (const char* format : {"--filtered", "--not-filtered"}) {
        const ToolRun run =
            batch({"--self-contained", format, "--extension", "fodt", linking.path(), out.path()});
        EXPECT_EQ(run.lines.value(0).left(9), "Converted") << run.lines.join('\n').toStdString();
        const QByteArray page = readFile(out.filePath("linked.htm"));
        EXPECT_TRUE(page.contains("Linked")) << format;
        EXPECT_FALSE(page.contains(secretData.toBase64().left(40))) << format;
        EXPECT_FALSE(page.contains("data:image")) << format;
    }
}

TEST(BatchTool, anInterruptStopsAfterTheCurrentDocumentAndLeavesNoOffice) {
    QTemporaryDir in, out;
    for (int i = 0; i < 60; ++i)
        ASSERT_TRUE(QFile::copy(corpusFile("simple.doc"),
                                in.filePath(QStringLiteral("d%1.doc").arg(i, 2, 10, QChar('0')))));
    QProcess process;
    process.start(tool, {in.path(), out.path()});
    ASSERT_TRUE(process.waitForReadyRead(60000));
    ::kill(pid_t(process.processId()), SIGINT);
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
    pgrep.start("pgrep", {"-f", QStringLiteral("quillpg-batch-%1").arg(process.processId())});
    pgrep.waitForFinished();
    EXPECT_TRUE(pgrep.readAllStandardOutput().trimmed().isEmpty())
        << "an office outlived the interrupted run";
}

} // namespace

namespace {

// The process id of the office that the run with that process id uses now.
qint64 officeOf(qint64 run) {
    QProcess pgrep;
    pgrep.start("pgrep", {"-f", QStringLiteral("pipe,name=quillpg-batch-%1;").arg(run)});
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
    QStringList lines;
    bool killed = false, stopped = false;
    while (process.state() != QProcess::NotRunning || process.canReadLine()) {
        if (!process.canReadLine() && !process.waitForReadyRead(30000))
            break;
        while (process.canReadLine())
            lines << QString::fromLocal8Bit(process.readLine()).trimmed();
        const qint64 office = officeOf(process.processId());
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
}
