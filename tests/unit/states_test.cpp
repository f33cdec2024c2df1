// The Mediator and its states with the recording fake word processor: binding,
// the batch job over a folder and the queue of work items.

#include "FakeWindows.h"
#include "FakeWordServer.h"
#include "QtPrinters.h"
#include "TestFiles.h"
#include "conversion/ConverterFactory.h"
#include "core/Command.h"
#include "core/Mediator.h"
#include "core/StateManager.h"
#include "pipeline/State2.h"

#include <QTemporaryDir>
#include <QTimer>

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
    explicit FakeConverter(Probe& probe) : probe_(probe) {
        addMethod(QStringLiteral("init"), {QStringLiteral("fileName")},
                  [this](const BoundArguments& args) {
                      fileName_ = args.required(0).toText();
                      return Variant();
                  });
        addMethod(QStringLiteral("Execute"), {}, [this](const BoundArguments&) {
            probe_.maxDepth = std::max(probe_.maxDepth, ++probe_.depth);
            probe_.order << fileName_;
            if (probe_.during)
                probe_.during();
            Cmd2 next;
            next.init(General::mediator());
            static_cast<Command&>(next).Execute();
            --probe_.depth; // after the next document: nesting would show
            return Variant();
        });
    }
    QString className() const override { return QStringLiteral("FakeConverter"); }

private:
    Probe& probe_;
    QString fileName_;
};

class States : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        for (const QString& name : {source, target})
            QDir().mkpath(name);
        word = FakeWordServer::install();
        General::setMediator(&mediator);
        ASSERT_TRUE(mediator.init());
        mediator.SetSourceFolder(source);
        mediator.SetTgtFolder(target);
    }
    void TearDown() override {
        ConverterFactory::setBatch({});
        General::setMediator(nullptr);
    }

    void useFakeConverter() {
        ConverterFactory::setBatch([this] { return std::make_shared<FakeConverter>(probe); });
    }
    QString in(const QString& name) const { return source + QLatin1Char('/') + name; }
    void touchAll(const QStringList& names) {
        for (const QString& name : names)
            writeFile(in(name));
    }
    // "Start" of the Batch Documents dialog.
    void runBatch() {
        mediator.StartStateTwo();
        cmd1 start;
        start.init(mediator);
        static_cast<Command&>(start).Execute();
    }
    State2& batchState() { return *static_cast<State2*>(mediator.stateManager().stateTwo()); }

    QTemporaryDir folder;
    QString source = folder.filePath(QStringLiteral("in"));
    QString target = folder.filePath(QStringLiteral("out"));
    std::shared_ptr<FakeWordServer> word;
    FakeWindows windows;
    Mediator mediator{windows};
    Probe probe;
};

} // namespace

TEST(MediatorBinding, aRunningWordProcessorIsTakenBeforeANewOneIsCreated) {
    auto word = FakeWordServer::install();
    FakeWindows windows;
    windows.documents.addRow(QStringLiteral("old"), QStringLiteral("old"));
    Mediator first(windows);
    ASSERT_TRUE(first.init()); // none running yet
    EXPECT_EQ(word->bindings, QStringList({"get", "create"}));
    EXPECT_EQ(first.stateManager().currentState(), first.stateManager().stateThree());
    EXPECT_EQ(windows.documents.rowCount(), 0);
    Mediator second(windows);
    ASSERT_TRUE(second.init());
    EXPECT_EQ(word->bindings, QStringList({"get", "create", "get"}));
}

TEST_F(States, selectingAStateKeepsTheSameObjectsAndTheirQueues) {
    StateManager& states = mediator.stateManager();
    useFakeConverter();
    runBatch();
    State* batch = states.currentState();
    EXPECT_EQ(batch, states.stateTwo());
    Stack* queue = batchState().workStack();
    ASSERT_NE(queue, nullptr);

    mediator.startStateOne();
    EXPECT_EQ(states.currentState(), states.stateOne());
    mediator.StartStateTwo();
    EXPECT_EQ(states.currentState(), batch);
    EXPECT_EQ(batchState().workStack(), queue);
}

TEST_F(States, idleAndEmptyQueuesIgnoreTheSecondCommand) {
    windows.documents.addRow(QStringLiteral("old"), QStringLiteral("old"));
    Cmd2 next;
    next.init(mediator);
    EXPECT_NO_THROW(static_cast<Command&>(next).Execute());
    EXPECT_EQ(windows.documents.rowCount(), 1);

    // Idle: the first command only empties the list.
    writeFile(in(QStringLiteral("a.doc")));
    mediator.Command1(in(QStringLiteral("a.doc")));
    EXPECT_EQ(windows.documents.rowCount(), 0);

    // Before any batch run the batch state has no queue at all.
    mediator.StartStateTwo();
    EXPECT_NO_THROW(mediator.Command2());
    mediator.startStateOne();
    EXPECT_NO_THROW(mediator.Command2());
    EXPECT_TRUE(word->calls.empty());
    EXPECT_TRUE(windows.reports.events.isEmpty());
}

