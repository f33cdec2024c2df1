#pragma once

#include "jobs/JobReport.h"

#include <QString>

namespace qp::batch {

// What became of one document of a run, or of a folder of its tree that
// could not be read, and the counts of a run: kept as the window keeps them.
using Outcome = JobOutcome;
using RunCounts = JobCounts;

// The line printed for an outcome: "Converted SOURCE -> PAGE", "Failed
// SOURCE: REASON" or "Unchanged SOURCE -> PAGE".
QString printedLine(const Outcome& outcome);

// The --report file (JobReport): one JSON object per line for each document
// (or folder not read) as it finishes, then one closing object with the counts.
//
// A report into a regular file, or a new one, grows in FILE.partial beside it
// and is renamed onto FILE when the run ends, so that an earlier report
// survives a run that dies. A report into anything else (a device, a FIFO, a
// process substitution, standard output) is written to directly. The first
// write that fails is said on standard error, and failed() tells the caller,
// which ends with status 2; a report that failed never replaces an earlier one.
class ReportWriter {
public:
    ReportWriter() = default;
    // A report that was not closed leaves its destination as it was.
    ~ReportWriter();
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // Opens the report, "-" for standard output; no path: no report. False
    // with the message when it cannot be written.
    bool open(const QString& path, QString* error);
    void write(const Outcome& outcome);
    // Writes the closing object and puts the report in place.
    void close(const RunCounts& counts);
    bool failed() const { return failed_; }

private:
    void writeLine(const QByteArray& line);
    void fail(int error);
    int fd_ = -1;
    bool ownsFd_ = false;
    QByteArray partial_;     // written beside the destination, renamed at the end
    QByteArray destination_; // where the report goes
    QString shown_;          // the report as messages name it
    bool failed_ = false;
};

} // namespace qp::batch
