#include "WordProcessorPool.h"

#include "automation/AutomationObject.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace qp::engine {

namespace {

using Clock = std::chrono::steady_clock;

// The word processor's numbers for the two kinds of web page.
constexpr std::int16_t fullPage = 8;
constexpr std::int16_t filteredPage = 10;

void closeActiveWindow(const ObjectRef& word) {
    word->object(QStringLiteral("ActiveWindow"))->call(QStringLiteral("Close"));
}

// The result of a request that failed with the given exception.
ConversionResult failureOf(const std::exception_ptr& failure) {
    ConversionResult result;
    try {
        std::rethrow_exception(failure);
    } catch (const AutomationError& error) {
        result.errorNumber = error.number();
        result.errorText = error.description();
        result.errorSource = error.source();
    } catch (const std::exception& error) {
        result.errorText = QString::fromLocal8Bit(error.what());
    } catch (...) {
        result.errorText = QStringLiteral("Unknown error");
    }
    return result;
}

// The calls that convert one document, in order; failures raise.
ConversionResult saveAsWebPage(const ObjectRef& word, const ConversionRequest& request) {
    if (!word)
        throw AutomationError(
            ErrorNumber::ObjectNotSet,
            QStringLiteral("Object variable not set: the word processor is not bound"));
    if (!request.openFolder.isEmpty())
        word->call(QStringLiteral("ChangeFileOpenDirectory"), {{QString(), request.openFolder}});
    word->object(QStringLiteral("Documents"))
        ->call(QStringLiteral("Open"), {{QStringLiteral("FileName"), request.document}});
    ConversionResult result;
    try {
        word->object(QStringLiteral("application"))->set(QStringLiteral("Visible"), true);
        const std::int16_t format = request.format == PageFormat::Full ? fullPage : filteredPage;
        const Variant said =
            word->object(QStringLiteral("ActiveDocument"))
                ->call(QStringLiteral("SaveAs"), {{QStringLiteral("FileName"), request.page},
                                                  {QStringLiteral("FileFormat"), format},
                                                  {QStringLiteral("LockComments"), false},
                                                  {QStringLiteral("Password"), QString()},
                                                  {QStringLiteral("AddToRecentFiles"), false}});
        // A word processor that has nothing to say returns nothing (or not a text).
        if (said.type() == Variant::Type::Text)
            result.warnings = said.toText();
    } catch (...) {
        // The document opened must not stay open in the word processor.
        try {
            closeActiveWindow(word);
        } catch (...) {
        }
        throw;
    }
    closeActiveWindow(word);
    result.converted = true;
    result.page = request.page;
    return result;
}

} // namespace

struct WordProcessorPool::State {
    struct Task {
        Id id;
        ConversionRequest request;
    };
    // One word processor and the thread that drives it.
    struct Slot {
        ObjectRef word;
        std::thread thread;
    };

    WordProcessorPool* owner = nullptr;
    Maker more;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Task> queue;
    bool stopping = false;
    Id lastId = 0;
    std::vector<Slot> offices;

    void work(Slot& slot);
    // Makes the slot's word processor when it has none; the failure, if that fails.
    std::optional<ConversionResult> ready(Slot& slot);
};

std::optional<ConversionResult> WordProcessorPool::State::ready(Slot& slot) {
    if (slot.word || !more)
        return std::nullopt;
    try {
        slot.word = more();
        return std::nullopt;
    } catch (...) {
        return failureOf(std::current_exception());
    }
}

void WordProcessorPool::State::work(Slot& slot) {
    // A further word processor starts at once, while the first converts, so
    // that it is ready by the time a document waits for it; one that fails
    // to start is tried again for the document it takes.
    ready(slot);
    while (true) {
        Task task;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [this] { return stopping || !queue.empty(); });
            if (stopping)
                return;
            task = std::move(queue.front());
            queue.pop_front();
        }
        // A word processor that cannot be made fails this request; the
        // next one tries again.
        std::optional<ConversionResult> result = ready(slot);
        if (!result)
            result = convert(slot.word, task.request);
        // The result is emitted on the owner's thread. The owner outlives this
        // thread (its destructor joins it), and Qt drops what is still
        // posted to an object that is gone.
        WordProcessorPool* pool = owner;
        QMetaObject::invokeMethod(
            pool, [pool, id = task.id, result = *result] { emit pool->finished(id, result); },
            Qt::QueuedConnection);
    }
}

WordProcessorPool::WordProcessorPool(ObjectRef first, Maker more, int size, QObject* parent)
    : Engine(parent), state_(std::make_shared<State>()) {
    state_->owner = this;
    state_->more = std::move(more);
    state_->offices.resize(std::size_t(state_->more ? std::max(1, size) : 1));
    state_->offices.front().word = std::move(first);
    for (State::Slot& slot : state_->offices)
        slot.thread = std::thread([state = state_.get(), &slot] { state->work(slot); });
}

WordProcessorPool::~WordProcessorPool() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        state_->queue.clear();
    }
    state_->changed.notify_all();
    for (State::Slot& slot : state_->offices)
        slot.thread.join();
}

Engine::Id WordProcessorPool::submit(const ConversionRequest& request) {
    Id id;
    {
        std::lock_guard lock(state_->mutex);
        id = ++state_->lastId;
        state_->queue.push_back({id, request});
    }
    state_->changed.notify_one();
    return id;
}

bool WordProcessorPool::cancel(Id id) {
    std::lock_guard lock(state_->mutex);
    return std::erase_if(state_->queue, [id](const State::Task& task) { return task.id == id; }) >
           0;
}

int WordProcessorPool::capacity() const {
    return int(state_->offices.size());
}

ConversionResult WordProcessorPool::convert(const ObjectRef& word,
                                            const ConversionRequest& request) {
    const auto start = Clock::now();
    ConversionResult result;
    try {
        result = saveAsWebPage(word, request);
    } catch (...) {
        result = failureOf(std::current_exception());
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return result;
}

} // namespace qp::engine
