#include "OfficeTestServer.h"
#include "QtPrinters.h"
#include "TestFiles.h"
#include "office/OfficeInstallation.h"
#include "office/OfficeSandbox.h"

#include <QDirIterator>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <QTest>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qp::test;

namespace {

const QString tool = QStringLiteral(QUILLPG_BINARY_DIR "/src/tools/batch/quillpg-batch");

struct ToolRun {
    int status = -1;
    QStringList lines; // standard output
    QString errors;    // standard error
};

// What the tool said on standard error during the test, printed when the test
// fails, so that a failure explains itself.
QStringList toolErrors;
class PrintToolErrors : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { toolErrors.clear(); }
    void OnTestEnd(const ::testing::TestInfo& test) override {
        if (test.result()->Failed())
            for (const QString& errors : toolErrors)
                std::printf("quillpg-batch's standard error:\n%s\n", qPrintable(errors));
    }
};
const bool printingToolErrors = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new PrintToolErrors);
    return true;
}();

// Runs a program (the tool, or one that runs the tool) with extra
// environment variables ("NAME=value").
ToolRun runProgram(const QString& program, const QStringList& arguments,
                   const QString& workingFolder = {}, const QStringList& environment = {}) {
    QProcess process;
    process.setWorkingDirectory(workingFolder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& variable : environment)
        env.insert(variable.section('=', 0, 0), variable.section('=', 1));
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    process.waitForFinished(600000);
    const ToolRun run{
        process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
        QString::fromLocal8Bit(process.readAllStandardError())};
    toolErrors << run.errors;
    return run;
}

