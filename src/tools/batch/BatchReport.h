#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <optional>

namespace qp::batch {

// What became of one document of a run.
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

    // The worker record (ConsoleText.h) that carries it to a parent process.
    QStringList record() const;
    // The outcome of such a record; nothing when it is not one.
    static std::optional<Outcome> fromRecord(const QStringList& fields);
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
    QString endedBy; // "stopped" when the run ended before its last document

    void add(const Outcome& outcome);
    // "N converted, M failed", then ", U unchanged" when there are any and
    // ", K not converted (stopped)" for a run that ended early.
    QString text() const;
};

// The --report file: one JSON object per line for each document as it
// finishes, then one closing object with the counts.
class ReportWriter {
public:
    ReportWriter() = default;
    ~ReportWriter();
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // Opens the file (replacing it), "-" for standard output; no path: no
    // report. False with the message when the file cannot be written.
    bool open(const QString& path, QString* error);
    void write(const Outcome& outcome);
    void close(const RunCounts& counts);

private:
    void writeLine(const QByteArray& json);
    std::FILE* file_ = nullptr;
    bool ownsFile_ = false;
};

} // namespace qp::batch
