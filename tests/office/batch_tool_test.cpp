#include "OfficeTestServer.h"
#include "QtPrinters.h"
#include "TestFiles.h"
#include "office/OfficeInstallation.h"
#include "office/OfficeSandbox.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
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
    QString errors;    // standard error, printed when a check fails
};

ToolRun finish(QProcess& process) {
    process.waitForFinished(600000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

ToolRun batch(const QStringList& arguments) {
    QProcess process;
    process.start(tool, arguments);
    return finish(process);
}

qsizetype converted(const QStringList& lines) {
    return lines.filter(QRegularExpression("^Converted ")).size();
}

// The hidden names in the folder (staging folders, lock files); with a run's
// process id, those in /tmp of that run's offices (pipes, temporary folders,
// instance notes).
QStringList leftovers(const QString& folder, qint64 run = 0) {
    const QStringList patterns =
        run ? QStringList{QStringLiteral("quillpg-%1").arg(run),
                          QStringLiteral("quillpg-%1-*").arg(run),
                          QStringLiteral("OSL_PIPE_*_quillpg-%1-*").arg(run)}
            : QStringList{".*"};
    return QDir(run ? "/tmp" : folder)
        .entryList(patterns, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// The offices of the run with that process id: they listen on pipes named after it.
QList<pid_t> officesOf(qint64 run) {
    QProcess pgrep;
    pgrep.start("pgrep", {"-f", QStringLiteral("pipe,name=quillpg-%1-").arg(run)});
    pgrep.waitForFinished();
    QList<pid_t> pids;
    for (const QString& pid :
         QString(pgrep.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
        pids << pid.toInt();
    return pids;
}

// A folder of copies of one document, named d000.doc, d001.doc, ...
void fillFolder(const QString& folder, int count, const QString& document = "simple.doc") {
    for (int i = 0; i < count; ++i)
        ASSERT_TRUE(QFile::copy(
            corpusFile(document),
            QDir(folder).filePath(QStringLiteral("d%1.doc").arg(i, 3, 10, QChar('0')))));
}

} // namespace

TEST(BatchTool, theCorpusConvertsButForItsUnreadableDocumentsAndPagesGetTheUsersMode) {
    QTemporaryDir out;
    const ToolRun run = batch({"--not-filtered", "--jobs", "2", corpusDir(), out.path()});
    EXPECT_EQ(run.status, 1) << run.errors.toStdString();
    const QStringList failed = run.lines.filter(QRegularExpression("^Failed "));
    ASSERT_EQ(failed.size(), 2) << run.lines.join('\n').toStdString();
    EXPECT_EQ(failed.filter("PasswordProtected.doc is protected by a password").size(), 1);
    EXPECT_EQ(failed.filter("clusterfuzz-testcase").size(), 1);
    EXPECT_EQ(run.lines.last(), "28 converted, 2 failed");
    EXPECT_TRUE(readFile(out.filePath("simple.htm")).contains("This is a simple file"));
    // The office writes its files private to the user; pages and pictures get the user's mode.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    for (const QString& name : QDir(out.path()).entryList(QDir::Files | QDir::Hidden)) {
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(out.filePath(name)).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask) << name.toStdString();
    }
}

TEST(BatchTool, aFullDiskFailsTheDocumentsSayingSoAndKeepsTheEarlierPage) {
    if (QProcess::execute("unshare", {"-rm", "true"}) != 0)
        GTEST_SKIP() << "no private mount namespace here (unshare -rm), so no small disk";
    QTemporaryDir in, out;
    ASSERT_TRUE(QFile::copy(corpusFile("simple.doc"), in.filePath("simple.doc")));
    ASSERT_TRUE(QFile::copy(corpusFile("two_images.doc"), in.filePath("pics.doc")));
    // A small file system of the shell's own for the target: first nearly
    // full (the pictures fit, the page does not, and the office says it saved
    // an empty page), then full.
    const QString script =
        QStringLiteral("mount -t tmpfs -o size=256k tmpfs \"$2\" || exit 99\n"
                       "printf 'earlier page' > \"$2/pics.htm\"\n"
                       "head -c 244k /dev/zero > \"$2/filler\"\n"
                       "for run in nearly-full full; do\n"
                       "  \"$3\" --not-filtered \"$1\" \"$2\"\n"
                       "  echo \"status $?\"; ls -A \"$2\" | tr '\\n' ' '; echo\n"
                       "  cat \"$2/pics.htm\"; echo; rm -f \"$2/simple.htm\"\n"
                       "  head -c 1M /dev/zero >> \"$2/filler\" 2>/dev/null\n"
                       "done\n");
    QProcess shell;
    shell.start("unshare", {"-rm", "sh", "-c", script, "sh", in.path(), out.path(), tool});
    const ToolRun run = finish(shell);
    if (run.status == 99)
        GTEST_SKIP() << "cannot mount a small file system here";
    const QString all = run.lines.join('\n');
    const QString pics = "Failed " + in.filePath("pics.doc") + ": No space left on the device";
    const qsizetype first = run.lines.indexOf("status 1");
    ASSERT_GE(first, 0) << all.toStdString();
    // Nearly full: the page with pictures fails and leaves nothing behind.
    EXPECT_TRUE(run.lines.mid(0, first).contains(pics)) << all.toStdString();
    EXPECT_TRUE(run.lines.value(first + 1).startsWith("filler pics.htm ") &&
                !run.lines.value(first + 1).contains("pics_"))
        << all.toStdString();
    EXPECT_EQ(run.lines.value(first + 2), "earlier page");
    // Full: both fail, and the earlier page is still there, alone.
    for (const QString& line :
         {"Failed " + in.filePath("simple.doc") + ": No space left on the device", pics,
          QStringLiteral("0 converted, 2 failed"), QStringLiteral("filler pics.htm ")})
        EXPECT_TRUE(run.lines.mid(first + 3).contains(line)) << all.toStdString();
    EXPECT_EQ(run.lines.last(), "earlier page");
}

TEST(BatchTool, anOfficeThatDiesOrHangsCostsOnlyTheDocumentItWasOn) {
    QTemporaryDir in, out;
    const int count = 150;
    fillFolder(in.path(), count);
    QProcess process;
    // Far above what a document takes on a loaded machine, so that only the
    // stopped office's document runs out of time.
    process.start(tool, {"--timeout", "20", in.path(), out.path()});
    const qint64 pid = process.processId();
    QStringList lines;
    bool killed = false, stopped = false;
    while (process.state() != QProcess::NotRunning || process.canReadLine()) {
        if (!process.canReadLine() && !process.waitForReadyRead(120000))
            break;
        while (process.canReadLine())
            lines << QString::fromLocal8Bit(process.readLine()).trimmed();
        const pid_t office = officesOf(pid).value(0);
        if (office > 0 && !killed && lines.size() >= 10)
            killed = ::kill(office, SIGKILL) == 0;
        else if (office > 0 && killed && !stopped && lines.size() >= 40)
            stopped = ::kill(office, SIGSTOP) == 0;
    }
    const ToolRun run = finish(process);
    ASSERT_TRUE(killed && stopped);
    // The killed office's document is loaded again into a fresh office; the
    // hanging one's runs out of time and is not.
    const QStringList failed = lines.filter(QRegularExpression("^Failed "));
    ASSERT_EQ(failed.size(), 1) << lines.join('\n').toStdString() << run.errors.toStdString();
    EXPECT_TRUE(failed[0].contains("did not answer")) << failed[0].toStdString();
    EXPECT_EQ(lines.last(), QStringLiteral("%1 converted, 1 failed").arg(count - 1));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(leftovers({}, pid), QStringList());
    EXPECT_EQ(leftovers(out.path()), QStringList());
    EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(),
              count - 1);
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
    const QString status = readFile(QStringLiteral("/proc/%1/status").arg(pid));
    return QRegularExpression("VmHWM:\\s*(\\d+)").match(status).captured(1).toLongLong() << 10;
}

} // namespace

// The other documents convert, and their links lead where they do from their folder.
TEST(BatchTool, anOfficeOverItsMemoryCeilingIsEndedAtOnceAndItsDocumentNotLoadedAgain) {
    QTemporaryDir in, out;
    // A few megabytes that unpack into a gigabyte of text, then a small document.
    ASSERT_TRUE(writeInflatingDocument(in.filePath("a.doc")));
    ASSERT_TRUE(QFile::copy(corpusFile("simple.doc"), in.filePath("b.doc")));
    writeFile(in.filePath("notes.txt"));
    writeFile(in.filePath("sub/more.txt"));
    writeFile(
        in.filePath("c.fodt"),
        R"(<?xml version="1.0" encoding="UTF-8"?><office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:xlink="http://www.w3.org/1999/xlink" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.text">
<office:body><office:text><text:p><text:a xlink:type="simple" xlink:href="notes.txt">Beside</text:a> and <text:a xlink:type="simple" xlink:href="sub/more.txt">below</text:a>.</text:p></office:text></office:body></office:document>)");
    QProcess process;
    process.start(tool, {"--office-memory", "300M", "--extension", "doc", "--extension", "fodt",
                         in.path(), out.path()});
    std::map<qint64, qint64> peaks; // the most memory each office was seen to hold
    while (!process.waitForFinished(50))
        if (const qint64 office = officesOf(process.processId()).value(0))
            peaks[office] = std::max(peaks[office], peakResidentBytes(office));
    const ToolRun run = finish(process);
    EXPECT_EQ(run.status, 1) << run.errors.toStdString();
    EXPECT_EQ(converted(run.lines), 2);
    EXPECT_TRUE(
        run.lines.contains("Converted " + in.filePath("b.doc") + " -> " + out.filePath("b.htm")));
    const QByteArray links = readFile(out.filePath("c.htm")),
                     up = "href=\"../" + QFileInfo(in.path()).fileName().toUtf8();
    EXPECT_TRUE(links.contains(up + "/notes.txt\"") && links.contains(up + "/sub/more.txt\""))
        << links.data();
    const QStringList failed = run.lines.filter("Failed " + in.filePath("a.doc") + ": ");
    ASSERT_EQ(failed.size(), 1) << run.lines.join('\n').toStdString();
    EXPECT_TRUE(failed[0].contains("used more than 300 MiB of memory")) << failed[0].toStdString();
    // The document grew its office, and no other: it was loaded once.
    EXPECT_EQ(std::count_if(peaks.begin(), peaks.end(),
                            [](const auto& office) { return office.second > 250 << 20; }),
              1)
        << peaks.size() << " offices";
}

namespace {

// The tool started as from an interactive shell: its standard input and error
// are a pseudo-terminal of its own (whose Ctrl-C reaches its whole process
// group); its standard output goes to a file.
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
            ::dup2(::open(out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~TerminalRun() {
        if (pid > 0 && !ended_) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status_, 0);
        }
        ::close(master_);
    }
    void type(const QByteArray& keys) {
        ASSERT_EQ(::write(master_, keys.data(), keys.size()), keys.size());
    }
    QStringList lines() const {
        return QString::fromUtf8(readFile(output_)).split('\n', Qt::SkipEmptyParts);
    }
    QString screen() const { return QString::fromUtf8(screen_); }

    // Keeps the terminal drained until the condition holds or the run ends.
    bool waitFor(const std::function<bool()>& done, int ms) {
        bool met = false;
        (void)QTest::qWaitFor(
            [&] {
                if ((met = done()) || ended_)
                    return true;
                ended_ = ::waitpid(pid, &status_, WNOHANG) == pid; // then what it showed last
                pollfd fd{master_, POLLIN, 0};
                char buffer[4096];
                for (ssize_t got;
                     ::poll(&fd, 1, 20) > 0 && (got = ::read(master_, buffer, 4096)) > 0;)
                    screen_.append(buffer, got);
                return false;
            },
            ms);
        return met;
    }
    bool waitForEnd(int ms) {
        return waitFor([this] { return ended_; }, ms);
    }

    pid_t pid = -1;
    int status_ = 0;

private:
    QString output_;
    int master_ = -1;
    bool ended_ = false;
    QByteArray screen_;
};

} // namespace

