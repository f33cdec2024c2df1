// The Mediator and its states with the recording fake word processor: binding,
// the batch job over a folder and the queue of work items.

#include "ErrorNumber.h"
#include "FakeWindows.h"
#include "FakeWordServer.h"
#include "JobWait.h"
#include "LoopEngine.h"
#include "QtPrinters.h"
#include "TestFiles.h"
#include "jobs/BatchState.h"
#include "jobs/Command.h"
#include "jobs/ConverterFactory.h"
#include "jobs/FolderNames.h"
#include "jobs/Mediator.h"
#include "jobs/StateManager.h"

#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace qp;
using namespace qp::test;

namespace {

// What the fake converters saw: the documents in the order they ran and how
// deeply their runs were nested.
struct Probe {
    QStringList order;
    int depth = 0;
    int maxDepth = 0;
    std::function<void()> during; // runs inside each conversion
};

// Converts nothing: records its document and asks for the next document at
// its end, as the real converters do.
class FakeConverter : public DispatchObject {
public:
    FakeConverter(Probe& probe, Mediator& mediator) {
        addMethod("init", {"fileName"}, [this](const BoundArguments& args) {
            fileName_ = args.required(0).toText();
            return Variant();
        });
        addMethod("Execute", {}, [this, &probe, &mediator](const BoundArguments&) {
            probe.maxDepth = std::max(probe.maxDepth, ++probe.depth);
            probe.order << fileName_;
            if (probe.during)
                probe.during();
            NextDocumentCommand next;
            next.init(mediator);
            static_cast<Command&>(next).Execute();
            --probe.depth; // after the next document: nesting would show
            return Variant();
        });
    }
    QString className() const override { return "FakeConverter"; }

private:
    QString fileName_;
};

class States : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid() && QDir().mkpath(source) && QDir().mkpath(target));
        ASSERT_TRUE(mediator.init());
        mediator.SetSourceFolder(source);
        mediator.SetTargetFolder(target);
    }
    QString in(const QString& name) const { return source + '/' + name; }
    QString out(const QString& name) const { return target + '/' + name; }
    void touchAll(const QStringList& names) {
        for (const QString& name : names)
            writeFile(in(name));
    }
    // "STATUS: DETAIL" of each document's row.
    QStringList rows(const QStringList& names) const {
        QStringList result;
        for (const QString& name : names)
            result << windows.documents.status(in(name)) + ": " +
                          windows.documents.detail(in(name));
        return result;
    }
    // Stops the job, or closes, while the office saves the page named so.
    void whileSaving(const QString& page, std::function<void()> action) {
        word->onCall = [page, action](const FakeCall& call) {
            if (call.member == u"ActiveDocument.SaveAs" && call.argument("FileName").endsWith(page))
                action();
        };
    }
    // "Start" of the Batch Documents dialog.
    void runBatch() {
        mediator.startBatchState();
        StartJobCommand start;
        start.init(mediator);
        static_cast<Command&>(start).Execute();
        ASSERT_TRUE(waitForJobs(mediator));
    }
    QString lastEvent() const { return windows.reports.events.last(); }

    QTemporaryDir folder;
    QString source = folder.filePath("in");
    QString target = folder.filePath("out");
    std::shared_ptr<FakeWordServer> word = FakeWordServer::install();
    FakeWindows windows;
    Mediator mediator{windows, windows.dialogs};
    Probe probe;
};

} // namespace

TEST(MediatorBinding, aRunningWordProcessorIsTakenBeforeANewOneIsCreated) {
    auto word = FakeWordServer::install();
    FakeWindows windows;
    windows.documents.addRow("old", "old");
    Mediator first(windows, windows.dialogs);
    ASSERT_TRUE(first.init()); // none running yet
    EXPECT_EQ(word->bindings, QStringList({"get", "create"}));
    EXPECT_EQ(first.stateManager().currentState(), first.stateManager().idleState());
    EXPECT_EQ(windows.documents.rowCount(), 0);
    Mediator second(windows, windows.dialogs);
    ASSERT_TRUE(second.init());
    EXPECT_EQ(word->bindings, QStringList({"get", "create", "get"}));
}

