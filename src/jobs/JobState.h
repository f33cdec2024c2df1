#pragma once

#include "ExtensionFilter.h"
#include "WorkQueue.h"
#include "jobs/ApplicationMode.h"

#include <exception>
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
// Each converter asks for the next document (nextDocument) at the end of its own
// run. Taking the next item right there would nest one conversion inside the
// other, one level per document, until a large folder exhausts the stack. So
// a nextDocument that arrives while this state is already executing an item only
// notes that the queue should go on; the outermost nextDocument then takes the
// next item in a loop. Items are still taken strictly oldest first, one at a
// time, and a conversion that does not ask to go on ends the loop.
class JobState : public ApplicationMode {
public:
    void init(Mediator& mediator) override { mediator_ = &mediator; }
    void nextDocument() override;

    // The current work queue; nullptr before the first job.
    WorkQueue* workQueue() const { return workQueue_.get(); }
    // Whether an item of this state is being executed right now.
    bool executing() const { return executing_; }
    // Whether a job of this state runs: from its first command until it has
    // reported its end.
    bool running() const { return running_; }
    // Ends the running job once the document being converted is done: no
    // further item is taken, and what is still queued is dropped and
    // reported as not converted. Does nothing when no job runs.
    void stopAfterCurrent(JobStop why);

protected:
    enum class OnFailure {
        GoOn,   // mark the document and go on with the next one
        PassOn, // mark the document and pass the failure to the caller
    };
    explicit JobState(OnFailure onFailure) : onFailure_(onFailure) {}

    // Marks a job of this state as running, and the windows busy, for as
    // long as it lives, however the job ends.
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
    // Reports the queued job, asks for its first item (NextDocumentCommand) and reports the
    // end of the job, also when a failure passes through.
    void runJob();

    std::unique_ptr<WorkQueue> workQueue_;

private:
    void markFailed(const QString& document, const std::exception* error);
    // The job's outcome; a stopped job's remaining items are dropped here.
    JobSummary finish();

    Mediator* mediator_ = nullptr;
    const OnFailure onFailure_;
    bool executing_ = false;
    bool running_ = false;
    JobStop stop_ = JobStop::None;
    bool goOn_ = false;
    int total_ = 0;
    int started_ = 0;
    int converted_ = 0;
    int failed_ = 0;
};

} // namespace qp
