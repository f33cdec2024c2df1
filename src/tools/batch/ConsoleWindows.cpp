#include "ConsoleWindows.h"

#include "ConsoleText.h"
#include "automation/AutomationError.h"

namespace qp::batch {

namespace {

// Writes one line (with its line end) to standard output at once.
void printLine(const QByteArray& line) {
    std::fputs(line.constData(), stdout);
    std::fflush(stdout);
}

int exitStatus(const JobSummary& summary) {
    return summary.failed > 0 || summary.notConverted > 0 ? 1 : 0;
}

} // namespace

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
    total_ = total;
    clock_.start();
    if (machine_)
        printLine(workerRecord({QStringLiteral("total"), QString::number(total)}));
    drawProgress();
}

void ConsoleReporter::documentStarted(const QString&, int, int) {}

void ConsoleReporter::documentWarned(const QString& source, const QString& warnings) {
    warnings_.insert(source, warnings);
}

// "Converted SOURCE -> PAGE", followed by the document's warnings in
// parentheses when it has any.
void ConsoleReporter::documentConverted(const QString& source, const QString& page) {
    ++summary_.converted;
    const QString warnings = warnings_.take(source);
    printDocument({QStringLiteral("converted"), source, page, warnings},
                  convertedLine(source, page, warnings));
}

void ConsoleReporter::documentFailed(const QString& source, const QString& reason) {
    ++summary_.failed;
    printDocument({QStringLiteral("failed"), source, reason}, failedLine(source, reason));
}

void ConsoleReporter::documentCancelled(const QString& source) {
    documentFailed(source, QStringLiteral("cancelled"));
}

void ConsoleReporter::jobFinished(const JobSummary& summary) {
    summary_ = summary;
    clearProgress();
}

int ConsoleReporter::finish() const {
    if (!machine_)
        return finishRun(summary_);
    printLine(workerRecord({QStringLiteral("finished"), QString::number(summary_.converted),
                            QString::number(summary_.failed),
                            QString::number(summary_.notConverted), summary_.endedBy}));
    return exitStatus(summary_);
}

void ConsoleReporter::printDocument(const QStringList& record, const QString& line) {
    clearProgress();
    printLine(machine_ ? workerRecord(record) : line.toLocal8Bit() + '\n');
    drawProgress();
    if (afterDocument)
        afterDocument();
}

void ConsoleReporter::drawProgress() {
    if (!progress_ || !clock_.isValid())
        return;
    std::fprintf(stderr, "\r\033[K%s",
                 qPrintable(progressLine(summary_.converted + summary_.failed, total_,
                                         clock_.nsecsElapsed() / 1e9)));
    std::fflush(stderr);
}

void ConsoleReporter::clearProgress() {
    if (progress_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
}

int finishRun(const JobSummary& summary) {
    printLine(summary.text().toLocal8Bit() + '\n');
    if (summary.notConverted > 0)
        std::fprintf(stderr, "quillpg-batch: %s: %d document(s) not converted\n",
                     qPrintable(summary.endedBy), summary.notConverted);
    return exitStatus(summary);
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
                               int shardIndex, int shardCount)
    : extensions_(std::move(extensions)), filtered_(filtered), reporter_(reporter),
      shardIndex_(shardIndex), shardCount_(shardCount) {}

} // namespace qp::batch
