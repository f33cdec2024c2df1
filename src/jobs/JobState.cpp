#include "JobState.h"

#include "automation/AutomationError.h"
#include "jobs/Command.h"
#include "jobs/Controls.h"
#include "jobs/Mediator.h"
#include "jobs/PageStaging.h"

namespace qp {

JobState::Run::Run(JobState& state) : state_(state), windows_(state.mediator().windows()) {
    state_.running_ = true;
    state_.stop_ = JobStop::None;
    windows_.setBusy(true);
}

JobState::Run::~Run() {
    windows_.setBusy(false);
    state_.running_ = false;
    state_.stop_ = JobStop::None;
}

void JobState::stopAfterCurrent(JobStop why) {
    if (running_)
        stop_ = why;
}

Mediator& JobState::mediator() const {
    if (!mediator_)
        throw AutomationError(ErrorNumber::ObjectNotSet,
                              QStringLiteral("Object variable not set: a state without init"));
    return *mediator_;
}

void JobState::newQueue() {
    workQueue_ = std::make_unique<WorkQueue>();
    total_ = started_ = converted_ = failed_ = 0;
}

ExtensionFilter JobState::openJob() {
    WindowPort& windows = mediator().windows();
    ExtensionFilter filter(windows.extensionList());
    windows.documentList().clear();
    newQueue();
    return filter;
}

void JobState::queue(const WorkQueue::Element& item) {
    workQueue_->add(item);
    ++total_;
}

void JobState::runJob() {
    JobReporter& reporter = mediator().windows().reporter();
    reporter.jobStarted(total_);
    try {
        NextDocumentCommand first;
        first.init(mediator());
        static_cast<Command&>(first).Execute();
    } catch (...) {
        PageStaging::releaseAll();
        reporter.jobFinished(finish());
        throw;
    }
    // The staging folders kept between the job's documents go with it.
    PageStaging::releaseAll();
    reporter.jobFinished(finish());
}

JobSummary JobState::finish() {
    JobSummary summary{converted_, failed_, 0, {}};
    if (stop_ == JobStop::None)
        return summary;
    summary.endedBy =
        stop_ == JobStop::Closed ? QStringLiteral("closed") : QStringLiteral("stopped");
    while (workQueue_ && workQueue_->hasMoreElements()) {
        workQueue_->NextElement();
        ++summary.notConverted;
    }
    return summary;
}

void JobState::nextDocument() {
    if (executing_) {
        // Asked from inside the running item (its converter has finished):
        // the loop below takes the next item once that one has returned.
        goOn_ = true;
        return;
    }
    executing_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{executing_};

    bool next = true;
    while (next) {
        goOn_ = false;
        // A stopped job takes no further item, also after a failure.
        if (stop_ != JobStop::None || !workQueue_ || !workQueue_->hasMoreElements())
            return;
        const WorkQueue::Element item = workQueue_->NextElement();
        if (!mediator().windows().convertsNext(*item))
            continue;
        const QString document = item->fileName();
        mediator().windows().reporter().documentStarted(document, ++started_, total_);
        try {
            item->Execute();
            ++converted_;
            next = goOn_;
        } catch (const std::exception& error) {
            markFailed(document, &error);
            if (onFailure_ == OnFailure::PassOn)
                throw;
            next = true;
        } catch (...) {
            markFailed(document, nullptr);
            if (onFailure_ == OnFailure::PassOn)
                throw;
            next = true;
        }
    }
}

void JobState::markFailed(const QString& document, const std::exception* error) {
    const auto* automation = dynamic_cast<const AutomationError*>(error);
    const std::int32_t number = automation ? automation->number() : 0;
    const QString reason = error ? errorText(*error) : QStringLiteral("Unknown error");
    const bool cancelled = number == ErrorNumber::DialogCancelled;

    WindowPort& windows = mediator().windows();
    // A duplicate key means the row belongs to another conversion: leave it.
    if (number != ErrorNumber::KeyNotUnique) {
        try {
            DocumentList& list = windows.documentList();
            // After "Close" emptied the list, the outcome is only reported.
            if (!list.hasRow(document) && stop_ != JobStop::Closed)
                list.addRow(document, document);
            if (list.hasRow(document)) {
                list.insertStatus(document, cancelled ? QStringLiteral("Cancelled")
                                                      : QStringLiteral("Failed"));
                if (!cancelled)
                    list.setDetail(document, reason);
            }
        } catch (...) {
            // The row is only a view of the outcome; the reporter still hears it.
        }
    }
    if (cancelled) {
        windows.reporter().documentCancelled(document);
    } else {
        ++failed_;
        windows.reporter().documentErrorNumber(document, number);
        windows.reporter().documentFailed(document, reason);
    }
}

} // namespace qp