TEST_F(States, aStopEndsTheJobAfterItsDocumentAndNextDocumentNeverNestsConversions) {
    mediator.converters().setBatch(
        [this] { return std::make_shared<FakeConverter>(probe, mediator); });
    touchAll({"a.doc", "b.doc", "c.doc"});
    probe.during = [this] {
        mediator.stopJob();
    };
    runBatch();
    EXPECT_EQ(probe.order, QStringList({in("a.doc")}));
    EXPECT_EQ(lastEvent(), "finished 1 converted, 0 failed, 2 not converted (stopped)");
    EXPECT_FALSE(static_cast<BatchState*>(mediator.stateManager().batchState())
                     ->workQueue()
                     ->hasMoreElements());
    // The next job is not stopped by the last one's stop; "Next Document"
    // pressed twice during each conversion keeps one at a time, oldest first.
    probe.order.clear();
    probe.during = [this] {
        mediator.nextDocument();
        mediator.nextDocument();
    };
    runBatch();
    EXPECT_EQ(probe.order, QStringList({in("a.doc"), in("b.doc"), in("c.doc")}));
    EXPECT_EQ(probe.maxDepth, 1);
    EXPECT_EQ(lastEvent(), "finished 3 converted, 0 failed");
    mediator.stopJob(); // with no job running: changes nothing
    runBatch();
    EXPECT_EQ(lastEvent(), "finished 3 converted, 0 failed");
}

TEST_F(States,
       withTwoOfficesTheNextDocumentsStartBesideTheFirstStopLetsThemFinishCloseDropsTheWaiting) {
    mediator.setEngineMaker(
        [](const ObjectRef& fake) { return std::make_unique<LoopEngine>(fake, 2); });
    touchAll({"a.doc", "b.doc", "c.doc", "d.doc", "e.doc"});
    whileSaving("a.htm", [this] { mediator.stopJob(); });
    runBatch();
    // Two convert and one waits beside them; the stop lets all three finish.
    QStringList expected{"job 5"};
    for (const QString name : {"a", "b", "c"})
        expected << QString("started %1 %2/5").arg(in(name + ".doc")).arg(expected.size());
    for (const QString name : {"a", "b", "c"})
        expected << "converted " + in(name + ".doc") + " -> " + out(name + ".htm");
    EXPECT_EQ(windows.reports.events,
              expected << "finished 3 converted, 0 failed, 2 not converted (stopped)");
    EXPECT_FALSE(QFile::exists(out("d.htm")));
    // Close lets the documents that an office took finish, and drops the
    // one waiting for an office.
    whileSaving("a.htm", [this] { mediator.startIdleState(); });
    runBatch();
    EXPECT_EQ(lastEvent(), "finished 1 converted, 0 failed, 4 not converted (closed)");
}

TEST_F(States, aFailingDocumentIsMarkedAndClosedAgainAndTheBatchGoesOn) {
    touchAll({"a.doc", "b.doc", "c.doc", "d.doc"});
    // b cannot be opened; c is opened but cannot be saved; d's warnings show
    // in its row after the page and reach the reporter.
    word->failCall("Documents.Open", "b.doc");
    word->failCall("ActiveDocument.SaveAs", "c.htm");
    word->saveWarnings = "picture not found: C:\\a.png\npicture not found: /b.png";
    runBatch();
    const QString reason = "The fake word processor refused Documents.Open";
    EXPECT_EQ(windows.documents.keys(),
              QStringList({in("a.doc"), in("b.doc"), in("c.doc"), in("d.doc")}));
    EXPECT_EQ(
        rows({"a.doc", "b.doc", "d.doc"}),
        QStringList({"Converted: " + out("a.htm") + "\n" + word->saveWarnings, "Failed: " + reason,
                     "Converted: " + out("d.htm") + "\n" + word->saveWarnings}));
    EXPECT_EQ(windows.documents.status(in("c.doc")), "Failed");
    const QStringList& events = windows.reports.events;
    const qsizetype warned = events.indexOf("warned " + in("d.doc") + ": " + word->saveWarnings);
    ASSERT_GE(warned, 0);
    EXPECT_EQ(events.at(warned + 1), "converted " + in("d.doc") + " -> " + out("d.htm"));
    EXPECT_EQ(word->savedPages, QStringList({out("a.htm"), out("d.htm")}));
    EXPECT_TRUE(events.contains("failed " + in("b.doc") + ": " + reason));
    EXPECT_EQ(lastEvent(), "finished 2 converted, 2 failed");
    EXPECT_EQ(windows.busyChanges, std::vector<bool>({true, false}));
    // The document that failed after opening was closed again.
    EXPECT_EQ(word->openDocuments(), 0);
    const QStringList calls = word->callTexts();
    const qsizetype failedSave = calls.indexOf(FakeCall::saveAs(out("c.htm"), 8));
    ASSERT_GE(failedSave, 0);
    EXPECT_EQ(calls.at(failedSave + 1), "ActiveWindow.Close()");
}

