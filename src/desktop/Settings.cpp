#include "Settings.h"

#include <QSettings>

namespace qp {

namespace {

const QString organization = QStringLiteral("quillpg");
const QString application = QStringLiteral("quillpg");
const QString filterKey = QStringLiteral("Options/Filter");
const QString subfoldersKey = QStringLiteral("Options/IncludeSubfolders");

// Any non-zero number is true.
bool storedFlag(const QString& key) {
    const QSettings settings(organization, application);
    bool number = false;
    const double value =
        settings.value(key, QStringLiteral("0")).toString().trimmed().toDouble(&number);
    return number && value != 0;
}

// Writes "1" or "0"; on failure puts back what is on the disk.
bool storeFlag(const QString& key, bool on) {
    QSettings settings(organization, application);
    const QVariant before = settings.value(key);
    settings.setValue(key, on ? QStringLiteral("1") : QStringLiteral("0"));
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    // The process keeps what it could not write and would read it back as
    // stored: the value that is on the disk goes back in its place.
    if (before.isValid())
        settings.setValue(key, before);
    else
        settings.remove(key);
    return false;
}

} // namespace

QString storedFilterText() {
    const QSettings settings(organization, application);
    return settings.value(filterKey, QStringLiteral("0")).toString();
}

bool storedFiltered() {
    return storedFlag(filterKey);
}

bool storeFiltered(bool filtered) {
    return storeFlag(filterKey, filtered);
}

bool storedIncludeSubfolders() {
    return storedFlag(subfoldersKey);
}

bool storeIncludeSubfolders(bool include) {
    return storeFlag(subfoldersKey, include);
}

QString settingsFile() {
    return QSettings(organization, application).fileName();
}

} // namespace qp
