#include "FakeWindows.h"
#include "FakeWordServer.h"
#include "QtPrinters.h"
#include "conversion/ConverterFactory.h"
#include "core/Command.h"
#include "core/Mediator.h"
#include "core/StateManager.h"
#include "pipeline/State1.h"
#include "pipeline/State2.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

using namespace qp;
using namespace qp::test;

namespace {

// What the fake converters saw: the documents in the order they ran and how
// deeply their runs were nested.
struct Probe {
    QStringList order;
    int depth = 0;
    int maxDepth = 0;
    std::set<QString> failing;                  // documents whose conversion fails
    std::function<void(const QString&)> during; // runs inside each conversion
};

// Converts nothing: records its document, fails when told to and otherwise
// asks for the next document at its end, as the real converters do.
class FakeConverter : public DispatchObject {
public:
    explicit FakeConverter(Probe& probe) : probe_(probe) {
        addMethod(QStringLiteral("init"), {QStringLiteral("fileName")},
                  [this](const BoundArguments& args) {
                      fileName_ = args.required(0).toText();
                      return Variant();
                  });
        addMethod(QStringLiteral("Execute"), {}, [this](const BoundArguments&) {
            struct Level {
                Probe& probe;
                explicit Level(Probe& p) : probe(p) {
                    probe.maxDepth = std::max(probe.maxDepth, ++probe.depth);
                }
                ~Level() { --probe.depth; }
            } level(probe_);
            probe_.order << fileName_;
            if (probe_.during)
                probe_.during(fileName_);
            if (probe_.failing.count(fileName_))
                throw AutomationError(ErrorNumber::ServerFailure,
                                      QStringLiteral("cannot convert %1").arg(fileName_));
            Cmd2 next;
            next.init(General::mediator());
            static_cast<Command&>(next).Execute();
            return Variant();
        });
    }
    QString className() const override { return QStringLiteral("FakeConverter"); }

private:
    Probe& probe_;
    QString fileName_;
};

void touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("document");
}

class States : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        QDir(folder.path()).mkdir(QStringLiteral("in"));
        QDir(folder.path()).mkdir(QStringLiteral("out"));
        source = folder.filePath(QStringLiteral("in"));
        target = folder.filePath(QStringLiteral("out"));
        word = FakeWordServer::install();
        General::setMediator(&mediator);
        ASSERT_TRUE(mediator.init());
        mediator.SetSourceFolder(source);
        mediator.SetTgtFolder(target);
    }
    void TearDown() override {
        ConverterFactory::setBatch({});
        ConverterFactory::setSingle({});
        General::setMediator(nullptr);
    }

    void useFakeConverters() {
        const auto maker = [this] {
            return ObjectRef(std::make_shared<FakeConverter>(probe));
        };
        ConverterFactory::setBatch(maker);
        ConverterFactory::setSingle(maker);
    }
    QString in(const QString& name) const { return source + QLatin1Char('/') + name; }
    void runBatch() {
        mediator.StartStateTwo();
        cmd1 start;
        start.init(mediator);
        static_cast<Command&>(start).Execute();
    }
    State2& batchState() { return *static_cast<State2*>(mediator.stateManager().stateTwo()); }

    QTemporaryDir folder;
    QString source;
    QString target;
    std::shared_ptr<FakeWordServer> word;
    FakeWindows windows;
    Mediator mediator{windows};
    Probe probe;
};

} // namespace

TEST_F(States, selectingAStateKeepsTheSameObjectsAndTheirQueues) {
    StateManager& states = mediator.stateManager();
    EXPECT_EQ(states.currentState(), states.stateThree());

    useFakeConverters();
    touch(in(QStringLiteral("a.doc")));
    runBatch();
    State* batch = states.currentState();
    EXPECT_EQ(batch, states.stateTwo());
    Stack* queue = batchState().workStack();
    ASSERT_NE(queue, nullptr);

    mediator.StartStateTwo();
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
    touch(in(QStringLiteral("a.doc")));
    mediator.Command1(in(QStringLiteral("a.doc")));
    EXPECT_EQ(windows.documents.rowCount(), 0);
    EXPECT_TRUE(word->calls.empty());

    // Before any batch run the batch state has no queue at all.
    mediator.StartStateTwo();
    EXPECT_NO_THROW(mediator.Command2());
    mediator.startStateOne();
    EXPECT_NO_THROW(mediator.Command2());
    EXPECT_TRUE(word->calls.empty());
    EXPECT_TRUE(windows.reports.events.isEmpty());
}