TEST_F(States, theBatchConvertsTheListedFolderInOrderByBareNameIntoTheTarget) {
    touchAll({"c.DOC", "b.txt", "a.b.doc", ".hidden.doc"});
    QDir(source).mkdir("x.doc");
    windows.settings().setPageFormat(PageFormat::Filtered);
    // The first command's argument (the single-document path) plays no part;
    // a target folder that already ends with the separator gets no second one.
    mediator.SetSourceFile(folder.filePath("elsewhere.doc"));
    mediator.SetTargetFolder(target + "/");
    runBatch();
    EXPECT_EQ(windows.documents.keys(), QStringList({in("a.b.doc"), in("c.DOC")}));
    EXPECT_EQ(word->callTexts().mid(0, 5),
              QStringList({"ChangeFileOpenDirectory(\"" + source + "\")",
                           "Documents.Open(FileName:=\"a.b.doc\")", "application.Visible = True",
                           FakeCall::saveAs(out("a.b.htm"), 10), "ActiveWindow.Close()"}));
    EXPECT_EQ(word->savedPages, QStringList({out("a.b.htm"), out("c.htm")}));
    EXPECT_EQ(windows.documents.status(in("a.b.doc")), "Converted");
    EXPECT_GE(windows.mainWindowShown, 1);
    EXPECT_EQ(windows.reports.events.first(), "job 2");
    EXPECT_TRUE(windows.reports.events.contains("started " + in("c.DOC") + " 2/2"));
}