// One Ctrl-C ends the run after its current documents; a second, while the
// offices are held in the middle of theirs, ends it and its offices at once.
// Either way no office, page in the making or office's file is left.
TEST(BatchTool, ctrlCStopsTheRunLeavingOnlyWholePagesAndNoOfficeOnceOrTwiceAlsoWithJobs) {
    for (const bool twice : {false, true}) {
        SCOPED_TRACE(twice ? "twice, two jobs" : "once");
        QTemporaryDir in, out, logs;
        const int count = 60;
        fillFolder(in.path(), count, "two_images.doc");
        const QString report = writeFile(logs.filePath("report"), "earlier report");
        const QStringList jobs = twice ? QStringList{"--jobs", "2"} : QStringList();
        TerminalRun run(
            jobs + QStringList{"--not-filtered", "--report", report, in.path(), out.path()},
            logs.filePath("stdout"));
        QList<pid_t> offices;
        ASSERT_TRUE(run.waitFor(
            [&] {
                offices = officesOf(run.pid);
                return converted(run.lines()) >= 2 && offices.size() == (twice ? 2 : 1);
            },
            180000))
            << run.screen().toStdString() << "an office for each job";
        if (twice) {
            for (pid_t office : offices)
                ::kill(office, SIGSTOP);
            QThread::msleep(1000); // until each office's document waits on it
            run.type("\x03");
            QThread::msleep(300); // two Ctrl-Cs at once would arrive as one
        }
        run.type("\x03");
        ASSERT_TRUE(run.waitForEnd(twice ? 10000 : 120000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return officesOf(run.pid).isEmpty(); }, 10000))
            << "an office outlived the run";
        EXPECT_EQ(leftovers(out.path()), QStringList());
        EXPECT_EQ(leftovers({}, run.pid), QStringList());
        const QStringList pages = QDir(out.path()).entryList({"*.htm"}, QDir::Files);
        for (const QString& page : pages)
            EXPECT_TRUE(readFile(out.filePath(page)).contains("</html>")) << page.toStdString();
        if (twice) {
            // The report grows beside the earlier one, which a run that dies
            // leaves as it was.
            EXPECT_TRUE(WIFSIGNALED(run.status_) && WTERMSIG(run.status_) == SIGINT);
            EXPECT_EQ(readFile(report), "earlier report");
            EXPECT_FALSE(readFile(report + ".partial").isEmpty());
            continue;
        }
        EXPECT_TRUE(WIFEXITED(run.status_) && WEXITSTATUS(run.status_) == 1)
            << run.screen().toStdString();
        const QStringList lines = run.lines();
        const auto match =
            QRegularExpression("^(\\d+) converted, 0 failed, (\\d+) not converted \\(stopped\\)$")
                .match(lines.value(lines.size() - 1));
        ASSERT_TRUE(match.hasMatch()) << lines.join('\n').toStdString();
        const int done = match.captured(1).toInt(), left = match.captured(2).toInt();
        EXPECT_EQ(done, converted(lines));
        EXPECT_EQ(done, pages.size());
        EXPECT_EQ(done + left, count);
        EXPECT_GT(left, 0);
        EXPECT_TRUE(run.screen().contains(
            QStringLiteral("stopped: %1 document(s) not converted").arg(left)))
            << run.screen().toStdString();
        const QJsonObject closing =
            QJsonDocument::fromJson(readFile(report).trimmed().split('\n').last()).object();
        EXPECT_EQ(closing["ended_by"], "stopped");
        EXPECT_EQ(closing["not_converted"], left);
    }
}

