#include "BatchReport.h"

#include "ConsoleText.h"
#include "desktop/FileList.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

Outcome Outcome::folderNotRead(const QString& folder, const QString& reason) {
    Outcome outcome;
    outcome.status = Status::Failed;
    outcome.source = folder;
    outcome.reason = reason;
    outcome.folder = true;
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
    if (outcome.folder) {
        ++foldersNotRead;
        return;
    }
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
    if (foldersNotRead > 0)
        line +=
            QStringLiteral(", %1 %2 not read")
                .arg(foldersNotRead)
                .arg(foldersNotRead == 1 ? QStringLiteral("folder") : QStringLiteral("folders"));
    if (!endedBy.isEmpty())
        line += QStringLiteral(", %1 not converted (%2)").arg(notConverted).arg(endedBy);
    return line;
}

ReportWriter::~ReportWriter() {
    if (ownsFd_)
        ::close(fd_);
    if (!partial_.isEmpty())
        ::unlink(partial_.constData());
}

bool ReportWriter::open(const QString& path, QString* error) {
    if (path.isEmpty())
        return true;
    if (path == QLatin1String("-")) {
        fd_ = STDOUT_FILENO;
        shown_ = QStringLiteral("on standard output");
        return true;
    }
    shown_ = escapedName(path);
    const QByteArray native = encodeFileName(path);
    auto refuse = [&](int number) {
        *error = QStringLiteral("the report %1 cannot be written: %2")
                     .arg(shown_, QString::fromLocal8Bit(std::strerror(number)));
        return false;
    };
    struct stat info {};
    if (::stat(native.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        // A device, a FIFO or a pipe of a process substitution: written to
        // as it is, never replaced.
        fd_ = ::open(native.constData(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0)
            return refuse(errno);
        ownsFd_ = true;
        return true;
    }
    // A link to a report is followed: the link stays, its file is replaced.
    const QByteArray real = resolvedPath(native);
    destination_ = real.isEmpty() ? native : real;
    const QByteArray partial = destination_ + ".partial";
    struct stat beside {};
    if (::lstat(partial.constData(), &beside) == 0 && !S_ISREG(beside.st_mode))
        return refuse(EEXIST);
    fd_ = ::open(partial.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0)
        return refuse(errno);
    ownsFd_ = true;
    partial_ = partial;
    return true;
}

void ReportWriter::write(const Outcome& outcome) {
    if (fd_ < 0)
        return;
    QJsonObject object;
    object.insert(QStringLiteral("kind"),
                  outcome.folder ? QStringLiteral("folder") : QStringLiteral("document"));
    putName(object, QStringLiteral("source"), outcome.source);
    if (outcome.folder) {
        object.insert(QStringLiteral("status"), QStringLiteral("failed"));
        object.insert(QStringLiteral("reason"), outcome.reason);
        writeLine(QJsonDocument(object).toJson(QJsonDocument::Compact));
        return;
    }
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
    if (fd_ < 0)
        return;
    QJsonObject object{{QStringLiteral("converted"), counts.converted},
                       {QStringLiteral("failed"), counts.failed},
                       {QStringLiteral("unchanged"), counts.unchanged},
                       {QStringLiteral("not_converted"), counts.notConverted},
                       {QStringLiteral("folders_not_read"), counts.foldersNotRead},
                       {QStringLiteral("ended_by"), counts.endedBy.isEmpty()
                                                        ? QJsonValue(QJsonValue::Null)
                                                        : QJsonValue(counts.endedBy)}};
    writeLine(QJsonDocument(object).toJson(QJsonDocument::Compact));
    if (!ownsFd_)
        return;
    if (!partial_.isEmpty() && !failed_ && ::fsync(fd_) != 0)
        fail(errno);
    if (::close(fd_) != 0 && !failed_)
        fail(errno);
    ownsFd_ = false;
    fd_ = -1;
    // Only a complete report takes the place of the earlier one.
    if (!partial_.isEmpty() && !failed_ &&
        ::rename(partial_.constData(), destination_.constData()) != 0)
        fail(errno);
    if (!failed_)
        partial_.clear();
}

void ReportWriter::writeLine(const QByteArray& json) {
    if (fd_ < 0 || failed_)
        return;
    const QByteArray line = json + '\n';
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t wrote = ::write(fd_, line.constData() + done, size_t(line.size() - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            fail(wrote < 0 ? errno : EIO);
            return;
        }
        done += wrote;
    }
}

void ReportWriter::fail(int error) {
    if (failed_)
        return;
    failed_ = true;
    std::fprintf(stderr, "quillpg-batch: the report %s could not be written: %s\n",
                 qPrintable(shown_), std::strerror(error));
}

} // namespace qp::batch