TEST_F(States, aHundredThousandItemsDrainInOrderWithoutNesting) {
    useFakeConverters();
    runBatch(); // empty folder: an empty queue
    Stack* queue = batchState().workStack();
    ASSERT_NE(queue, nullptr);
    constexpr int count = 100000;
    for (int i = 0; i < count; ++i) {
        auto item = std::make_shared<ParseObject1>();
        item->init(QString::number(i));
        queue->add(item);
    }
    windows.reports.recording = false;
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
    useFakeConverters();
    for (const char* name : {"a.doc", "b.doc", "c.doc", "d.doc"})
        touch(in(QString::fromLatin1(name)));
    // Every conversion is interrupted by two presses of "Next Document".
    probe.during = [this](const QString&) {
        mediator.Command2();
        mediator.Command2();
    };
    runBatch();
    EXPECT_EQ(probe.order, QStringList({in("a.doc"), in("b.doc"), in("c.doc"), in("d.doc")}));
    EXPECT_EQ(probe.maxDepth, 1);
}

TEST_F(States, aSecondBatchRunDropsWhatTheFirstLeftQueued) {
    useFakeConverters();
    for (const char* name : {"a.doc", "b.doc", "c.doc"})
        touch(in(QString::fromLatin1(name)));
    // The first conversion switches to the single-document state, so the
    // batch queue stops being worked off after it.
    probe.during = [this](const QString&) {
        mediator.startStateOne();
    };
    runBatch();
    EXPECT_EQ(probe.order, QStringList({in("a.doc")}));
    EXPECT_EQ(batchState().workStack()->count(), 2);

    probe.during = nullptr;
    probe.order.clear();
    QDir(folder.path()).mkdir(QStringLiteral("other"));
    touch(folder.filePath(QStringLiteral("other/z.doc")));
    mediator.SetSourceFolder(folder.filePath(QStringLiteral("other")));
    runBatch();
    EXPECT_EQ(probe.order, QStringList({folder.filePath(QStringLiteral("other/z.doc"))}));
    EXPECT_FALSE(batchState().workStack()->hasMoreElements());
}

TEST_F(States, aFailingDocumentIsMarkedAndTheBatchGoesOn) {
    for (const char* name : {"a.doc", "b.doc", "c.doc"})
        touch(in(QString::fromLatin1(name)));
    word->failCall(QStringLiteral("Documents.Open"), QStringLiteral("b.doc"));
    runBatch();

    EXPECT_EQ(windows.documents.keys(), QStringList({in("a.doc"), in("b.doc"), in("c.doc")}));
    EXPECT_EQ(windows.documents.status(in("a.doc")), "Converted");
    EXPECT_EQ(windows.documents.status(in("b.doc")), "Failed");
    EXPECT_EQ(windows.documents.detail(in("b.doc")),
              "The fake word processor refused Documents.Open");
    EXPECT_EQ(windows.documents.status(in("c.doc")), "Converted");
    EXPECT_EQ(word->savedPages, QStringList({target + "/a.htm", target + "/c.htm"}));
    EXPECT_TRUE(windows.reports.events.contains(
        "failed " + in("b.doc") + ": The fake word processor refused Documents.Open"));
    EXPECT_EQ(windows.reports.events.last(), "finished 2 converted, 1 failed");
    EXPECT_EQ(windows.busyChanges, std::vector<bool>({true, false}));
}