TEST(BatchTool, anOfficeThatDoesNotStartIsStartedAgainAndTheStatusFollowsTheDocuments) {
    // An installation like the real one whose office fails its first two
    // starts: the first office's session tries twice and cannot start it;
    // started again, it can, and so can the office beside it. The confined
    // office writes nothing but its profile and the font cache, so that is
    // where the stand-in counts its starts, under names of this run.
    QTemporaryDir office, in, out;
    const QString real = qp::office::findInstallation();
    ASSERT_FALSE(real.isEmpty());
    for (const QString& folder : {QString(), QStringLiteral("program")}) {
        const QDir from(QDir(real).filePath(folder)), to(QDir(office.path()).filePath(folder));
        ASSERT_TRUE(QDir().mkpath(to.path()));
        for (const QString& name : from.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            EXPECT_TRUE(name == "program" || name == "soffice.bin" ||
                        QFile::link(from.filePath(name), to.filePath(name)));
    }
    const QString count =
        qp::office::userFontCacheDir() + "/.start-" + QFileInfo(office.path()).fileName();
    const QString soffice = writeFile(
        office.filePath("program/soffice.bin"),
        QStringLiteral("#!/bin/sh\nmkdir '%1-1' 2>/dev/null && exit 1\n"
                       "mkdir '%1-2' 2>/dev/null && exit 1\nexec '%2/program/soffice.bin' \"$@\"\n")
            .arg(count, real)
            .toUtf8());
    ASSERT_TRUE(QFile::setPermissions(soffice, QFile::ReadOwner | QFile::ExeOwner));
    fillFolder(in.path(), 2);
    qputenv("QUILLPG_OFFICE_DIR", QFile::encodeName(office.path()));
    const ToolRun run = batch({"--jobs", "2", in.path(), out.path()});
    qunsetenv("QUILLPG_OFFICE_DIR");
    QDir().rmdir(count + "-1");
    EXPECT_TRUE(QDir().rmdir(count + "-2")) << "the failing office never ran";
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines.value(run.lines.size() - 1), "2 converted, 0 failed");
    EXPECT_TRUE(run.errors.contains("the office did not start: ")) << run.errors.toStdString();
}
