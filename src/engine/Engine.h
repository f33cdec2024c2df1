#pragma once

#include "Conversion.h"

#include <QObject>

namespace qp::engine {

// Converts documents asynchronously: a request is handed over at once, and
// its result arrives later as the signal `finished`, queued to the thread
// the engine lives on, which must run an event loop.
class Engine : public QObject {
    Q_OBJECT
public:
    using Id = quint64;
    using QObject::QObject;

    // Queues the request and returns its id; never blocks on the word processor.
    virtual Id submit(const ConversionRequest& request) = 0;
    // Drops a request that no word processor has taken yet; its result
    // never arrives. Returns whether it was dropped: a request being
    // converted runs to its end.
    virtual bool cancel(Id id) = 0;
    // How many documents it converts at once.
    virtual int capacity() const = 0;

signals:
    void finished(qp::engine::Engine::Id id, const qp::engine::ConversionResult& result);
};

} // namespace qp::engine
