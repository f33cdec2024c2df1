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
    // A job whose documents are still converting ends when the last result
    // has arrived.
    if (state_.inFlight_.empty())
        state_.endRun();
}

void JobState::endRun() {
    if (!running_)
        return;
    running_ = false;
    stop_ = JobStop::None;
    goOn_ = false;
    mediator().windows().setBusy(false);
}

void JobState::stopAfterCurrent(JobStop why) {
    if (!running_)
        return;
    stop_ = why;
    if (why != JobStop::Closed)
        return;
    // After Close, a document that waits for an office (with several
    // offices, one waits beside those converting) is not converted: its row
    // is gone with the list.
    for (auto it = inFlight_.begin(); it != inFlight_.end();) {
        if (mediator().engine().cancel(it->first)) {
            it = inFlight_.erase(it);
            ++dropped_;
        } else {
            ++it;
        }
    }
    if (inFlight_.empty() && !busy_)
        finishJob();
}

Mediator& JobState::mediator() const {
    if (!mediator_)
        throw AutomationError(ErrorNumber::ObjectNotSet,
                              QStringLiteral("Object variable not set: a state without init"));
    return *mediator_;
}

void JobState::newQueue() {
    workQueue_ = std::make_unique<WorkQueue>();
    total_ = started_ = converted_ = failed_ = dropped_ = 0;
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
    NextDocumentCommand first;
    first.init(mediator());
    static_cast<Command&>(first).Execute();
}

void JobState::finishJob() {
    if (!running_)
        return;
    // The staging folders kept between the job's documents go with it.
    PageStaging::releaseAll();
    mediator().windows().reporter().jobFinished(finish());
    endRun();
}

JobSummary JobState::finish() {
    JobSummary summary{converted_, failed_, dropped_, {}};
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
    goOn_ = true;
    // Asked from inside the running item or a continuation: the loop of
    // takeItems, or the end of the continuation, takes the next item.
    if (!busy_)
        takeItems();
}

void JobState::submit(const engine::ConversionRequest& request, Continuation continuation) {
    if (executing_.isEmpty())
        throw AutomationError(
            ErrorNumber::ObjectNotSet,
            QStringLiteral("Object variable not set: no document is being converted"));
    engine::Engine& engine = mediator().engine();
    if (!engineConnection_)
        engineConnection_ =
            QObject::connect(&engine, &engine::Engine::finished, &receiver_,
                             [this](engine::Engine::Id id, const engine::ConversionResult& result) {
                                 onResult(id, result);
                             });
    const engine::Engine::Id id = engine.submit(request);
    inFlight_.emplace(id, InFlight{executing_, std::move(continuation)});
    ++submitted_;
}

void JobState::takeItems() {
    if (!running_ || busy_)
        return;
    busy_ = true;
    // With several offices one document waits beside those converting, so
    // that an office that finishes takes the next at once; with one, the
    // next document is handed over only when the last is done.
    const int offices = mediator().engine().capacity();
    const int room = offices > 1 ? offices + 1 : 1;
    while (goOn_ && stop_ == JobStop::None && workQueue_ && workQueue_->hasMoreElements() &&
           int(inFlight_.size()) < room) {
        const WorkQueue::Element item = workQueue_->NextElement();
        if (!mediator().windows().convertsNext(*item))
            continue;
        const QString document = item->fileName();
        mediator().windows().reporter().documentStarted(document, ++started_, total_);
        const quint64 before = submitted_;
        goOn_ = false;
        executing_ = document;
        try {
            item->Execute();
            if (submitted_ == before)
                ++converted_; // finished at once; it asked for the next one or not
            else
                goOn_ = true; // converting: the next item may start beside it
        } catch (const std::exception& error) {
            markFailed(document, &error);
            goOn_ = onFailure_ == OnFailure::GoOn;
        } catch (...) {
            markFailed(document, nullptr);
            goOn_ = onFailure_ == OnFailure::GoOn;
        }
        executing_.clear();
    }
    busy_ = false;
    if (inFlight_.empty())
        finishJob();
}

void JobState::onResult(engine::Engine::Id id, const engine::ConversionResult& result) {
    const auto found = inFlight_.find(id);
    if (found == inFlight_.end())
        return;
    goOn_ = false;
    busy_ = true;
    {
        // The continuation, with what it holds (the page's staging folder),
        // goes before the next item is taken or the job ends.
        const InFlight flight = std::move(found->second);
        inFlight_.erase(found);
        try {
            flight.continuation(result);
            ++converted_;
        } catch (const std::exception& error) {
            markFailed(flight.document, &error);
            goOn_ = onFailure_ == OnFailure::GoOn;
        } catch (...) {
            markFailed(flight.document, nullptr);
            goOn_ = onFailure_ == OnFailure::GoOn;
        }
    }
    busy_ = false;
    takeItems();
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
