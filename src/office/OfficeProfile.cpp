#include "OfficeProfile.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <QXmlStreamReader>

#include <mutex>

namespace qp::office {

namespace {

// Reads /org.openoffice.Setup/Product/ooSetupVersion from a configuration
// file of the installation: the value of that property in the Setup
// component's data (the schema declares a property of the same name).
QString versionIn(const QString& file) {
    QFile xcd(file);
    if (!xcd.open(QIODevice::ReadOnly))
        return {};
    QXmlStreamReader reader(&xcd);
    bool inSetup = false, inProduct = false, inVersion = false;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            const auto name = reader.attributes().value(QStringLiteral("oor:name"));
            if (reader.qualifiedName() == QLatin1String("oor:component-data"))
                inSetup = name == QLatin1String("Setup") &&
                          reader.attributes().value(QStringLiteral("oor:package")) ==
                              QLatin1String("org.openoffice");
            else if (inSetup && reader.name() == QLatin1String("node"))
                inProduct = name == QLatin1String("Product");
            else if (inProduct && reader.name() == QLatin1String("prop"))
                inVersion = name == QLatin1String("ooSetupVersion");
            else if (inVersion && reader.name() == QLatin1String("value"))
                return reader.readElementText().trimmed();
            break;
        }
        case QXmlStreamReader::EndElement:
            if (reader.qualifiedName() == QLatin1String("oor:component-data"))
                inSetup = inProduct = inVersion = false;
            else if (reader.name() == QLatin1String("node"))
                inProduct = inVersion = false;
            else if (reader.name() == QLatin1String("prop"))
                inVersion = false;
            break;
        default:
            break;
        }
    }
    return {};
}

const QString versionPath = QStringLiteral("/org.openoffice.Setup/Product");

} // namespace

QString installedOfficeVersion(const QString& installation) {
    static std::mutex mutex;
    static QHash<QString, QString> known;
    std::lock_guard lock(mutex);
    const auto it = known.constFind(installation);
    if (it != known.cend())
        return *it;
    const QString version = versionIn(installation + QStringLiteral("/share/registry/main.xcd"));
    // Only a plain version number goes into a profile.
    static const QRegularExpression plain(QStringLiteral("^[0-9]+(\\.[0-9]+)*$"));
    return known[installation] = plain.match(version).hasMatch() ? version : QString();
}

bool recordOfficeVersion(const QString& profileDir, const QString& version, QString* error) {
    const QString user = profileDir + QStringLiteral("/user");
    const QString path = user + QStringLiteral("/registrymodifications.xcu");
    QString text;
    if (QFile file(path); file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("%1 cannot be read").arg(path);
            return false;
        }
        text = QString::fromUtf8(file.readAll());
    }
    const QString item =
        QStringLiteral("<item oor:path=\"%1\"><prop oor:name=\"ooSetupLastVersion\" "
                       "oor:op=\"fuse\"><value>%2</value></prop></item>")
            .arg(versionPath, version.toHtmlEscaped());
    if (text.contains(item))
        return true;
    // The office writes one item a line; an earlier record of another
    // version goes, whatever form its value takes.
    static const QRegularExpression earlier(
        QStringLiteral("<item oor:path=\"/org\\.openoffice\\.Setup/Product\">\\s*<prop "
                       "oor:name=\"ooSetupLastVersion\"[^>]*?(/>|>.*?</prop>)\\s*</item>\\n?"),
        QRegularExpression::DotMatchesEverythingOption);
    text.remove(earlier);
    const qsizetype end = text.lastIndexOf(QLatin1String("</oor:items>"));
    if (end < 0) // no file yet, or one the office could not read either
        text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                              "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
                              "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
                              "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n") +
               item + QStringLiteral("\n</oor:items>\n");
    else
        text.insert(end, item + QLatin1Char('\n'));
    QSaveFile file(path);
    if (!QDir().mkpath(user) || !file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 ||
        !file.commit()) {
        *error = QStringLiteral("%1 cannot be written").arg(path);
        return false;
    }
    return true;
}

} // namespace qp::office