TEST_F(States, anEmptyFolderThenAHundredThousandItemsDrainInOrderWithoutNesting) {
    useFakeConverter();
    runBatch();
    EXPECT_EQ(windows.reports.events, QStringList({"job 0", "finished 0 converted, 0 failed"}));
    EXPECT_EQ(windows.busyChanges, std::vector<bool>({true, false}));
    Stack* queue = batchState().workStack();
    ASSERT_NE(queue, nullptr);
    constexpr int count = 100000;
    for (int i = 0; i < count; ++i) {
        auto item = std::make_shared<ParseObject1>();
        item->init(QString::number(i));
        queue->add(item);
    }
    mediator.Command2();

    ASSERT_EQ(probe.order.size(), count);
    for (int i = 0; i < count; i += 9973)
        EXPECT_EQ(probe.order.at(i), QString::number(i));
    EXPECT_EQ(probe.order.last(), QString::number(count - 1));
    EXPECT_EQ(probe.maxDepth, 1);
    EXPECT_FALSE(queue->hasMoreElements());
    EXPECT_FALSE(batchState().executing());
}

TEST_F(States, nextDocumentDuringAConversionKeepsOneAtATimeOldestFirst) {
    useFakeConverter();
    touchAll({"a.doc", "b.doc", "c.doc", "d.doc"});
    // Every conversion is interrupted by two presses of "Next Document".
    probe.during = [this] {
        mediator.Command2();
        mediator.Command2();
    };
    runBatch();
    EXPECT_EQ(probe.order, QStringList({in("a.doc"), in("b.doc"), in("c.doc"), in("d.doc")}));
    EXPECT_EQ(probe.maxDepth, 1);
}

TEST_F(States, aSecondBatchRunDropsWhatTheFirstLeftQueued) {
    useFakeConverter();
    touchAll({"a.doc", "b.doc", "c.doc"});
    // The first conversion switches to the single-document state, so the
    // batch queue stops being worked off after it.
    probe.during = [this] {
        mediator.startStateOne();
    };
    runBatch();
    EXPECT_EQ(probe.order, QStringList({in("a.doc")}));
    EXPECT_EQ(batchState().workStack()->count(), 2);

    probe.during = nullptr;
    probe.order.clear();
    const QString other = folder.filePath(QStringLiteral("other"));
    writeFile(other + QStringLiteral("/z.doc"));
    mediator.SetSourceFolder(other);
    runBatch();
    EXPECT_EQ(probe.order, QStringList({other + "/z.doc"}));
    EXPECT_FALSE(batchState().workStack()->hasMoreElements());
}

TEST_F(States, aStopWhileTheFolderIsScannedConvertsNothingAndCountsEveryDocument) {
    useFakeConverter();
    touchAll({"a.doc", "b.doc", "c.doc"});
    // Comes during the first yield of the scan.
    QTimer::singleShot(0, [this] { mediator.StopJob(); });
    runBatch();
    EXPECT_TRUE(probe.order.isEmpty());
    EXPECT_EQ(windows.reports.events,
              QStringList({"job 3", "finished 0 converted, 0 failed, 3 not converted (stopped)"}));
    EXPECT_FALSE(batchState().workStack()->hasMoreElements());
    // The next job is not stopped by the last one's stop.
    runBatch();
    EXPECT_EQ(probe.order.size(), 3);
    EXPECT_EQ(windows.reports.events.last(), "finished 3 converted, 0 failed");
    // A stop with no job running changes nothing.
    mediator.StopJob();
    runBatch();
    EXPECT_EQ(windows.reports.events.last(), "finished 3 converted, 0 failed");
}

TEST_F(States, theBatchOpensByBareNameInTheSourceFolderAndSavesIntoTheTarget) {
    writeFile(in("a.b.doc"));
    windows.notFiltered = false;
    // A target folder that already ends with the separator gets no second one.
    mediator.SetTgtFolder(target + "/");
    runBatch();
    EXPECT_EQ(word->callTexts(),
              QStringList({"ChangeFileOpenDirectory(\"" + source + "\")",
                           "Documents.Open(FileName:=\"a.b.doc\")", "application.Visible = True",
                           FakeCall::saveAs(target + "/a.b.htm", 10), "ActiveWindow.Close()"}));
    EXPECT_EQ(windows.documents.status(in("a.b.doc")), "Converted");
    EXPECT_GE(windows.mainWindowShown, 1);
}

