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

void storeFiltered(bool filtered) {
    QSettings settings(organization, application);
    settings.setValue(filterKey, filtered ? QStringLiteral("1") : QStringLiteral("0"));
    settings.sync();
}

} // namespace qp