TEST_F(States, whatIsNamedLikeADocumentButCannotBeConvertedFailsWithItsReasonUnopened) {
    touchAll({"real.doc"});
    ASSERT_EQ(::mkfifo(QFile::encodeName(in("fifo.doc")), 0600), 0); // opening it would hang
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{AF_UNIX, {}};
    qstrncpy(address.sun_path, QFile::encodeName(in("sock.doc")), sizeof address.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(sock);
    const QString secret = writeFile(folder.filePath("secret.txt"));
    for (const auto& [name, linkTarget] :
         std::vector<std::pair<QString, QString>>{{"zero.doc", "/dev/zero"},
                                                  {"dangling.doc", "missing"},
                                                  {"loop.doc", "loop.doc"},
                                                  {"leak.doc", secret},
                                                  {"inside.doc", "real.doc"},
                                                  {"folder-link.doc", folder.path()}})
        ASSERT_TRUE(QFile::link(linkTarget, in(name)));
    QDir(source).mkdir("folder.doc");
    const QString notRegular = "Failed: not a regular file (%1)";
    runBatch();
    EXPECT_EQ(rows({"dangling.doc", "fifo.doc", "leak.doc", "loop.doc", "sock.doc", "zero.doc"}),
              QStringList({notRegular.arg("a dangling link"), notRegular.arg("a FIFO"),
                           "Failed: the link leads outside the source folder (" + secret + ")",
                           notRegular.arg("a link loop"), notRegular.arg("a socket"),
                           "Failed: the link leads outside the source folder (/dev/zero)"}));
    EXPECT_EQ(windows.documents.rowCount(), 8); // no folder, and no link to one
    EXPECT_EQ(word->savedPages, QStringList({out("inside.htm"), out("real.htm")}));
    EXPECT_EQ(lastEvent(), "finished 2 converted, 6 failed");
    // Links followed anywhere: a device is still no document.
    windows.files.setLinkScope({}, true);
    runBatch();
    EXPECT_EQ(rows({"leak.doc", "zero.doc"}),
              QStringList({"Converted: " + out("leak.htm"), notRegular.arg("a device")}));
}

namespace {

// Makes a folder read-only, for root too (immutable), or writable again;
// false when this file system cannot.
bool setWritable(const QString& folder, bool writable) {
    if (::geteuid() != 0)
        return ::chmod(QFile::encodeName(folder).constData(), writable ? 0700 : 0500) == 0;
    return QProcess::execute("chattr", {writable ? "-i" : "+i", folder}) == 0;
}

// Every name in the folder, hidden ones included, sorted.
QStringList everything(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

TEST_F(States, documentsWhosePagesCollideGetTheirOwnPageTheSameInEverySlice) {
    windows.settings().setExtensions({"doc", "rtf"});
    touchAll({"report.doc", "Report.DOC", "report.DOC", "x.doc", "x.rtf"});
    writeFile(out("Report.htm"), "earlier run"); // replaced without a question
    runBatch();
    // Listed ignoring case, then by case: Report.DOC, report.DOC, report.doc.
    const QStringList names{"Report.DOC", "report.DOC", "report.doc", "x.doc", "x.rtf"};
    const QStringList pages{out("Report.htm"), out("report.htm"), out("report (2).htm"),
                            out("x.htm"), out("x (2).htm")};
    EXPECT_EQ(word->savedPages, pages);
    for (int i = 0; i < names.size(); ++i) {
        EXPECT_EQ(rows({names[i]}), QStringList{"Converted: " + pages[i]});
        EXPECT_TRUE(
            windows.reports.events.contains("converted " + in(names[i]) + " -> " + pages[i]));
    }
    EXPECT_EQ(everything(target),
              QStringList({"Report.htm", "report (2).htm", "report.htm", "x (2).htm", "x.htm"}));
    EXPECT_EQ(readFile(out("Report.htm")), word->pageContent);
    // The first of two slices names its pages from the whole listing.
    const auto run = [&] {
        word->savedPages.clear();
        runBatch();
        return word->savedPages;
    };
    windows.sliceCount = 2;
    EXPECT_EQ(run(), QStringList({pages[0], pages[2], pages[4]}));
    // So does a worker handed single documents: those it passes over just
    // before their turn are neither converted nor counted.
    windows.sliceCount = 1;
    int turn = 0;
    windows.converts = [&](const WorkItem&) {
        return turn++ % 2 == 1;
    };
    EXPECT_EQ(run(), QStringList({pages[1], pages[3]}));
    EXPECT_EQ(lastEvent(), "finished 2 converted, 0 failed");
    // Converted in another order, the documents keep the pages of the listing.
    windows.converts = nullptr;
    windows.order = [](const WorkItem& a, const WorkItem& b) {
        return a.fileName() > b.fileName();
    };
    EXPECT_EQ(run(), QStringList({pages[4], pages[3], pages[2], pages[1], pages[0]}));
    windows.order = nullptr;
    // Into a folder whose file system ignores case (vfat, a Samba share, a
    // casefold folder), the three reports need three names there.
    QStringList examined;
    mediator.setFolderProbe([&](const QString& probed) {
        examined << probed;
        return FolderNames{true, 255};
    });
    EXPECT_EQ(run(), QStringList({out("Report.htm"), out("report (2).htm"), out("report (3).htm"),
                                  out("x.htm"), out("x (2).htm")}));
    EXPECT_EQ(examined, QStringList{target});
}

TEST(FolderNamesProbe, aFolderOfThisFileSystemIsWrittenAndComparesCaseAndLimitsNames) {
    QTemporaryDir folder;
    const FolderNames names = examineFolder(folder.path());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList());        // the private file is gone again
    EXPECT_FALSE(names.ignoresCase); // ext4, tmpfs: case counts
    EXPECT_EQ(names.longestName, 255);
    // A folder to be made is examined in the nearest one above it.
    EXPECT_EQ(examineFolder(folder.filePath("new/deeper")).longestName, 255);
    writeFile(folder.filePath("file"));
    QString reason;
    EXPECT_NE(errorNumberOf([&] { examineFolder(folder.filePath("file/sub")); }, &reason), 0);
    EXPECT_EQ(reason, "The target folder " + folder.filePath("file/sub") + " is not a folder");
    // A vfat file system, where one can be mounted here (through FUSE, so
    // that root is not needed), ignores case.
    const QString mkfs = QStandardPaths::findExecutable("mkfs.vfat", {"/usr/sbin", "/sbin"});
    const QString fusefat = QStandardPaths::findExecutable("fusefat");
    QFile image(folder.filePath("fat.img"));
    const QString mounted = folder.filePath("fat");
    if (mkfs.isEmpty() || fusefat.isEmpty() || !image.open(QIODevice::WriteOnly) ||
        !image.resize(8 << 20) || !QDir().mkpath(mounted) ||
        QProcess::execute(mkfs, {image.fileName()}) != 0 ||
        QProcess::execute(fusefat, {"-o", "rw+", image.fileName(), mounted}) != 0)
        GTEST_SKIP() << "no vfat file system can be mounted here";
    // Unmounted however the check ends, or the folder could not be removed.
    const auto unmount = qScopeGuard([&] { QProcess::execute("fusermount", {"-u", mounted}); });
    EXPECT_TRUE(examineFolder(mounted).ignoresCase);
}

TEST_F(States, aPageAppearsWholeWithItsPicturesOrNotAtAllAndAFailureKeepsTheEarlierPage) {
    touchAll({"a.doc", "b.doc", "c.doc"});
    writeFile(out("b.htm"), "earlier b");
    writeFile(out("c.htm"), "earlier c");
    word->picturesPerPage = 2;
    word->onCall = [&](const FakeCall& call) {
        if (call.member != u"ActiveDocument.SaveAs")
            return;
        const QString staged = call.argument("FileName");
        const QDir stage = QFileInfo(staged).dir();
        // b: the word processor dies half-way, after a picture and part of
        // the page; c: it writes an empty page and reports success.
        if (staged.endsWith("/b.htm")) {
            writeFile(stage.filePath("b_html_1.png"), "png");
            writeFile(staged, "<html><bo");
            throw AutomationError(ErrorNumber::ServerStopped, "office died");
        }
        word->pageContent = staged.endsWith("/c.htm") ? "" : "<html></html>\n";
        // Not a picture of the page (a killed office may write late): stays out.
        writeFile(stage.filePath("stray.png"), "png");
    };
    runBatch();
    EXPECT_EQ(rows({"a.doc", "b.doc"}),
              QStringList({"Converted: " + out("a.htm"), "Failed: office died"}));
    EXPECT_EQ(windows.documents.status(in("c.doc")), "Failed");
    EXPECT_TRUE(windows.documents.detail(in("c.doc")).contains("empty"));
    EXPECT_EQ(lastEvent(), "finished 1 converted, 2 failed");
    // The page was saved into a staging folder inside the target folder.
    EXPECT_TRUE(word->callTexts().contains(FakeCall::saveAs(out("a.htm"), 8)));
    EXPECT_EQ(everything(target),
              QStringList({"a.htm", "a_html_1.png", "a_html_2.png", "b.htm", "c.htm"}));
    EXPECT_EQ(readFile(out("b.htm")) + readFile(out("c.htm")), "earlier bearlier c");
    EXPECT_EQ(word->openDocuments(), 0);

    // A folder in the page's place fails the page, named as such, and its
    // pictures, moved before it, go back. A page whose name would leave no
    // room below the file system's limit for the office's lock file and its
    // pictures' names fails before its document opens: here the first of two
    // documents named alike takes exactly the room there is, the second's
    // "NAME (2).htm" is four bytes longer.
    const QString longName(229, u'n');
    touchAll({"d.doc", longName + ".doc", longName + ".rtf"});
    windows.settings().setExtensions({"doc", "rtf"});
    QDir().mkpath(out("d.htm"));
    word->onCall = nullptr;
    word->pageContent = "<html></html>\n";
    word->calls.clear();
    runBatch();
    EXPECT_EQ(rows({"d.doc", longName + ".doc", longName + ".rtf"}),
              QStringList({"Failed: A folder of that name is in the way: " + out("d.htm"),
                           "Converted: " + out(longName + ".htm"),
                           "Failed: the page's name would be longer than the file system allows "
                           "(233 bytes)"}));
    EXPECT_FALSE(QFile::exists(out("d_html_1.png")));
    EXPECT_FALSE(word->callTexts().join('\n').contains(longName + ".rtf"));
}

TEST_F(States, aFolderWithoutListedDocumentsOrATargetThatCannotBeWrittenIsSaidOnce) {
    const QString none = "No documents with the listed extensions (doc) in " + source;
    EXPECT_EQ(BatchState::findNoDocuments(source, windows.extensionList()),
              none + "; no other files");
    for (int i = 0; i < 12; ++i)
        writeFile(in(QString("n%1.docx").arg(i)));
    touchAll({"README", "notes.txt"});
    const QString expected = none + "; 14 other files (docx: 12, txt: 1, no extension: 1)";
    EXPECT_EQ(BatchState::findNoDocuments(source, windows.extensionList()), expected);
    QString reason;
    EXPECT_EQ(errorNumberOf([this] { runBatch(); }, &reason), ErrorNumber::NoDocuments);
    EXPECT_EQ(reason, expected);
    EXPECT_TRUE(word->calls.empty());
    writeFile(in("a.doc"));
    EXPECT_EQ(BatchState::findNoDocuments(source, windows.extensionList()), QString());
    // A target folder that cannot be written is said once, before the first
    // document, not by every document.
    if (!setWritable(target, false))
        GTEST_SKIP() << "the folder cannot be made read-only here";
    EXPECT_EQ(errorNumberOf([this] { runBatch(); }, &reason), ErrorNumber::PermissionDenied);
    setWritable(target, true);
    EXPECT_TRUE(reason.startsWith("The target folder " + target + " cannot be written: "))
        << reason.toStdString();
    EXPECT_TRUE(word->calls.empty());
    EXPECT_FALSE(windows.reports.events.join('\n').contains("failed"));
}
