#pragma once

#include "engine/WordProcessorPool.h"

#include <QList>

namespace qp::test {

// Converts on the thread that asked, from its event loop, with the calls the
// pool makes: the fake word processor's callbacks may look at the windows
// while a document converts. Room for `capacity` documents at once.
class LoopEngine : public engine::Engine {
public:
    explicit LoopEngine(ObjectRef word, int capacity = 1) : word_(word), capacity_(capacity) {}
    Id submit(const engine::ConversionRequest& request) override {
        queued_ << ++last_;
        QMetaObject::invokeMethod(
            this,
            [this, id = last_, request] {
                if (queued_.removeOne(id))
                    emit finished(id, engine::WordProcessorPool::convert(word_, request));
            },
            Qt::QueuedConnection);
        return last_;
    }
    bool cancel(Id id) override { return queued_.removeOne(id); }
    int capacity() const override { return capacity_; }

private:
    ObjectRef word_;
    int capacity_;
    Id last_ = 0;
    QList<Id> queued_;
};

} // namespace qp::test