TEST_F(States, theMiddleOfThreeFailingIsMarkedAndTheBatchGoesOn) {
    touchAll({"a.doc", "b.doc", "c.doc"});
    word->failCall(QStringLiteral("Documents.Open"), QStringLiteral("b.doc"));
    runBatch();

    const QString reason = QStringLiteral("The fake word processor refused Documents.Open");
    EXPECT_EQ(windows.documents.keys(), QStringList({in("a.doc"), in("b.doc"), in("c.doc")}));
    EXPECT_EQ(windows.documents.status(in("a.doc")), "Converted");
    EXPECT_EQ(windows.documents.status(in("b.doc")), "Failed");
    EXPECT_EQ(windows.documents.detail(in("b.doc")), reason);
    EXPECT_EQ(windows.documents.status(in("c.doc")), "Converted");
    EXPECT_EQ(word->savedPages, QStringList({target + "/a.htm", target + "/c.htm"}));
    EXPECT_TRUE(windows.reports.events.contains("failed " + in("b.doc") + ": " + reason));
    EXPECT_EQ(windows.reports.events.last(), "finished 2 converted, 1 failed");
    EXPECT_EQ(windows.busyChanges, std::vector<bool>({true, false}));
}

TEST_F(States, aDocumentThatFailsAfterOpeningIsClosedAgain) {
    touchAll({"a.doc", "b.doc"});
    word->failCall(QStringLiteral("ActiveDocument.SaveAs"), QStringLiteral("a.htm"));
    runBatch();
    EXPECT_EQ(word->openDocuments(), 0);
    EXPECT_EQ(windows.documents.status(in("a.doc")), "Failed");
    EXPECT_EQ(windows.documents.status(in("b.doc")), "Converted");
    const QStringList calls = word->callTexts();
    const qsizetype failedSave = calls.indexOf(FakeCall::saveAs(target + "/a.htm", 8));
    ASSERT_GE(failedSave, 0);
    EXPECT_EQ(calls.at(failedSave + 1), "ActiveWindow.Close()");
}

TEST_F(States, theWordProcessorsWarningsShowInTheRowAndReachTheReporter) {
    touchAll({"a.doc"});
    word->saveWarnings = QStringLiteral("picture not found: C:\\a.png\npicture not found: /b.png");
    runBatch();
    EXPECT_EQ(windows.documents.status(in("a.doc")), "Converted");
    EXPECT_EQ(windows.documents.detail(in("a.doc")), word->saveWarnings);
    const qsizetype warned = windows.reports.events.indexOf("warned " + in("a.doc") + ": " +
                                                            word->saveWarnings);
    ASSERT_GE(warned, 0);
    EXPECT_EQ(windows.reports.events.at(warned + 1),
              "converted " + in("a.doc") + " -> " + target + "/a.htm");
}

TEST_F(States, theBatchConvertsTheListedFolderInOrderWhateverItIsGiven) {
    touchAll({"c.DOC", "b.txt", "a.doc", ".hidden.doc"});
    QDir(source).mkdir(QStringLiteral("x.doc"));
    // The first command's argument (the single-document path) plays no part.
    mediator.SetSourceFile(folder.filePath(QStringLiteral("elsewhere.doc")));
    runBatch();
    EXPECT_EQ(windows.documents.keys(), QStringList({in("a.doc"), in("c.DOC")}));
    EXPECT_EQ(word->savedPages, QStringList({target + "/a.htm", target + "/c.htm"}));
    EXPECT_EQ(windows.reports.events.first(), "job 2");
    EXPECT_TRUE(windows.reports.events.contains("started " + in("c.DOC") + " 2/2"));
}

TEST(FileListing, listsFilesSortedIgnoringCaseAndGivesNoSecondSeparator) {
    QTemporaryDir folder;
    for (const char* name : {"b.txt", "C.doc", "a.doc"})
        writeFile(folder.filePath(QString::fromLatin1(name)));
    FileList files;
    files.setPath(folder.path() + QLatin1Char('/'));
    EXPECT_EQ(files.path(), folder.path());
    QStringList names;
    for (int i = 0; i < files.listCount(); ++i) {
        files.setListIndex(i);
        names << files.fileName();
    }
    EXPECT_EQ(names, QStringList({"a.doc", "b.txt", "C.doc"}));
    EXPECT_THROW(files.setListIndex(3), AutomationError);
    EXPECT_THROW(files.setPath(folder.filePath("a.doc")), AutomationError);
    EXPECT_EQ(files.listCount(), 0);
    EXPECT_EQ(files.fileName(), QString());

    // The root folder already ends with the separator.
    files.setPath(QStringLiteral("/"));
    EXPECT_EQ(files.path(), "/");
    EXPECT_EQ(joinPath("/", "a.doc"), "/a.doc");
    EXPECT_EQ(joinPath("/in", "a.doc"), "/in/a.doc");
}
