#pragma once

#include "BatchReport.h"
#include "desktop/CommonDialog.h"
#include "desktop/Dialogs.h"
#include "desktop/FileList.h"
#include "jobs/Controls.h"
#include "jobs/JobReport.h"
#include "jobs/JobSettings.h"

#include <QElapsedTimer>
#include <QHash>
#include <QStringList>

#include <cstdio>
#include <functional>

namespace qp::batch {

// The document list without a window: the rows' statuses, kept for the counts.
class ConsoleDocumentList : public DocumentList {
public:
    void clear() override { rows_.clear(); }
    void addRow(const QString& key, const QString& text) override;
    void insertStatus(const QString& key, const QString& text) override;
    void setDetail(const QString&, const QString&) override {}
    int rowCount() const override { return int(rows_.size()); }
    bool hasRow(const QString& key) const override { return rows_.contains(key); }
    QString status(const QString& key) const override;

private:
    QHash<QString, QStringList> rows_;
};

class StringExtensionList : public ExtensionList {
public:
    explicit StringExtensionList(QStringList entries) : entries_(std::move(entries)) {}
    int listCount() const override { return int(entries_.size()); }
    QString list(int index) const override { return entries_.value(index); }

private:
    QStringList entries_;
};

// Prints one line per document on standard output (standard error while the
// report goes to standard output) and, on a terminal, a progress line on
// standard error. One reporter may hear several jobs (one per folder of a
// tree): it counts them all.
class ConsoleReporter : public JobReporter {
public:
    // progress: whether to draw the progress line. report: where each
    // outcome is also written, if anywhere.
    ConsoleReporter(bool progress, ReportWriter* report = nullptr)
        : progress_(progress), report_(report) {}

    void jobStarted(int total) override;
    void documentStarted(const QString& source, int index, int total) override;
    void documentWarned(const QString& source, const QString& warnings) override;
    void documentSaved(const QString& source, qint64 bytes) override;
    void documentConverted(const QString& source, const QString& page) override;
    void documentErrorNumber(const QString& source, std::int32_t number) override;
    void documentFailed(const QString& source, const QString& reason) override;
    void documentCancelled(const QString& source) override;
    void jobFinished(const JobSummary& summary) override;
    // A document left alone because its page is newer.
    void documentUnchanged(const QString& source, const QString& page);
    // Documents of the run that were never queued since it was stopped first.
    void documentsLeft(int count);
    // A folder of the tree that could not be listed: its documents are not
    // known, so it counts as a folder of its own.
    void folderNotRead(const QString& folder, const QString& reason);
    bool reportFailed() const { return report_ && report_->failed(); }

    // Prints the closing line (finishRun) and gives the exit status.
    int finish() const;
    // Called after each document that was converted or failed.
    std::function<void()> afterDocument;
    // Called once a job has reported its end.
    std::function<void()> afterJob;

private:
    // Prints a document's line and writes it to the report.
    void tell(const Outcome& outcome);
    void drawProgress();
    void clearProgress();

    bool progress_;
    ReportWriter* report_;
    int total_ = 0;
    RunCounts counts_;
    QElapsedTimer clock_; // since the first job started, for the rate
    OutcomeAssembler assembler_;
};

// Draws "done/total, rate, time left" on standard error.
QString progressLine(int done, int total, double seconds);

// From now on the lines of the documents and the closing line go to standard
// error (standard output carries the report), or else to standard output.
void printLinesToStandardError(bool toError);
// Prints a line of the run (a document's or the closing one) where they go.
void printRunLine(const QString& line);

// Prints the closing line (and, for a run that was stopped before its end,
// what was left on standard error), closes the report with the counts and
// gives the exit status: 0 when no document failed or was left and every
// folder was read, otherwise 1.
int finishRun(const RunCounts& counts, ReportWriter* report);

// Messages go to standard error; nobody is there to choose a file or folder.
class ConsoleDialogs : public DialogProvider {
public:
    MessageAnswer message(const MessageRequest& request) override;
    std::optional<QString> file(const FileRequest&) override { return std::nullopt; }
    QString folder(const FolderRequest&) override { return {}; }
};

// Everything the pipeline drives, without a window; the job settings hold
// the options' extensions and page format.
class ConsoleWindows : public WindowPort {
public:
    ConsoleWindows(QStringList extensions, bool filtered, ConsoleReporter& reporter, int shardIndex,
                   int shardCount, DialogProvider& dialogs);

    DocumentList& documentList() override { return documents_; }
    FileList& fileList() override { return files_; }
    CommonDialog& commonDialog() override { return dialog_; }
    void hideNextDocument() override {}
    void showMainWindow() override {}
    JobSettings& settings() override { return settings_; }
    BatchView& batchView() override { return batchView_; }
    JobReporter& reporter() override { return reporter_; }
    void setBusy(bool) override {}
    // The slice is taken over every document of the run, counted across the
    // jobs of a tree rather than within one folder.
    bool takesDocument(int) override { return accepted_++ % shardCount_ == shardIndex_ - 1; }
    bool convertsNext(const WorkItem& item) override { return !decide || decide(item); }
    // Whether to convert the next queued document now; unset: always.
    std::function<bool(const WorkItem&)> decide;
    std::function<bool(const WorkItem&, const WorkItem&)> conversionOrder() override {
        return orderForJob ? orderForJob() : nullptr;
    }
    // Gives each job the order in which it converts its documents; unset:
    // the listing's.
    std::function<std::function<bool(const WorkItem&, const WorkItem&)>()> orderForJob;

private:
    class NoBatchView : public BatchView {
    public:
        void clearFound() override {}
        void addFound(const QString&) override {}
    };

    ConsoleDocumentList documents_;
    FileList files_;
    CommonDialog dialog_;
    JobSettings settings_;
    NoBatchView batchView_;
    ConsoleReporter& reporter_;
    int shardIndex_;
    int shardCount_;
    int accepted_ = 0;
};

} // namespace qp::batch
