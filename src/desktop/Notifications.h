#pragma once

#include <QString>

namespace qp {

// Tells the user something outside the program's windows: a desktop
// notification. The window application hands its windows the session bus's
// notifications; tests hand over one that records.
class Notifications {
public:
    virtual ~Notifications() = default;
    // Shows a notification with the summary (and the body below it, if any).
    // Never waits and never fails: without a desktop that shows
    // notifications nothing happens.
    virtual void notify(const QString& summary, const QString& body = {}) = 0;
};

// The freedesktop.org notification service (org.freedesktop.Notifications)
// on the session bus. The call is sent without waiting for its answer; with
// no session bus, or no service on it, nothing is shown and nothing said.
class SessionBusNotifications : public Notifications {
public:
    void notify(const QString& summary, const QString& body = {}) override;
};

} // namespace qp
