#pragma once

#include "Engine.h"
#include "automation/Variant.h"

#include <functional>
#include <memory>

namespace qp::engine {

// An engine over word processors reached by member name ("Word.Application"
// and its Documents, ActiveDocument and ActiveWindow): each request is taken
// by the next word processor that is free, on that word processor's own
// thread, so that a call that blocks holds up neither the asking thread nor
// the other word processors.
//
// The first word processor is the one given; the others are made on their
// own threads as the pool is made. A word processor that cannot be made is
// tried again for the next request its thread takes, and fails that request
// when it still cannot.
class WordProcessorPool : public Engine {
    Q_OBJECT
public:
    using Maker = std::function<ObjectRef()>;

    // A pool of `size` word processors (at least one): `first`, and further
    // ones from `more` (without it the pool holds `first` alone).
    WordProcessorPool(ObjectRef first, Maker more, int size, QObject* parent = nullptr);
    // Waits for the word processors' threads: a conversion under way runs to
    // its end (the word processor's own call limits bound it); queued ones
    // are dropped.
    ~WordProcessorPool() override;

    Id submit(const ConversionRequest& request) override;
    bool cancel(Id id) override;
    int capacity() const override;

    // Converts on the calling thread: the calls a conversion makes on the
    // word processor, in order. A failure comes back in the result.
    static ConversionResult convert(const ObjectRef& word, const ConversionRequest& request);

    struct State;

private:
    std::shared_ptr<State> state_;
};

} // namespace qp::engine
