#include "ConsoleWindows.h"

#include "ConsoleText.h"
#include "automation/AutomationError.h"

namespace qp::batch {

namespace {

std::FILE* linesOut = stdout;

// Writes one line (with its line end) at once.
void printLine(const QByteArray& line, std::FILE* to = linesOut) {
    std::fputs(line.constData(), to);
    std::fflush(to);
}

int exitStatus(const RunCounts& counts) {
    return counts.failed > 0 || counts.notConverted > 0 || counts.foldersNotRead > 0 ? 1 : 0;
}

} // namespace

void printLinesToStandardError(bool toError) {
    linesOut = toError ? stderr : stdout;
}

void printRunLine(const QString& line) {
    printLine(line.toLocal8Bit() + '\n');
}

void ConsoleDocumentList::addRow(const QString& key, const QString&) {
    if (rows_.contains(key))
        throw AutomationError(ErrorNumber::KeyNotUnique,
                              QStringLiteral("Key is not unique in collection: %1").arg(key));
    rows_.insert(key, {});
}

void ConsoleDocumentList::insertStatus(const QString& key, const QString& text) {
    auto it = rows_.find(key);
    if (it == rows_.end())
        throw AutomationError(ErrorNumber::InvalidArgument,
                              QStringLiteral("No row for %1").arg(key));
    it->prepend(text);
}

QString ConsoleDocumentList::status(const QString& key) const {
    const auto it = rows_.find(key);
    return it == rows_.end() || it->isEmpty() ? QString() : it->first();
}

QString progressLine(int done, int total, double seconds) {
    const double rate = seconds > 0 ? done / seconds : 0;
    QString line = QStringLiteral("%1/%2 documents").arg(done).arg(total);
    if (rate > 0) {
        const int left = int((total - done) / rate + 0.5);
        line += QStringLiteral(", %1 per second, %2:%3 left")
                    .arg(rate, 0, 'f', 1)
                    .arg(left / 60)
                    .arg(left % 60, 2, 10, QLatin1Char('0'));
    }
    return line;
}

void ConsoleReporter::jobStarted(int total) {
    total_ += total;
    if (!clock_.isValid())
        clock_.start();
    drawProgress();
}

void ConsoleReporter::documentsLeft(int count) {
    counts_.notConverted += count;
    counts_.endedBy = QStringLiteral("stopped");
    jobStarted(count);
}

void ConsoleReporter::folderNotRead(const QString& folder, const QString& reason) {
    tell(Outcome::folderNotRead(folder, reason));
}

void ConsoleReporter::documentStarted(const QString& source, int, int) {
    if (!clock_.isValid())
        clock_.start();
    assembler_.started(source);
}

void ConsoleReporter::documentWarned(const QString& source, const QString& warnings) {
    assembler_.warned(source, warnings);
}

void ConsoleReporter::documentSaved(const QString& source, qint64 bytes) {
    assembler_.saved(source, bytes);
}

// "Converted SOURCE -> PAGE", followed by the document's warnings in
// parentheses when it has any.
void ConsoleReporter::documentConverted(const QString& source, const QString& page) {
    tell(assembler_.converted(source, page));
    if (afterDocument)
        afterDocument();
}

void ConsoleReporter::documentErrorNumber(const QString& source, std::int32_t number) {
    assembler_.errorNumber(source, number);
}

void ConsoleReporter::documentFailed(const QString& source, const QString& reason) {
    tell(assembler_.failed(source, reason));
    if (afterDocument)
        afterDocument();
}

void ConsoleReporter::documentCancelled(const QString& source) {
    documentFailed(source, QStringLiteral("cancelled"));
}

void ConsoleReporter::documentUnchanged(const QString& source, const QString& page) {
    tell({Outcome::Status::Unchanged, source, page, {}, {}, 0, 0, 0});
}

void ConsoleReporter::jobFinished(const JobSummary& summary) {
    counts_.notConverted += summary.notConverted;
    if (!summary.endedBy.isEmpty())
        counts_.endedBy = summary.endedBy;
    clearProgress();
    if (afterJob)
        afterJob();
}

int ConsoleReporter::finish() const {
    return finishRun(counts_, report_);
}

void ConsoleReporter::tell(const Outcome& outcome) {
    counts_.add(outcome);
    clearProgress();
    printRunLine(printedLine(outcome));
    if (report_)
        report_->write(outcome);
    drawProgress();
}

void ConsoleReporter::drawProgress() {
    if (!progress_ || !clock_.isValid())
        return;
    std::fprintf(stderr, "\r\033[K%s",
                 qPrintable(progressLine(counts_.converted + counts_.failed + counts_.unchanged,
                                         total_, clock_.nsecsElapsed() / 1e9)));
    std::fflush(stderr);
}

void ConsoleReporter::clearProgress() {
    if (progress_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
}

int finishRun(const RunCounts& counts, ReportWriter* report) {
    printRunLine(counts.text());
    if (report)
        report->close(counts);
    if (counts.notConverted > 0)
        std::fprintf(stderr, "quillpg-batch: %s: %d document(s) not converted\n",
                     qPrintable(counts.endedBy), counts.notConverted);
    return exitStatus(counts);
}

MessageAnswer ConsoleDialogs::message(const MessageRequest& request) {
    std::fprintf(stderr, "quillpg-batch: %s\n", qPrintable(request.text));
    if (!request.informativeText.isEmpty())
        std::fprintf(stderr, "quillpg-batch: %s\n", qPrintable(request.informativeText));
    return request.buttons == MessageButtons::YesNo ||
                   request.buttons == MessageButtons::YesNoCancel
               ? MessageAnswer::No
               : MessageAnswer::Ok;
}

ConsoleWindows::ConsoleWindows(QStringList extensions, bool filtered, ConsoleReporter& reporter,
                               int shardIndex, int shardCount, DialogProvider& dialogs)
    : dialog_(dialogs), reporter_(reporter), shardIndex_(shardIndex), shardCount_(shardCount) {
    settings_.setExtensions(extensions);
    settings_.setPageFormat(filtered ? PageFormat::Filtered : PageFormat::Full);
}

} // namespace qp::batch
