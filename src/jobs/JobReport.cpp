#include "JobReport.h"

#include "desktop/FileList.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <array>
#include <cmath>

namespace qp {

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

QByteArray jsonLine(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QJsonValue textOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

} // namespace

JobOutcome JobOutcome::folderNotRead(const QString& folder, const QString& reason) {
    JobOutcome outcome;
    outcome.status = Status::Failed;
    outcome.source = folder;
    outcome.reason = reason;
    outcome.folder = true;
    return outcome;
}

void JobCounts::add(const JobOutcome& outcome) {
    if (outcome.folder) {
        ++foldersNotRead;
        return;
    }
    switch (outcome.status) {
    case JobOutcome::Status::Converted:
        ++converted;
        break;
    case JobOutcome::Status::Failed:
        ++failed;
        break;
    case JobOutcome::Status::Unchanged:
        ++unchanged;
        break;
    }
}

QString JobCounts::text() const {
    QString line = QStringLiteral("%1 converted, %2 failed").arg(converted).arg(failed);
    if (unchanged > 0)
        line += QStringLiteral(", %1 unchanged").arg(unchanged);
    if (foldersNotRead > 0)
        line +=
            QStringLiteral(", %1 %2 not read")
                .arg(foldersNotRead)
                .arg(foldersNotRead == 1 ? QStringLiteral("folder") : QStringLiteral("folders"));
    if (!endedBy.isEmpty())
        line += QStringLiteral(", %1 not converted (%2)").arg(notConverted).arg(endedBy);
    return line;
}

namespace JobReport {

QByteArray outcomeLine(const JobOutcome& outcome) {
    QJsonObject object;
    object.insert(QStringLiteral("kind"),
                  outcome.folder ? QStringLiteral("folder") : QStringLiteral("document"));
    putName(object, QStringLiteral("source"), outcome.source);
    if (outcome.folder) {
        object.insert(QStringLiteral("status"), QStringLiteral("failed"));
        object.insert(QStringLiteral("reason"), outcome.reason);
        return jsonLine(object);
    }
    putName(object, QStringLiteral("page"), outcome.page);
    object.insert(QStringLiteral("status"),
                  QString::fromLatin1(statusNames[std::size_t(outcome.status)]));
    object.insert(QStringLiteral("reason"), textOrNull(outcome.reason));
    object.insert(QStringLiteral("warnings"), textOrNull(outcome.warnings));
    object.insert(QStringLiteral("error"), outcome.error);
    object.insert(QStringLiteral("seconds"), std::round(outcome.seconds * 1000) / 1000);
    object.insert(QStringLiteral("bytes"), outcome.bytes);
    const QString renamed =
        outcome.page.isEmpty() || fileName(outcome.page) == ownPageName(outcome.source)
            ? QString()
            : fileName(outcome.page);
    putName(object, QStringLiteral("renamed"), renamed);
    return jsonLine(object);
}

QByteArray closingLine(const JobCounts& counts) {
    return jsonLine(QJsonObject{{QStringLiteral("converted"), counts.converted},
                                {QStringLiteral("failed"), counts.failed},
                                {QStringLiteral("unchanged"), counts.unchanged},
                                {QStringLiteral("not_converted"), counts.notConverted},
                                {QStringLiteral("folders_not_read"), counts.foldersNotRead},
                                {QStringLiteral("ended_by"), textOrNull(counts.endedBy)}});
}

bool save(const QString& path, const QList<JobOutcome>& outcomes, const JobCounts& counts,
          QString* error) {
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    for (const JobOutcome& outcome : outcomes)
        written = written && file.write(outcomeLine(outcome)) >= 0;
    written = written && file.write(closingLine(counts)) >= 0;
    // Only a complete report takes the place of the file.
    if (written && file.commit())
        return true;
    *error = file.errorString();
    file.cancelWriting();
    return false;
}

} // namespace JobReport

void OutcomeAssembler::started(const QString& source) {
    if (!clock_.isValid())
        clock_.start();
    started_.insert(source, clock_.nsecsElapsed());
}

void OutcomeAssembler::warned(const QString& source, const QString& warnings) {
    warnings_.insert(source, warnings);
}

void OutcomeAssembler::saved(const QString& source, qint64 bytes) {
    bytes_.insert(source, bytes);
}

void OutcomeAssembler::errorNumber(const QString& source, std::int32_t number) {
    errors_.insert(source, number);
}

JobOutcome OutcomeAssembler::converted(const QString& source, const QString& page) {
    JobOutcome outcome;
    outcome.source = source;
    outcome.page = page;
    outcome.warnings = warnings_.value(source);
    outcome.bytes = bytes_.value(source);
    outcome.seconds = finish(source);
    return outcome;
}

JobOutcome OutcomeAssembler::failed(const QString& source, const QString& reason) {
    JobOutcome outcome;
    outcome.status = JobOutcome::Status::Failed;
    outcome.source = source;
    outcome.reason = reason;
    outcome.error = errors_.value(source);
    outcome.seconds = finish(source);
    return outcome;
}

void OutcomeAssembler::restart() {
    started_.clear();
    warnings_.clear();
    bytes_.clear();
    errors_.clear();
    clock_.start();
}

double OutcomeAssembler::finish(const QString& source) {
    warnings_.remove(source);
    bytes_.remove(source);
    errors_.remove(source);
    const auto it = started_.constFind(source);
    if (it == started_.cend())
        return 0;
    const double seconds = double(clock_.nsecsElapsed() - *it) / 1e9;
    started_.erase(it);
    return seconds;
}

void JobRecord::jobStarted(int) {
    assembler_.restart();
    outcomes_.clear();
    counts_ = {};
    finished_ = false;
}

void JobRecord::documentStarted(const QString& source, int, int) {
    assembler_.started(source);
}

void JobRecord::documentWarned(const QString& source, const QString& warnings) {
    assembler_.warned(source, warnings);
}

void JobRecord::documentSaved(const QString& source, qint64 bytes) {
    assembler_.saved(source, bytes);
}

void JobRecord::documentConverted(const QString& source, const QString& page) {
    add(assembler_.converted(source, page));
}

void JobRecord::documentErrorNumber(const QString& source, std::int32_t number) {
    assembler_.errorNumber(source, number);
}

void JobRecord::documentFailed(const QString& source, const QString& reason) {
    add(assembler_.failed(source, reason));
}

void JobRecord::documentCancelled(const QString& source) {
    documentFailed(source, QStringLiteral("cancelled"));
}

void JobRecord::jobFinished(const JobSummary& summary) {
    counts_.notConverted = summary.notConverted;
    counts_.endedBy = summary.endedBy;
    finished_ = true;
}

bool JobRecord::save(const QString& path, QString* error) const {
    return JobReport::save(path, outcomes_, counts_, error);
}

void JobRecord::add(JobOutcome outcome) {
    counts_.add(outcome);
    outcomes_ << std::move(outcome);
}

} // namespace qp
