#pragma once

#include "ExtensionFilter.h"
#include "WorkQueue.h"
#include "jobs/ApplicationMode.h"

#include "engine/Engine.h"

#include <QObject>

#include <exception>
#include <functional>
#include <map>
#include <memory>

namespace qp {

class WindowPort;
struct JobSummary;

// Why a job ends before its queue is worked off.
enum class JobStop {
    None,
    Stopped, // "Stop": the document list keeps its rows
    Closed,  // "Close": the document list was emptied
};

// What the single-document and the batch state share: the work queue, the
// way it is worked off, and the marking of documents that fail.
//
// A converter hands its document to the conversion engine (submit) and
// returns; the job goes on when the engine's result arrives, on the thread's
// event loop: the converter's continuation finishes the document and asks for
// the next one (nextDocument). With room for several documents at once (the
// engine's capacity), the next items are handed over while the first ones
// convert. A converter that finishes its document at once, without the
// engine, asks for the next one from inside its run; the state then takes it
// after that run has returned, so a large folder never nests one conversion
// inside another. Items are taken strictly oldest first, and a conversion that
// does not ask to go on ends the job once nothing else is converting.
class JobState : public ApplicationMode {
public:
    void init(Mediator& mediator) override { mediator_ = &mediator; }
    void nextDocument() override;

    // What finishes a document once the engine's result has arrived; it
    // raises when the document failed.
    using Continuation = std::function<void(const engine::ConversionResult&)>;
    // Hands the document of the item being executed to the engine; the
    // continuation runs when its result arrives.
    void submit(const engine::ConversionRequest& request, Continuation continuation);

    // The current work queue; nullptr before the first job.
    WorkQueue* workQueue() const { return workQueue_.get(); }
    // Whether a job of this state runs: from its first command until it has
    // reported its end.
    bool running() const { return running_; }
    // Whether an item of this state is being executed right now.
    bool executing() const { return !executing_.isEmpty(); }
    // Ends the running job once the documents being converted are done: no
    // further item is taken, and what is still queued is dropped and
    // reported as not converted; after Close, so is a document that waits
    // for an office. Does nothing when no job runs.
    void stopAfterCurrent(JobStop why);

protected:
    enum class OnFailure {
        GoOn,   // mark the document and go on with the next one
        EndJob, // mark the document and end the job
    };
    explicit JobState(OnFailure onFailure) : onFailure_(onFailure) {}

    // Marks a job of this state as running, and the windows busy, until the
    // job has reported its end; however the start of the job ends, once it
    // has nothing left converting.
    class Run {
    public:
        explicit Run(JobState& state);
        ~Run();
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;

    private:
        JobState& state_;
        WindowPort& windows_;
    };

    Mediator& mediator() const;
    // Drops the previous queue with its items and starts counting afresh.
    void newQueue();
    // The opening of every job once its Run is in place: empties the
    // document list, starts a fresh queue and returns the filter that sorts
    // the job's documents.
    ExtensionFilter openJob();
    // Queues one item of the job.
    void queue(const WorkQueue::Element& item);
    // Reports the queued job and asks for its first item (NextDocumentCommand);
    // the end of the job is reported once its last document is done.
    void runJob();

    std::unique_ptr<WorkQueue> workQueue_;

private:
    struct InFlight {
        QString document;
        Continuation continuation;
    };
    // Takes queued items while the job goes on and the engine has room; ends
    // the job when nothing is left converting.
    void takeItems();
    void onResult(engine::Engine::Id id, const engine::ConversionResult& result);
    void markFailed(const QString& document, const std::exception* error);
    // Reports the job's end and ends its run.
    void finishJob();
    void endRun();
    // The job's outcome; a stopped job's remaining items are dropped here.
    JobSummary finish();

    Mediator* mediator_ = nullptr;
    const OnFailure onFailure_;
    bool running_ = false;
    JobStop stop_ = JobStop::None;
    // Whether the job takes further items: asked for by the last document
    // that finished, or the engine has room beside the documents converting.
    bool goOn_ = false;
    // Inside takeItems, or inside a continuation: a nextDocument there only
    // notes that the job goes on.
    bool busy_ = false;
    // The document whose item is being executed, and how many documents were
    // handed to the engine so far.
    QString executing_;
    quint64 submitted_ = 0;
    std::map<engine::Engine::Id, InFlight> inFlight_;
    // Receives the engine's results for as long as this state lives.
    QObject receiver_;
    QMetaObject::Connection engineConnection_;
    int total_ = 0;
    int started_ = 0;
    int converted_ = 0;
    int failed_ = 0;
    // Handed to the engine, then dropped by Close before an office took them.
    int dropped_ = 0;
};

} // namespace qp
