#include "BatchReport.h"

#include "ConsoleText.h"
#include "desktop/FileList.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>
#include <cmath>

namespace qp::batch {

namespace {

constexpr std::array statusNames{"converted", "failed", "unchanged"};

// A file name in the report. JSON text is Unicode, so a name that is not
// valid UTF-8 has each such byte as U+FFFD under its key, and its exact bytes
// in base64 under key + "_base64": it is never dropped, and can be restored.
void putName(QJsonObject& object, const QString& key, const QString& name) {
    if (name.isEmpty()) {
        object.insert(key, QJsonValue::Null);
        return;
    }
    if (!hasRawBytes(name)) {
        object.insert(key, name);
        return;
    }
    QString shown = name;
    for (qsizetype i = 0; i < shown.size(); ++i)
        if (shown[i].isLowSurrogate() && (i == 0 || !shown[i - 1].isHighSurrogate()))
            shown[i] = QChar::ReplacementCharacter;
    object.insert(key, shown);
    object.insert(key + QStringLiteral("_base64"),
                  QString::fromLatin1(encodeFileName(name).toBase64()));
}

QString fileName(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The page name a document gets when nothing else claims it: "base.htm".
QString ownPageName(const QString& source) {
    const QString name = fileName(source);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot > 0 && dot >= name.size() - 5 ? name.left(dot) : name) + QStringLiteral(".htm");
}

} // namespace

QStringList Outcome::record() const {
    return {QStringLiteral("document"),
            QString::fromLatin1(statusNames[std::size_t(status)]),
            source,
            page,
            reason,
            warnings,
            QString::number(error),
            QString::number(seconds, 'f', 3),
            QString::number(bytes)};
}

std::optional<Outcome> Outcome::fromRecord(const QStringList& fields) {
    if (fields.size() != 9 || fields[0] != QLatin1String("document"))
        return std::nullopt;
    Outcome outcome;
    const auto status = std::find(statusNames.begin(), statusNames.end(), fields[1]);
    if (status == statusNames.end())
        return std::nullopt;
    outcome.status = Status(status - statusNames.begin());
    outcome.source = fields[2];
    outcome.page = fields[3];
    outcome.reason = fields[4];
    outcome.warnings = fields[5];
    outcome.error = fields[6].toInt();
    outcome.seconds = fields[7].toDouble();
    outcome.bytes = fields[8].toLongLong();
    return outcome;
}

QString Outcome::line() const {
    switch (status) {
    case Status::Converted:
        return convertedLine(source, page, warnings);
    case Status::Failed:
        return failedLine(source, reason);
    case Status::Unchanged:
        return QStringLiteral("Unchanged %1 -> %2").arg(escapedName(source), escapedName(page));
    }
    return {};
}

void RunCounts::add(const Outcome& outcome) {
    switch (outcome.status) {
    case Outcome::Status::Converted:
        ++converted;
        break;
    case Outcome::Status::Failed:
        ++failed;
        break;
    case Outcome::Status::Unchanged:
        ++unchanged;
        break;
    }
}

QString RunCounts::text() const {
    QString line = QStringLiteral("%1 converted, %2 failed").arg(converted).arg(failed);
    if (unchanged > 0)
        line += QStringLiteral(", %1 unchanged").arg(unchanged);
    if (!endedBy.isEmpty())
        line += QStringLiteral(", %1 not converted (%2)").arg(notConverted).arg(endedBy);
    return line;
}

ReportWriter::~ReportWriter() {
    if (ownsFile_)
        std::fclose(file_);
}

bool ReportWriter::open(const QString& path, QString* error) {
    if (path.isEmpty())
        return true;
    if (path == QLatin1String("-")) {
        file_ = stdout;
        return true;
    }
    file_ = std::fopen(encodeFileName(path).constData(), "w");
    if (!file_) {
        *error = QStringLiteral("the report %1 cannot be written").arg(escapedName(path));
        return false;
    }
    ownsFile_ = true;
    return true;
}

void ReportWriter::write(const Outcome& outcome) {
    if (!file_)
        return;
    QJsonObject object;
    putName(object, QStringLiteral("source"), outcome.source);
    putName(object, QStringLiteral("page"), outcome.page);
    object.insert(QStringLiteral("status"),
                  QString::fromLatin1(statusNames[std::size_t(outcome.status)]));
    object.insert(QStringLiteral("reason"),
                  outcome.reason.isEmpty() ? QJsonValue(QJsonValue::Null) : outcome.reason);
    object.insert(QStringLiteral("warnings"),
                  outcome.warnings.isEmpty() ? QJsonValue(QJsonValue::Null) : outcome.warnings);
    object.insert(QStringLiteral("error"), outcome.error);
    object.insert(QStringLiteral("seconds"), std::round(outcome.seconds * 1000) / 1000);
    object.insert(QStringLiteral("bytes"), outcome.bytes);
    const QString renamed =
        outcome.page.isEmpty() || fileName(outcome.page) == ownPageName(outcome.source)
            ? QString()
            : fileName(outcome.page);
    putName(object, QStringLiteral("renamed"), renamed);
    writeLine(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void ReportWriter::close(const RunCounts& counts) {
    if (!file_)
        return;
    QJsonObject object{{QStringLiteral("converted"), counts.converted},
                       {QStringLiteral("failed"), counts.failed},
                       {QStringLiteral("unchanged"), counts.unchanged},
                       {QStringLiteral("not_converted"), counts.notConverted},
                       {QStringLiteral("ended_by"), counts.endedBy.isEmpty()
                                                        ? QJsonValue(QJsonValue::Null)
                                                        : QJsonValue(counts.endedBy)}};
    writeLine(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void ReportWriter::writeLine(const QByteArray& json) {
    std::fputs(json.constData(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

} // namespace qp::batch
