#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace qp::batch {

// What became of one document of a run, or of a folder of its tree that
// could not be read (folder set: then its status is Failed, with the reason).
struct Outcome {
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
    static Outcome folderNotRead(const QString& folder, const QString& reason);

    // The line printed for it: "Converted SOURCE -> PAGE", "Failed SOURCE:
    // REASON" or "Unchanged SOURCE -> PAGE".
    QString line() const;
};

// The counts of a run, for its closing line and its report.
struct RunCounts {
    int converted = 0;
    int failed = 0;
    int unchanged = 0;
    int notConverted = 0;
    int foldersNotRead = 0;
    QString endedBy; // "stopped" when the run ended before its last document

    void add(const Outcome& outcome);
    // "N converted, M failed", then ", U unchanged" when there are any,
    // ", F folder(s) not read" when there are any and ", K not converted
    // (stopped)" for a run that ended early.
    QString text() const;
};

// The --report file: one JSON object per line for each document (or folder
// not read) as it finishes, then one closing object with the counts.
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
    void writeLine(const QByteArray& json);
    void fail(int error);
    int fd_ = -1;
    bool ownsFd_ = false;
    QByteArray partial_;     // written beside the destination, renamed at the end
    QByteArray destination_; // where the report goes
    QString shown_;          // the report as messages name it
    bool failed_ = false;
};

} // namespace qp::batch
