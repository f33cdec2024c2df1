#include "Settings.h"

#include <QSettings>

namespace qp {

namespace {

const QString organization = QStringLiteral("quillpg");
const QString application = QStringLiteral("quillpg");
const QString filterKey = QStringLiteral("Options/Filter");

} // namespace

QString storedFilterText() {
    const QSettings settings(organization, application);
    return settings.value(filterKey, QStringLiteral("0")).toString();
}

bool storedFiltered() {
    bool number = false;
    const double value = storedFilterText().trimmed().toDouble(&number);
    return number && value != 0;
}

bool storeFiltered(bool filtered) {
    QSettings settings(organization, application);
    const QVariant before = settings.value(filterKey);
    settings.setValue(filterKey, filtered ? QStringLiteral("1") : QStringLiteral("0"));
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    // The process keeps what it could not write and would read it back as
    // stored: the value that is on the disk goes back in its place.
    if (before.isValid())
        settings.setValue(filterKey, before);
    else
        settings.remove(filterKey);
    return false;
}

QString settingsFile() {
    return QSettings(organization, application).fileName();
}

} // namespace qp
