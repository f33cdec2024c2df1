// quillpg-batch's own logic (options, exit statuses, page names, reports,
// trees, skipping up-to-date pages, names printed safely), run in this
// process on the fake word processor. What the real office does under the
// tool is in office/batch_tool_test.cpp.

#include "BatchRun.h"
#include "ConsoleText.h"
#include "FakeWordServer.h"
#include "LoopEngine.h"
#include "QtPrinters.h"
#include "TestFiles.h"

#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace qp;
using namespace qp::batch;
using namespace qp::test;

namespace {

struct ToolRun {
    int status = -1;
    QStringList lines; // standard output
    QString errors;    // standard error
};

// Runs the tool in this process, its standard output (or `out`) and error
// caught, converting on the fake word processor as many documents at once as
// --jobs asks.
ToolRun batch(const QStringList& arguments, const QString& out = {}) {
    const int capacity = std::max(1, arguments.value(arguments.indexOf("--jobs") + 1).toInt());
    QTemporaryFile output, errors;
    EXPECT_TRUE(output.open() && errors.open());
    std::fflush(nullptr);
    const int saved[2]{::dup(1), ::dup(2)};
    const int to = out.isEmpty() ? -1 : ::open(QFile::encodeName(out).constData(), O_WRONLY);
    ::dup2(to >= 0 ? to : output.handle(), 1);
    ::dup2(errors.handle(), 2);
    const int status = batch::runTool(arguments, [capacity](const ObjectRef& word) {
        return std::make_unique<LoopEngine>(word, capacity);
    });
    std::fflush(nullptr);
    for (int fd : {1, 2})
        ::dup2(saved[fd - 1], fd);
    for (int fd : {saved[0], saved[1], to})
        if (fd >= 0)
            ::close(fd);
    return {status,
            QString::fromLocal8Bit(readFile(output.fileName())).split('\n', Qt::SkipEmptyParts),
            QString::fromLocal8Bit(readFile(errors.fileName()))};
}

// The objects of a report, one a line; the closing one last.
QList<QJsonObject> reportObjects(const QByteArray& report) {
    QList<QJsonObject> objects;
    for (const QByteArray& line : report.split('\n'))
        if (!line.isEmpty())
            objects << QJsonDocument::fromJson(line).object();
    return objects;
}

// A document's report object by the file name of its source.
QJsonObject reportOf(const QList<QJsonObject>& objects, const QString& name) {
    for (const QJsonObject& object : objects)
        if (object["source"].toString().endsWith('/' + name))
            return object;
    return {};
}

// Every file and folder below the folder, hidden ones included, sorted.
QStringList tree(const QString& folder) {
    QStringList names;
    for (QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        names << QDir(folder).relativeFilePath(it.next());
    names.sort();
    return names;
}

// Takes from this thread (which lists the folders) or gives back root's power
// to read any folder, so that a folder without permissions cannot be read.
void readAnyFolder(bool on) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    ASSERT_EQ(::syscall(SYS_capget, &header, data), 0);
    const quint32 bits = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    data[0].effective =
        on ? data[0].effective | (data[0].permitted & bits) : data[0].effective & ~bits;
    ASSERT_EQ(::syscall(SYS_capset, &header, data), 0);
}

class BatchTool : public ::testing::Test {
protected:
    std::shared_ptr<FakeWordServer> word = FakeWordServer::install();
};

// What bash makes of a word, printed byte for byte.
QByteArray bashWord(const QString& word) {
    QProcess bash;
    bash.start("bash", {"-c", "printf %s " + word});
    bash.waitForFinished();
    return bash.readAllStandardOutput();
}

// No name can split a printed line or forge one: control characters are
// shown in the shell's escaped form, which bash reads back as the name.
TEST(ConsoleText, namesWithControlCharactersAreShownInTheShellsEscapedForm) {
    const std::vector<std::pair<QString, QString>> cases{
        {"/in/report final.doc", "/in/report final.doc"},
        {"/in/l'été.doc", "/in/l'été.doc"},
        {"/in/a\nb.doc", "$'/in/a\\nb.doc'"},
        {QString::fromUtf8("/in/\x1b[2J\x7f\x01.doc"), "$'/in/\\033[2J\\177\\001.doc'"},
        {"/in/it's\n\\.doc", "$'/in/it\\'s\\n\\\\.doc'"},
        // A line separator, a C1 control and a right-to-left override.
        {QString::fromUtf8("/in/a\u2028b\u0085c\u202Ed.doc"),
         "$'/in/a\\342\\200\\250b\\302\\205c\\342\\200\\256d.doc'"},
        {"$'x'", "$'$\\'x\\''"}, // a plain name that looks escaped is escaped too
    };
    for (const auto& [name, shown] : cases) {
        EXPECT_EQ(escapedName(name), shown) << name.toStdString();
        if (shown.startsWith("$'")) {
            EXPECT_EQ(bashWord(shown), name.toUtf8()) << shown.toStdString();
        }
    }
    EXPECT_EQ(convertedLine("/in/a\nb.doc", "/out/a\nb.htm"),
              "Converted $'/in/a\\nb.doc' -> $'/out/a\\nb.htm'");
    EXPECT_EQ(failedLine("/in/x\n.doc", "cannot open\n/in/x\n.doc\x1b[1m"),
              "Failed $'/in/x\\n.doc': cannot open /in/x .doc [1m");
}

TEST_F(BatchTool, badUsageOrUnusableFoldersExitWithTwoAFolderWithoutDocumentsWithThree) {
    QTemporaryDir dir, in, out, logs, none, empty;
    writeFile(dir.filePath("file"));
    for (int i = 0; i < 12; ++i)
        writeFile(none.filePath(QStringLiteral("n%1.docx").arg(i)));
    writeFile(in.filePath("a.doc"), "document");
    writeFile(out.filePath("a.htm"), "earlier page");
    const QString src = in.path(), dst = out.path();
    const std::vector<std::pair<QStringList, QString>> cases{
        {{"--bogus", src, dst}, "unknown option --bogus"},
        {{src}, "SOURCE_FOLDER and a TARGET_FOLDER"},
        {{"--shard", "3/2", src, dst}, "--shard"},
        {{"--jobs", "0", src, dst}, ""},
        {{"--office-memory", "100M", src, dst}, "at least 256M"},
        {{dir.filePath("missing"), dst}, dir.filePath("missing") + " does not exist"},
        {{src, dir.filePath("file/pages")}, "cannot be created"},
        {{src, dir.filePath("file")}, "is not a folder"},
        // The report may be neither a document of the run nor the name of a
        // page that the run writes, and must be writable.
        {{"--report", in.filePath("a.doc"), src, dst},
         "is " + in.filePath("a.doc") + ", a document of this run"},
        {{"--report", out.filePath("A.htm"), src, dst},
         "would be replaced by the page of " + in.filePath("a.doc")},
        {{"--report", "/dev/full", none.path(), empty.path()},
         "the report /dev/full could not be written: No space left"},
    };
    for (const auto& [arguments, error] : cases) {
        const ToolRun run = batch(arguments);
        EXPECT_EQ(run.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.errors.contains(error)) << run.errors.toStdString();
    }
    EXPECT_EQ(readFile(in.filePath("a.doc")), "document");
    EXPECT_EQ(readFile(out.filePath("a.htm")), "earlier page");
    const ToolRun toFull = batch({"--report", "-", none.path(), empty.path()}, "/dev/full");
    EXPECT_EQ(toFull.status, 2);
    EXPECT_TRUE(toFull.errors.contains(
        "the report on standard output could not be written: No space left"));

    // A folder without listed documents: standard error says what it holds;
    // a report there replaces the earlier one when the run ends.
    const QString said = "No documents with the listed extensions (doc) in " + none.path() +
                         "; 12 other files (docx: 12)";
    writeFile(logs.filePath("report"), "earlier report");
    for (const QStringList& jobs : {QStringList(), QStringList{"--jobs", "2"}}) {
        const ToolRun run = batch(
            jobs + QStringList{"--report", logs.filePath("report"), none.path(), empty.path()});
        EXPECT_EQ(run.status, 3) << run.errors.toStdString();
        EXPECT_EQ(run.errors.count(said), 1) << run.errors.toStdString();
        EXPECT_EQ(run.lines.last(), "0 converted, 0 failed");
        EXPECT_EQ(reportObjects(readFile(logs.filePath("report"))).value(0)["folders_not_read"], 0);
    }
    EXPECT_EQ(QDir(logs.path()).entryList(QDir::Files), QStringList{"report"});
    EXPECT_TRUE(tree(empty.path()).isEmpty());
}

TEST_F(BatchTool, collidingAndControlNamesGetPagesOfTheirOwnTheSameInSlicesAndJobsAsReported) {
    QTemporaryDir work;
    // Folders whose names start with a dash, given after "--".
    const QDir in(work.filePath("-in"));
    // Two documents whose pages would both be pics.htm, a .doc and an .rtf
    // that would share x.htm, a name that is not UTF-8, a document that
    // cannot be opened, one with a warning, and names with a newline and a
    // forged line, a tab and an escape sequence, or that look escaped.
    for (const QString name : {"pics.doc", "pics.DOC", "x.doc", "x.rtf", "locked.doc", "linked.doc",
                               "a\nFailed forged.doc: forged\n.doc", "b\t\x1b[2Jc.doc", "$'d'.doc"})
        writeFile(in.filePath(name));
    const QByteArray raw = QFile::encodeName(in.path()) + "/caf\xe9.doc";
    ASSERT_EQ(::link(QFile::encodeName(in.filePath("x.doc")).constData(), raw.constData()), 0);
    word->failCall("Documents.Open", "locked.doc");
    word->picturesPerPage = 1;
    const QString notFound = "picture not found: C:\\Documents\\Pictures\\photo1234567.png";
    word->onCall = [&](const FakeCall& call) {
        if (call.member == "Documents.Open")
            word->saveWarnings = call.text().contains("linked.doc") ? notFound : QString();
    };
    const QStringList options{"--not-filtered", "--extension", "doc", "--extension", "rtf"};
    const QString out = work.filePath("-out");
    const QDir pagesDir(out);
    const auto page = [&](const QString& name) {
        return pagesDir.filePath(name);
    };
    // The page of each converted document, with its picture named after it;
    // Qt does not list the page whose name is not UTF-8.
    QStringList pages{"caf%E9_html_1.png"};
    for (const QString base : {"$'d'", "a\nFailed forged.doc: forged\n", "b\t\x1b[2Jc", "linked",
                               "pics (2)", "pics", "x (2)", "x"})
        pages << base + ".htm" << base + "_html_1.png";
    pages.sort();
    const QStringList expected{
        "Converted $'" + in.path() + "/a\\nFailed forged.doc: forged\\n.doc' -> $'" + out +
            "/a\\nFailed forged.doc: forged\\n.htm'",
        "Converted $'" + in.path() + "/b\\t\\033[2Jc.doc' -> $'" + out + "/b\\t\\033[2Jc.htm'",
        "Converted " + in.path() + "/$'d'.doc -> " + page("$'d'.htm"),
        // A name that is not UTF-8 is printed as it is.
        "Converted " + in.path() + "/caf\uFFFD.doc -> " + page("caf\uFFFD.htm"),
        "Converted " + in.filePath("linked.doc") + " -> " + page("linked.htm") + " (" + notFound +
            ")",
        "Converted " + in.filePath("pics.DOC") + " -> " + page("pics.htm"),
        "Converted " + in.filePath("pics.doc") + " -> " + page("pics (2).htm"),
        "Converted " + in.filePath("x.doc") + " -> " + page("x.htm"),
        "Converted " + in.filePath("x.rtf") + " -> " + page("x (2).htm"),
        "Failed " + in.filePath("locked.doc") + ": ", "9 converted, 1 failed"};
    // Alone and with two at once (the report on standard output, the lines
    // on standard error): the same lines, pages and report.
    for (const QStringList& how : {QStringList(), QStringList{"--jobs", "2"}}) {
        SCOPED_TRACE(how.join(' ').toStdString());
        QDir::setCurrent(work.path());
        const ToolRun run =
            batch(options + how + QStringList{"--report", "-", "--", "-in", "-out"});
        QDir::setCurrent(QDir::rootPath());
        QStringList lines = run.errors.split('\n', Qt::SkipEmptyParts);
        // The reasons of failures are the fake's; the offices' lines come in
        // any order.
        lines.replaceInStrings(QRegularExpression("^(Failed .*: ).*$"), "\\1");
        std::sort(lines.begin(), lines.end() - 1);
        EXPECT_EQ(run.status, 1) << run.errors.toStdString();
        EXPECT_EQ(lines, expected);
        EXPECT_EQ(tree(out), pages);
        const QList<QJsonObject> report = reportObjects(run.lines.join('\n').toUtf8());
        ASSERT_EQ(report.size(), 11);
        EXPECT_EQ(report.last(), QJsonObject({{"converted", 9},
                                              {"failed", 1},
                                              {"unchanged", 0},
                                              {"not_converted", 0},
                                              {"folders_not_read", 0},
                                              {"ended_by", QJsonValue::Null}}));
        const QJsonObject x = reportOf(report, "x.doc");
        EXPECT_EQ(x["status"], "converted");
        EXPECT_EQ(x["page"], page("x.htm"));
        EXPECT_EQ(x["renamed"], QJsonValue::Null);
        EXPECT_EQ(x["warnings"], QJsonValue::Null);
        EXPECT_EQ(x["error"], 0);
        // The page and its picture.
        EXPECT_EQ(x["bytes"].toInteger(), QFileInfo(page("x.htm")).size() + 3);
        EXPECT_EQ(reportOf(report, "linked.doc")["warnings"], notFound);
        const QJsonObject collided = reportOf(report, "x.rtf");
        EXPECT_EQ(collided["page"], page("x (2).htm"));
        EXPECT_EQ(collided["renamed"], "x (2).htm");
        const QJsonObject locked = reportOf(report, "locked.doc");
        EXPECT_EQ(locked["status"], "failed");
        EXPECT_EQ(locked["page"], QJsonValue::Null);
        EXPECT_TRUE(locked["reason"].toString().contains("refused"))
            << locked["reason"].toString().toStdString();
        EXPECT_NE(locked["error"].toInteger(), 0);
        // The name's bytes come back whole from base64.
        const QJsonObject notUtf8 = reportOf(report, QStringLiteral("caf\uFFFD.doc"));
        EXPECT_EQ(QByteArray::fromBase64(notUtf8["source_base64"].toString().toLatin1()), raw);
        EXPECT_EQ(QByteArray::fromBase64(notUtf8["page_base64"].toString().toLatin1()),
                  QFile::encodeName(out) + "/caf\xe9.htm");
        ::unlink((QFile::encodeName(out) + "/caf\xe9.htm").constData());
        ASSERT_TRUE(QDir(out).removeRecursively());
    }
    // Two slices of the listing: every page once, named as from the whole.
    QDir::setCurrent(work.path());
    for (const char* slice : {"1/2", "2/2"}) {
        const ToolRun run = batch(options + QStringList{"--shard", slice, "--", "-in", "-out"});
        EXPECT_EQ(run.status, run.lines.filter("Failed ").isEmpty() ? 0 : 1) << slice;
    }
    QDir::setCurrent(QDir::rootPath());
    EXPECT_EQ(tree(out), pages);
    ::unlink((QFile::encodeName(out) + "/caf\xe9.htm").constData());
    ::unlink(raw.constData());
}

TEST_F(BatchTool, aTreeGoesIntoTheSameSubfoldersAndAgainOnlyWhereADocumentChanged) {
    QTemporaryDir in, out, logs, elsewhere;
    for (const char* name :
         {"a.doc", "sub/b.doc", "sub/deep/c.doc", ".hidden/h.doc", "sub/.h.doc", "locked/x.doc"})
        writeFile(in.filePath(name));
    // A link to a folder is not followed, so nothing is converted twice.
    ASSERT_TRUE(QFile::link(in.filePath("sub"), in.filePath("link")));
    // A FIFO is reported, never opened; a link leading out of the tree is
    // converted only when asked to.
    ASSERT_EQ(::mkfifo(QFile::encodeName(in.filePath("fifo.doc")).constData(), 0600), 0);
    const QString outside =
        QFileInfo(writeFile(elsewhere.filePath("outside.doc"))).canonicalFilePath();
    ASSERT_TRUE(QFile::link(outside, in.filePath("leak.doc")));
    // A folder that cannot be read is counted.
    ASSERT_TRUE(QFile::setPermissions(in.filePath("locked"), {}));
    readAnyFolder(false);
    const QString fifoFailed =
        "Failed " + in.filePath("fifo.doc") + ": not a regular file (a FIFO)";
    const QString lockedFailed =
        "Failed " + in.filePath("locked") + ": cannot be read: Permission denied";
    const ToolRun first = batch({"--jobs", "2", "--recursive", in.path(), out.path()});
    EXPECT_EQ(first.status, 1) << first.errors.toStdString();
    EXPECT_EQ(first.lines.value(first.lines.size() - 1),
              "3 converted, 2 failed, 1 folder not read");
    EXPECT_EQ(first.lines.count(lockedFailed), 1) << first.lines.join('\n').toStdString();
    EXPECT_TRUE(first.lines.contains(fifoFailed));
    EXPECT_TRUE(first.lines.contains("Failed " + in.filePath("leak.doc") +
                                     ": the link leads outside the source folder (" + outside +
                                     ")"));
    EXPECT_EQ(tree(out.path()),
              QStringList({"a.htm", "sub", "sub/b.htm", "sub/deep", "sub/deep/c.htm"}));

    // b.doc changes after its page was written: only it is converted again,
    // with the document that the link leads to.
    const timespec later[2]{{0, UTIME_OMIT}, {::time(nullptr) + 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(in.filePath("sub/b.doc")), later, 0), 0);
    const ToolRun second = batch({"--recursive", "--skip-unchanged", "--follow-links", "--report",
                                  logs.filePath("report"), in.path(), out.path()});
    readAnyFolder(true);
    QFile::setPermissions(in.filePath("locked"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(second.status, 1) << second.errors.toStdString();
    EXPECT_EQ(
        second.lines,
        QStringList(
            {"Unchanged " + in.filePath("a.doc") + " -> " + out.filePath("a.htm"), fifoFailed,
             "Converted " + in.filePath("leak.doc") + " -> " + out.filePath("leak.htm"),
             lockedFailed,
             "Converted " + in.filePath("sub/b.doc") + " -> " + out.filePath("sub/b.htm"),
             "Unchanged " + in.filePath("sub/deep/c.doc") + " -> " + out.filePath("sub/deep/c.htm"),
             "2 converted, 1 failed, 2 unchanged, 1 folder not read"}));
    const QList<QJsonObject> report = reportObjects(readFile(logs.filePath("report")));
    ASSERT_EQ(report.size(), 7);
    EXPECT_EQ(reportOf(report, "c.doc")["status"], "unchanged");
    EXPECT_EQ(reportOf(report, "c.doc")["kind"], "document");
    EXPECT_EQ(report[3], QJsonObject({{"kind", "folder"},
                                      {"status", "failed"},
                                      {"source", in.filePath("locked")},
                                      {"reason", "cannot be read: Permission denied"}}));
    EXPECT_EQ(report.last()["unchanged"], 2);
    EXPECT_EQ(report.last()["folders_not_read"], 1);
}

} // namespace