TEST_F(States, aDocumentThatFailsAfterOpeningIsClosedAgain) {
    for (const char* name : {"a.doc", "b.doc"})
        touch(in(QString::fromLatin1(name)));
    word->failCall(QStringLiteral("ActiveDocument.SaveAs"), QStringLiteral("a.htm"));
    runBatch();

    EXPECT_EQ(word->openDocuments(), 0);
    EXPECT_EQ(windows.documents.status(in("a.doc")), "Failed");
    EXPECT_EQ(windows.documents.status(in("b.doc")), "Converted");
    const QStringList calls = word->callTexts();
    const qsizetype failedSave =
        calls.indexOf(QRegularExpression("ActiveDocument\\.SaveAs.*a\\.htm.*"));
    ASSERT_GE(failedSave, 0);
    EXPECT_EQ(calls.at(failedSave + 1), "ActiveWindow.Close()");
}

TEST_F(States, theBatchConvertsTheListedFolderInOrderWhateverItIsGiven) {
    for (const char* name : {"c.DOC", "b.txt", "a.doc"})
        touch(in(QString::fromLatin1(name)));
    touch(in(QStringLiteral(".hidden.doc")));
    QDir(source).mkdir(QStringLiteral("x.doc"));
    mediator.SetSourceFile(folder.filePath(QStringLiteral("elsewhere.doc")));
    runBatch();

    EXPECT_EQ(windows.documents.keys(), QStringList({in("a.doc"), in("c.DOC")}));
    EXPECT_EQ(word->savedPages, QStringList({target + "/a.htm", target + "/c.htm"}));
    EXPECT_EQ(windows.reports.events.first(), "job 2");
    EXPECT_TRUE(windows.reports.events.contains("started " + in("c.DOC") + " 2/2"));
}

TEST_F(States, aSourceFolderThatCannotBeListedConvertsNothingAndSaysWhy) {
    useFakeConverters();
    touch(in(QStringLiteral("a.doc")));
    windows.documents.addRow(QStringLiteral("old"), QStringLiteral("old"));
    for (const QString& missing : {folder.filePath(QStringLiteral("gone")), QString()}) {
        mediator.SetSourceFolder(missing);
        try {
            runBatch();
            ADD_FAILURE() << "no error for " << missing.toStdString();
        } catch (const AutomationError& error) {
            EXPECT_EQ(error.number(), ErrorNumber::PathNotFound);
            EXPECT_TRUE(error.description().contains(missing));
        }
        EXPECT_TRUE(probe.order.isEmpty());
        EXPECT_FALSE(windows.busy);
        EXPECT_EQ(windows.documents.rowCount(), 0);
    }
}

TEST(FileListing, listsVisibleFilesOnlySortedIgnoringCase) {
    QTemporaryDir folder;
    for (const char* name : {"b.txt", "C.doc", "a.doc", ".secret"})
        touch(folder.filePath(QString::fromLatin1(name)));
    QDir(folder.path()).mkdir(QStringLiteral("sub.doc"));

    FileList files;
    files.setPath(folder.path() + QLatin1Char('/'));
    EXPECT_EQ(files.path(), folder.path());
    ASSERT_EQ(files.listCount(), 3);
    QStringList names;
    for (int i = 0; i < files.listCount(); ++i) {
        files.setListIndex(i);
        names << files.fileName();
    }
    EXPECT_EQ(names, QStringList({"a.doc", "b.txt", "C.doc"}));
    EXPECT_THROW(files.setListIndex(3), AutomationError);

    EXPECT_THROW(files.setPath(folder.filePath(QStringLiteral("a.doc"))), AutomationError);
    EXPECT_EQ(files.listCount(), 0);
    EXPECT_EQ(files.fileName(), QString());
}

TEST(FileListing, theRootFolderGetsNoSecondSeparator) {
    EXPECT_EQ(joinPath(QStringLiteral("/"), QStringLiteral("a.doc")), "/a.doc");
    EXPECT_EQ(joinPath(QStringLiteral("/in"), QStringLiteral("a.doc")), "/in/a.doc");
    FileList files;
    files.setPath(QStringLiteral("/"));
    EXPECT_EQ(files.path(), "/");
}
