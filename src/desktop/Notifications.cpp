#include "Notifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace qp {

void SessionBusNotifications::notify(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The desktop entry lets the desktop show the program's name and icon
    // and group its notifications.
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("quillpg")}};
    // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints,
    // expire_timeout): a new notification, the program's icon, no actions,
    // shown as long as the desktop shows its notifications (-1).
    call << QStringLiteral("Quillpage") << uint(0) << QStringLiteral("quillpg") << summary << body
         << QStringList() << hints << -1;
    // Sent without waiting: a missing service is no reason to hold the window.
    bus.send(call);
}

} // namespace qp
