#pragma once

#include "Controls.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>

#include <cstdint>

namespace qp {

// What became of one document of a job, or of a folder of a tree that could
// not be read (folder set: then its status is Failed, with the reason).
struct JobOutcome {
    enum class Status { Converted, Failed, Unchanged };
    Status status = Status::Converted;
    QString source;
    QString page; // converted or unchanged: the page's full path
    QString reason;
    QString warnings; // one a line
    std::int32_t error = 0;
    double seconds = 0;
    qint64 bytes = 0;
    bool folder = false;

    // A folder that could not be read, and why.
    static JobOutcome folderNotRead(const QString& folder, const QString& reason);
};

// The counts of a job (or of a run of several), for its closing line and its
// report.
struct JobCounts {
    int converted = 0;
    int failed = 0;
    int unchanged = 0;
    int notConverted = 0;
    int foldersNotRead = 0;
    QString endedBy; // "stopped" or "closed" when the job ended before its last document

    void add(const JobOutcome& outcome);
    // "N converted, M failed", then ", U unchanged" when there are any,
    // ", F folder(s) not read" when there are any and ", K not converted
    // (stopped)" for a job that ended early.
    QString text() const;
};

// The report of a job, as quillpg-batch --report and the window's "Save
// Report…" write it: JSON lines, one object for each document (or folder not
// read) in the order they finished, then one closing object with the counts.
// File names that are not valid UTF-8 keep their exact bytes in base64 beside
// the readable name.
namespace JobReport {

// One line of the report, with its line end.
QByteArray outcomeLine(const JobOutcome& outcome);
QByteArray closingLine(const JobCounts& counts);

// Writes a whole report to the file. It is written beside the file and
// takes its place only once complete, so the file is the whole report or
// stays as it was. False with the reason when it could not be written.
bool save(const QString& path, const QList<JobOutcome>& outcomes, const JobCounts& counts,
          QString* error);

} // namespace JobReport

// Gathers what a reporter hears of each document in flight (when it started,
// its warnings, its bytes, the error number of a failure) into its outcome
// once it ends. Several documents may be in flight at once.
class OutcomeAssembler {
public:
    void started(const QString& source);
    void warned(const QString& source, const QString& warnings);
    void saved(const QString& source, qint64 bytes);
    void errorNumber(const QString& source, std::int32_t number);
    // The document's outcome; what was heard of it is forgotten.
    JobOutcome converted(const QString& source, const QString& page);
    JobOutcome failed(const QString& source, const QString& reason);
    // Forgets every document and starts the clock again.
    void restart();

private:
    // Seconds since the document started, 0 when it never did; what was
    // heard of it is forgotten.
    double finish(const QString& source);

    QElapsedTimer clock_;
    QHash<QString, qint64> started_; // on clock_
    QHash<QString, QString> warnings_;
    QHash<QString, qint64> bytes_;
    QHash<QString, std::int32_t> errors_;
};

// Keeps what became of each document of the last job, from what its reporter
// hears, for its report: the time each took, its warnings, its bytes and the
// error number of a failure. A cancelled document counts as failed with the
// reason "cancelled". A new job forgets the previous one.
class JobRecord : public JobReporter {
public:
    void jobStarted(int total) override;
    void documentStarted(const QString& source, int index, int total) override;
    void documentWarned(const QString& source, const QString& warnings) override;
    void documentSaved(const QString& source, qint64 bytes) override;
    void documentConverted(const QString& source, const QString& page) override;
    void documentErrorNumber(const QString& source, std::int32_t number) override;
    void documentFailed(const QString& source, const QString& reason) override;
    void documentCancelled(const QString& source) override;
    void jobFinished(const JobSummary& summary) override;

    // Whether a job has ended since the last one started: its report is
    // complete.
    bool finished() const { return finished_; }
    const QList<JobOutcome>& outcomes() const { return outcomes_; }
    const JobCounts& counts() const { return counts_; }
    // Saves the finished job's report (JobReport::save).
    bool save(const QString& path, QString* error) const;

private:
    void add(JobOutcome outcome);

    OutcomeAssembler assembler_;
    QList<JobOutcome> outcomes_;
    JobCounts counts_;
    bool finished_ = false;
};

} // namespace qp