ToolRun batch(const QStringList& arguments, const QString& workingFolder = {}) {
    return runProgram(tool, arguments, workingFolder);
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

// Every name in the folder as bytes, hidden ones included, sorted.
QList<QByteArray> everything(const QString& folder) {
    QList<QByteArray> names;
    if (DIR* dir = ::opendir(QFile::encodeName(folder).constData())) {
        while (const dirent* entry = ::readdir(dir))
            if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
                names << QByteArray(entry->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A copy of a small document under a name that Qt cannot open (not UTF-8);
// the test removes it, since QTemporaryDir cannot either.
void copySimpleTo(const QByteArray& name) {
    const QByteArray bytes = readFile(corpusFile("simple.doc"));
    FILE* file = std::fopen(name.constData(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file), size_t(bytes.size()));
    std::fclose(file);
}

// The names in the folder that start with a dot (staging folders, lock
// files); with a process id, those in /tmp of the offices of the run with that
// id (pipe sockets, private temporary folders).
QList<QByteArray> leftovers(const QString& folder, qint64 run = 0) {
    QList<QByteArray> names = everything(run ? QStringLiteral("/tmp") : folder);
    const QRegularExpression office(QStringLiteral("quillpg-%1(-|$)").arg(run));
    names.removeIf([&](const QByteArray& name) {
        return run ? !office.match(QString::fromUtf8(name)).hasMatch() : !name.startsWith('.');
    });
    return names;
}
QList<QByteArray> leftoversOf(qint64 run) {
    return leftovers({}, run);
}

TEST(BatchTool, theCorpusConvertsButForItsUnreadableDocumentsAloneWithJobsOrInSlices) {
    QTemporaryDir one, two, three;
    const ToolRun single = batch({"--not-filtered", corpusDir(), one.path()});
    EXPECT_EQ(single.status, 1) << single.errors.toStdString();
    const QStringList failed = single.lines.filter(QRegularExpression("^Failed "));
    ASSERT_EQ(failed.size(), 2) << single.lines.join('\n').toStdString();
    EXPECT_EQ(failed.filter("PasswordProtected.doc is protected by a password").size(), 1);
    EXPECT_EQ(failed.filter("clusterfuzz-testcase").size(), 1);
    EXPECT_EQ(documents(single, "Converted").size(), 28);
    EXPECT_EQ(single.lines.last(), "28 converted, 2 failed");
    EXPECT_TRUE(QFileInfo::exists(one.filePath("cn.orthodox.www_divenbog_APRIL_30-APRIL.htm")));
    EXPECT_TRUE(readFile(one.filePath("simple.htm")).contains("This is a simple file"));

    // Every picture a page shows lies beside it, named after that page; the
    // office writes its files private to the user, the pages and their
    // pictures get the mode of any other file the user makes.
    const QString pictured = QString::fromUtf8(readFile(one.filePath("two_images.htm")));
    const QRegularExpression source("src=\"([^\"]+)\"");
    EXPECT_EQ(pictured.count(source), 2);
    for (auto it = source.globalMatch(pictured); it.hasNext();) {
        const QString picture = QUrl::fromPercentEncoding(it.next().captured(1).toUtf8());
        EXPECT_TRUE(picture.startsWith("two_images_")) << picture.toStdString();
        EXPECT_GT(QFileInfo(one.filePath(picture)).size(), 0) << picture.toStdString();
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    for (const QByteArray& name : everything(one.path())) {
        struct stat info {};
        ASSERT_EQ(::stat((QFile::encodeName(one.path()) + '/' + name).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask) << name.data();
    }

    // With two offices, and in two slices run at the same time: every
    // document exactly once, and the same pages, byte for byte.
    const ToolRun parallel = batch({"--not-filtered", "--jobs", "2", corpusDir(), two.path()});
    EXPECT_EQ(parallel.status, 1);
    EXPECT_EQ(parallel.lines.last(), "28 converted, 2 failed");
    QProcess slices[2];
    for (int i = 0; i < 2; ++i)
        slices[i].start(tool, {"--not-filtered", "--shard", QStringLiteral("%1/2").arg(i + 1),
                               "--extension", "DOC", corpusDir(), three.path()});
    QStringList all;
    for (QProcess& slice : slices) {
        ASSERT_TRUE(slice.waitForFinished(600000));
        const ToolRun run{
            slice.exitCode(),
            QString::fromLocal8Bit(slice.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
            QString::fromLocal8Bit(slice.readAllStandardError())};
        const QStringList sliceFailed = documents(run, "Failed");
        EXPECT_EQ(run.status, sliceFailed.isEmpty() ? 0 : 1) << run.errors.toStdString();
        all << documents(run, "Converted") << sliceFailed;
    }
    EXPECT_EQ(all.size(), 30);
    EXPECT_EQ(QSet<QString>(all.begin(), all.end()).size(), 30);
    const QStringList pages = QDir(one.path()).entryList(QDir::Files, QDir::Name);
    for (const QTemporaryDir* other : {&two, &three}) {
        EXPECT_EQ(pages, QDir(other->path()).entryList(QDir::Files, QDir::Name));
        for (const QString& page : pages)
            EXPECT_EQ(readFile(one.filePath(page)), readFile(other->filePath(page)))
                << page.toStdString();
    }
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
        // The offices beside the first make them so too.
        const QStringList jobs =
            qstrcmp(format, "--filtered") == 0 ? QStringList{"--jobs", "2"} : QStringList();
        const ToolRun run =
            batch(jobs + QStringList{"--self-contained", format, in.path(), out.path()});
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
        EXPECT_EQ(readFile(out.filePath("simple.htm")).contains("xmlns"),
                  qstrcmp(format, "--filtered") == 0)
            << "not the page of that format";
    }
}

// Links of a page lead where they lead in the office's own export of the
// document into the page's folder: to a file beside the document and to one
// in a folder below it. A document whose name is not UTF-8 reaches the office
// and its page gets the same bytes.
TEST(BatchTool, linksOfAPageWorkFromTheFolderOfThePage) {
    QTemporaryDir work;
    writeFile(work.filePath("docs/notes.txt"));
    writeFile(work.filePath("docs/sub/more.txt"));
    writeFile(work.filePath("docs/links.fodt"), R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:xlink="http://www.w3.org/1999/xlink" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.text">
<office:body><office:text><text:p><text:a xlink:type="simple" xlink:href="notes.txt">Beside</text:a> and <text:a xlink:type="simple" xlink:href="sub/more.txt">below</text:a>.</text:p></office:text></office:body></office:document>
)");
    const QByteArray raw = QFile::encodeName(work.filePath("docs")) + "/caf\xe9.doc";
    copySimpleTo(raw);
    for (const char* format : {"--filtered", "--not-filtered"}) {
        SCOPED_TRACE(format);
        const ToolRun run = batch({format, "--extension", "fodt", "--extension", "doc",
                                   work.filePath("docs"), work.filePath("pages")});
        EXPECT_EQ(run.status, 0) << run.errors.toStdString();
        const QByteArray page = readFile(work.filePath("pages/links.htm"));
        EXPECT_TRUE(page.contains("href=\"../docs/notes.txt\"")) << page.data();
        EXPECT_TRUE(page.contains("href=\"../docs/sub/more.txt\"")) << page.data();
        // Qt cannot open that name; read it through the system instead.
        FILE* file = std::fopen(
            (QFile::encodeName(work.filePath("pages")) + "/caf\xe9.htm").constData(), "rb");
        ASSERT_NE(file, nullptr);
        char buffer[65536];
        const size_t n = std::fread(buffer, 1, sizeof buffer, file);
        std::fclose(file);
        EXPECT_TRUE(QByteArray(buffer, qsizetype(n)).contains("This is a simple file"));
    }
    ::unlink(raw.constData());
    ::unlink((QFile::encodeName(work.filePath("pages")) + "/caf\xe9.htm").constData());
}

// The objects of a report, one a line; the closing one last.
QList<QJsonObject> reportObjects(const QByteArray& report) {
    QList<QJsonObject> objects;
    for (const QByteArray& line : report.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.data();
        objects << document.object();
    }
    return objects;
}

// A document's report object by the file name of its source.
TEST(BatchTool, aFullDiskFailsTheDocumentsSayingSoAndKeepsTheEarlierPage) {
    if (QProcess::execute("unshare", {"-rm", "true"}) != 0)
        GTEST_SKIP() << "no private mount namespace here (unshare -rm), so no small disk";
    QTemporaryDir in, out;
    ASSERT_TRUE(QFile::copy(corpusFile("simple.doc"), in.filePath("simple.doc")));
    ASSERT_TRUE(QFile::copy(corpusFile("two_images.doc"), in.filePath("pics.doc")));
    // A small file system of its own for the target, seen only by this shell
    // and the programs it starts: first nearly full (the pictures fit, the
    // page does not, and the office reports success with an empty page),
    // then full.
    const QString script = QStringLiteral("mount -t tmpfs -o size=256k tmpfs \"$2\" || exit 99\n"
                                          "printf 'earlier page' > \"$2/pics.htm\"\n"
                                          "head -c 244k /dev/zero > \"$2/filler\"\n"
                                          "for run in nearly-full full; do\n"
                                          "  \"$3\" --not-filtered \"$1\" \"$2\"\n"
                                          "  echo \"status $?\"\n"
                                          "  ls -A \"$2\" | tr '\\n' ' '; echo\n"
                                          "  cat \"$2/pics.htm\"; echo\n"
                                          "  rm -f \"$2/simple.htm\"\n"
                                          "  head -c 1M /dev/zero >> \"$2/filler\" 2>/dev/null\n"
                                          "done\n");
    QProcess shell;
    shell.start("unshare", {"-rm", "sh", "-c", script, "sh", in.path(), out.path(), tool});
    ASSERT_TRUE(shell.waitForFinished(600000));
    if (shell.exitCode() == 99)
        GTEST_SKIP() << "cannot mount a small file system here";
    const QStringList lines =
        QString::fromLocal8Bit(shell.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    const QString all = lines.join('\n');
    const QString noSpace = ": No space left on the device";
    // Nearly full: the page with pictures fails and leaves nothing behind.
    ASSERT_EQ(lines.filter(QRegularExpression("^status ")).size(), 2) << all.toStdString();
    const qsizetype first = lines.indexOf(QRegularExpression("status \\d+"));
    ASSERT_GE(first, 0);
    EXPECT_TRUE(lines.mid(0, first).contains("Failed " + in.filePath("pics.doc") + noSpace))
        << all.toStdString();
    EXPECT_EQ(lines.at(first), "status 1");
    EXPECT_TRUE(lines.at(first + 1).startsWith("filler pics.htm ")) << all.toStdString();
    EXPECT_FALSE(lines.at(first + 1).contains("pics_")) << all.toStdString();
    EXPECT_EQ(lines.at(first + 2), "earlier page");
    // Full: both fail, the earlier page is still there, nothing else is.
    const QStringList second = lines.mid(first + 3);
    EXPECT_TRUE(second.contains("Failed " + in.filePath("simple.doc") + noSpace))
        << all.toStdString();
    EXPECT_TRUE(second.contains("Failed " + in.filePath("pics.doc") + noSpace))
        << all.toStdString();
    EXPECT_TRUE(second.contains("0 converted, 2 failed")) << all.toStdString();
    EXPECT_TRUE(second.contains("status 1"));
    EXPECT_TRUE(second.contains("filler pics.htm ")) << all.toStdString();
    EXPECT_EQ(lines.last(), "earlier page");
}

} // namespace

namespace {

// The process id of the office that the run with that process id uses now.
QList<pid_t> officesOf(qint64 run) {
    QProcess pgrep;
    pgrep.start("pgrep", {"-f", QStringLiteral("pipe,name=quillpg-%1-").arg(run)});
    pgrep.waitForFinished();
    QList<pid_t> pids;
    for (const QByteArray& line : pgrep.readAllStandardOutput().split('\n'))
        if (!line.trimmed().isEmpty())
            pids << pid_t(line.trimmed().toLongLong());
    return pids;
}
qint64 officeOf(qint64 run) {
    return officesOf(run).value(0);
}

} // namespace

TEST(BatchTool, anOfficeThatDiesOrHangsCostsOnlyTheDocumentItWasOn) {
    QTemporaryDir in, out;
    const int count = 150;
    for (int i = 0; i < count; ++i)
        ASSERT_TRUE(QFile::copy(corpusFile("simple.doc"),
                                in.filePath(QStringLiteral("d%1.doc").arg(i, 3, 10, QChar('0')))));
    QProcess process;
    // The limit is far above what a document takes on a loaded machine, so
    // that only the stopped office's document runs out of time.
    process.start(tool, {"--timeout", "20", in.path(), out.path()});
    const qint64 pid = process.processId();
    QStringList lines;
    bool killed = false, stopped = false;
    while (process.state() != QProcess::NotRunning || process.canReadLine()) {
        if (!process.canReadLine() && !process.waitForReadyRead(120000))
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
    toolErrors << QString::fromLocal8Bit(process.readAllStandardError());
    ASSERT_TRUE(killed && stopped);
    const ToolRun run{process.exitCode(), lines, {}};
    // The killed office's document is loaded again into a fresh office; the
    // hanging one's runs out of time and is not.
    const QStringList failed = run.lines.filter(QRegularExpression("^Failed "));
    ASSERT_EQ(failed.size(), 1) << failed.join('\n').toStdString();
    EXPECT_TRUE(failed.filter("did not answer").size() == 1) << failed.join('\n').toStdString();
    EXPECT_EQ(documents(run, "Converted").size(), count - 1);
    EXPECT_EQ(run.lines.last(), QStringLiteral("%1 converted, 1 failed").arg(count - 1));
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(leftoversOf(pid).isEmpty()) << leftoversOf(pid).join(' ').data();
    // The killed and the stopped office left nothing in the target folder.
    EXPECT_TRUE(leftovers(out.path()).isEmpty()) << leftovers(out.path()).join(' ').data();
    EXPECT_EQ(everything(out.path()).size(), count - 1);
}

namespace {

// An ODF text document of a few megabytes whose text unpacks into a
// gigabyte of paragraphs, written at the path.
bool writeInflatingDocument(const QString& path) {
    QProcess python;
    python.start("python3", {"-c", R"(import sys, zipfile
ns = 'xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
p = ('<text:p>' + 'All work and no play makes a long document. ' * 20 + '</text:p>\n').encode()
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    z.writestr(zipfile.ZipInfo('mimetype'), 'application/vnd.oasis.opendocument.text')
    z.writestr('META-INF/manifest.xml', '<?xml version="1.0" encoding="UTF-8"?><manifest:manifest '
        'xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2">'
        '<manifest:file-entry manifest:full-path="/" manifest:media-type="application/'
        'vnd.oasis.opendocument.text"/><manifest:file-entry manifest:full-path="content.xml" '
        'manifest:media-type="text/xml"/></manifest:manifest>')
    with z.open('content.xml', 'w') as c:
        c.write(('<?xml version="1.0" encoding="UTF-8"?><office:document-content ' + ns +
            'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2">'
            '<office:body><office:text>').encode())
        block = p * ((1 << 20) // len(p))
        for i in range(1024):
            c.write(block)
        c.write(b'</office:text></office:body></office:document-content>')
)",
                             path});
    return python.waitForFinished(300000) && python.exitCode() == 0;
}

// The most memory the process has held so far, 0 when it is gone.
qint64 peakResidentBytes(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

} // namespace

TEST(BatchTool, anOfficeOverItsMemoryCeilingIsEndedAtOnceAndItsDocumentNotLoadedAgain) {
    QTemporaryDir in, out;
    // A few megabytes that unpack into a gigabyte of text, then a small document.
    ASSERT_TRUE(writeInflatingDocument(in.filePath("a.doc")));
    ASSERT_TRUE(QFile::copy(corpusFile("simple.doc"), in.filePath("b.doc")));
    QProcess process;
    process.start(tool, {"--office-memory", "300M", in.path(), out.path()});
    // The most memory each office of the run was seen to hold.
    std::map<qint64, qint64> peaks;
    while (!process.waitForFinished(50))
        if (const qint64 office = officeOf(process.processId()))
            peaks[office] = std::max(peaks[office], peakResidentBytes(office));
    const ToolRun run{
        process.exitCode(),
        QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
        QString::fromLocal8Bit(process.readAllStandardError())};
    EXPECT_EQ(run.status, 1) << run.errors.toStdString();
    EXPECT_EQ(documents(run, "Converted"), QStringList{in.filePath("b.doc")});
    const QStringList failed = run.lines.filter("Failed " + in.filePath("a.doc") + ": ");
    ASSERT_EQ(failed.size(), 1) << run.lines.join('\n').toStdString();
    EXPECT_TRUE(failed[0].contains("used more than 300 MiB of memory")) << failed[0].toStdString();
    // The document grew its office, and no other: it was loaded once.
    const auto grown = std::count_if(peaks.begin(), peaks.end(),
                                     [](const auto& office) { return office.second > 250 << 20; });
    EXPECT_EQ(grown, 1) << peaks.size() << " offices";
}

namespace {

// A folder of copies of one document (a small one unless named), named
// d000.doc, d001.doc, ...
void fillFolder(const QString& folder, int count, const QString& document = "simple.doc") {
    for (int i = 0; i < count; ++i)
        ASSERT_TRUE(QFile::copy(
            corpusFile(document),
            QDir(folder).filePath(QStringLiteral("d%1.doc").arg(i, 3, 10, QChar('0')))));
}

// Whether the process still runs (a zombie that nobody reaps has ended).
bool alive(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype end = text.lastIndexOf(')');
    return end > 0 && text.mid(end + 2, 1) != "Z";
}

// Waits up to the given time for every one of the processes to end.
bool allEnd(const QList<pid_t>& pids, int ms) {
    return QTest::qWaitFor([&] { return std::none_of(pids.begin(), pids.end(), alive); }, ms);
}

// Whether the process has a handler of its own for the signal.
bool catches(pid_t pid, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:"))
            return line.mid(7).trimmed().toULongLong(nullptr, 16) & (1ULL << (signal - 1));
    return false;
}

// The tool started as from an interactive shell: its standard input and
// error are a pseudo-terminal of its own (so the terminal's Ctrl-C reaches
// its whole process group, as it does at a real terminal); its standard
// output goes to a file.
class TerminalRun {
public:
    TerminalRun(const QStringList& arguments, const QString& output) : output_(output) {
        std::vector<QByteArray> storage{QFile::encodeName(tool)};
        for (const QString& arg : arguments)
            storage.push_back(QFile::encodeName(arg));
        std::vector<char*> argv;
        for (QByteArray& item : storage)
            argv.push_back(item.data());
        argv.push_back(nullptr);
        const QByteArray out = QFile::encodeName(output);
        pid = ::forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid == 0) {
            const int fd = ::open(out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, 1);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~TerminalRun() {
        if (pid > 0 && !ended_) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status_, 0);
        }
        if (master_ >= 0)
            ::close(master_);
    }

    // Keys pressed at the terminal.
    void type(const QByteArray& keys) {
        ASSERT_EQ(::write(master_, keys.data(), keys.size()), keys.size());
    }

    // Standard output so far, line by line.
    QStringList lines() const {
        return QString::fromUtf8(readFile(output_)).split('\n', Qt::SkipEmptyParts);
    }
    int convertedLines() const { return lines().filter(QRegularExpression("^Converted ")).size(); }
    // Everything the terminal showed.
    QString screen() const { return QString::fromUtf8(screen_); }

    // Keeps the terminal drained until the condition holds or the run ends;
    // false after the time limit.
    bool waitFor(const std::function<bool()>& done, int ms) {
        bool met = false;
        (void)QTest::qWaitFor(
            [&] {
                met = done();
                if (met || ended_)
                    return true;
                drain(20);
                if (::waitpid(pid, &status_, WNOHANG) == pid)
                    ended_ = true;
                return false;
            },
            ms);
        return met;
    }
    bool waitForEnd(int ms) {
        waitFor([this] { return ended_; }, ms);
        drain(0);
        return ended_;
    }
    bool exited(int code) const {
        return ended_ && WIFEXITED(status_) && WEXITSTATUS(status_) == code;
    }
    bool killedBy(int signal) const {
        return ended_ && WIFSIGNALED(status_) && WTERMSIG(status_) == signal;
    }

    pid_t pid = -1;

private:
    void drain(int ms) {
        pollfd fd{master_, POLLIN, 0};
        while (::poll(&fd, 1, ms) > 0 && (fd.revents & POLLIN)) {
            char buffer[4096];
            const ssize_t got = ::read(master_, buffer, sizeof buffer);
            if (got <= 0)
                break;
            screen_.append(buffer, got);
            ms = 0;
        }
    }

    QString output_;
    int master_ = -1;
    int status_ = 0;
    bool ended_ = false;
    QByteArray screen_;
};

} // namespace

// A Ctrl-C once the offices convert, or as soon as the run listens for it,
// before its offices have started.
TEST(BatchTool, oneCtrlCStopsAfterTheCurrentDocumentsReportsAllAndLeavesNoOfficeAlsoWithJobs) {
    for (const auto& [jobs, early] :
         {std::pair{QStringList(), false}, std::pair{QStringList{"--jobs", "2"}, false},
          std::pair{QStringList{"--jobs", "2"}, true}}) {
        SCOPED_TRACE(jobs.join(' ').toStdString() + (early ? " early" : ""));
        QTemporaryDir in, out, logs;
        const int count = early ? 30 : 120;
        fillFolder(in.path(), count);
        TerminalRun run(jobs +
                            QStringList{"--report", logs.filePath("report"), in.path(), out.path()},
                        logs.filePath("stdout"));
        const qsizetype running = jobs.isEmpty() ? 1 : 2;
        ASSERT_TRUE(run.waitFor(
            [&] {
                return early
                           ? QFileInfo(QStringLiteral("/proc/%1/exe").arg(run.pid))
                                         .symLinkTarget() == QFileInfo(tool).canonicalFilePath() &&
                                 catches(run.pid, SIGINT)
                           : run.convertedLines() >= 4 && officesOf(run.pid).size() == running;
            },
            180000))
            << run.screen().toStdString() << "an office for each job";
        const QList<pid_t> processes = officesOf(run.pid);
        run.type("\x03");
        ASSERT_TRUE(run.waitForEnd(120000));
        EXPECT_TRUE(run.exited(1)) << run.screen().toStdString();

        const QStringList lines = run.lines();
        ASSERT_FALSE(lines.isEmpty());
        const auto match =
            QRegularExpression("^(\\d+) converted, 0 failed, (\\d+) not converted \\(stopped\\)$")
                .match(lines.last());
        ASSERT_TRUE(match.hasMatch()) << lines.join('\n').toStdString();
        const int converted = match.captured(1).toInt(), left = match.captured(2).toInt();
        EXPECT_EQ(converted, run.convertedLines());
        EXPECT_LT(converted, count);
        EXPECT_EQ(converted + left, count);
        // What the lines say is what is on disk, and what the report says.
        EXPECT_EQ(QDir(out.path()).entryList({"*.htm"}, QDir::Files).size(), converted);
        EXPECT_TRUE(run.screen().contains(
            QStringLiteral("stopped: %1 document(s) not converted").arg(left)))
            << run.screen().toStdString();
        const QJsonObject closing =
            reportObjects(readFile(logs.filePath("report"))).value(converted);
        EXPECT_EQ(closing["ended_by"], "stopped");
        EXPECT_EQ(closing["not_converted"], left);
        EXPECT_TRUE(allEnd(processes, 10000)) << "an office outlived the run";
        EXPECT_TRUE(leftoversOf(run.pid).isEmpty()) << leftoversOf(run.pid).join(' ').data();
        EXPECT_TRUE(leftovers(out.path()).isEmpty()) << leftovers(out.path()).join(' ').data();
    }
}

// The run ending at once, by a second Ctrl-C, ends its offices with it and
// leaves the earlier report as it was.
TEST(BatchTool, aSecondCtrlCEndsTheRunAndEveryOfficeAtOnceLeavingOnlyWholePages) {
    for (const QStringList& jobs : {QStringList(), QStringList{"--jobs", "2"}}) {
        SCOPED_TRACE(jobs.join(' ').toStdString());
        QTemporaryDir in, out, logs;
        fillFolder(in.path(), 60, "two_images.doc");
        const QString report = writeFile(logs.filePath("report"), "earlier report");
        TerminalRun run(
            jobs + QStringList{"--not-filtered", "--report", report, in.path(), out.path()},
            logs.filePath("stdout"));
        ASSERT_TRUE(run.waitFor([&] { return run.convertedLines() >= 2; }, 180000))
            << run.screen().toStdString();
        QList<pid_t> processes;
        ASSERT_TRUE(run.waitFor(
            [&] {
                processes = officesOf(run.pid);
                return processes.size() == (jobs.isEmpty() ? 1 : 2);
            },
            120000))
            << run.screen().toStdString();
        ASSERT_TRUE(catches(run.pid, SIGINT));
        // The offices are held in the middle of their documents, so the run
        // cannot finish them and end before the second Ctrl-C comes.
        for (pid_t pid : processes)
            ::kill(pid, SIGSTOP);
        QThread::msleep(1000); // until each office's document waits on it
        run.type("\x03");
        QThread::msleep(300); // two Ctrl-Cs at once would arrive as one
        run.type("\x03");
        ASSERT_TRUE(run.waitForEnd(10000));
        EXPECT_TRUE(run.killedBy(SIGINT)) << run.screen().toStdString();
        EXPECT_TRUE(allEnd(processes, 3000)) << "an office outlived the run";
        // The pages being saved were removed before the end; every page there
        // is whole.
        EXPECT_TRUE(leftovers(out.path()).isEmpty()) << leftovers(out.path()).join(' ').data();
        for (const QString& page : QDir(out.path()).entryList({"*.htm"}, QDir::Files))
            EXPECT_TRUE(readFile(out.filePath(page)).contains("</html>")) << page.toStdString();
        // The report grew beside the earlier one, which a run that dies
        // leaves as it was.
        EXPECT_EQ(readFile(report), "earlier report");
        EXPECT_GE(reportObjects(readFile(report + ".partial")).size(), 1);
    }
}

TEST(BatchTool, anOfficeThatDoesNotStartIsStartedAgainAndTheStatusFollowsTheDocuments) {
    // An installation like the real one whose office fails its first two
    // starts: the first office's session tries twice and cannot start it;
    // started again, it can, and so can the office beside it. The confined office may write nothing
    // but its profile (which a failed start replaces) and the font cache, so that is where the
    // stand-in counts its starts, under names of this run.
    QTemporaryDir office, in, out;
    const QString real = qp::office::findInstallation();
    ASSERT_FALSE(real.isEmpty());
    for (const QString& folder : {QString(), QStringLiteral("program")}) {
        const QDir from(QDir(real).filePath(folder)), to(QDir(office.path()).filePath(folder));
        ASSERT_TRUE(QDir().mkpath(to.path()));
        for (const QString& name : from.entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
            if (name != "program" && name != "soffice.bin") {
                ASSERT_TRUE(QFile::link(from.filePath(name), to.filePath(name)));
            }
        }
    }
    const QByteArray count = QFile::encodeName(qp::office::userFontCacheDir() + "/.start-" +
                                               QFileInfo(office.path()).fileName());
    const QString soffice = office.filePath("program/soffice.bin");
    writeFile(soffice, "#!/bin/sh\n"
                       "mkdir '" +
                           count +
                           "-1' 2>/dev/null && exit 1\n"
                           "mkdir '" +
                           count +
                           "-2' 2>/dev/null && exit 1\n"
                           "exec '" +
                           real.toUtf8() + "/program/soffice.bin' \"$@\"\n");
    ASSERT_TRUE(QFile::setPermissions(soffice, QFile::ReadOwner | QFile::ExeOwner));
    fillFolder(in.path(), 2);
    const ToolRun run = runProgram(tool, {"--jobs", "2", in.path(), out.path()}, {},
                                   {"QUILLPG_OFFICE_DIR=" + office.path()});
    QDir().rmdir(QFile::decodeName(count + "-1"));
    const bool failedTwice = QDir().rmdir(QFile::decodeName(count + "-2"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines.value(run.lines.size() - 1), "2 converted, 0 failed");
    EXPECT_TRUE(run.errors.contains("the office did not start: ")) << run.errors.toStdString();
    EXPECT_TRUE(failedTwice) << "the failing office never ran";
}
