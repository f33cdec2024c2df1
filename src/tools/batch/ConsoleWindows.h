#pragma once

#include "desktop/CommonDialog.h"
#include "desktop/Dialogs.h"
#include "desktop/FileList.h"
#include "jobs/Controls.h"

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

// Prints one line per document on standard output and, on a terminal, a
// progress line on standard error. A worker of a --jobs run prints worker
// records (ConsoleText.h) for its parent instead: "total N", "converted
// SOURCE PAGE", "failed SOURCE REASON" and, from finish, "finished
// CONVERTED FAILED NOT_CONVERTED ENDED_BY".
class ConsoleReporter : public JobReporter {
public:
    // progress: whether to draw the progress line. machine: print worker
    // records for a parent process.
    ConsoleReporter(bool progress, bool machine) : progress_(progress), machine_(machine) {}

    void jobStarted(int total) override;
    void documentStarted(const QString& source, int index, int total) override;
    void documentWarned(const QString& source, const QString& warnings) override;
    void documentConverted(const QString& source, const QString& page) override;
    void documentFailed(const QString& source, const QString& reason) override;
    void documentCancelled(const QString& source) override;
    void jobFinished(const JobSummary& summary) override;

    // Prints the closing line (finishRun), or for a worker its "finished"
    // record, and gives the exit status.
    int finish() const;
    // Called after each document, whatever became of it.
    std::function<void()> afterDocument;

private:
    // Prints a document's line, or for a worker its record, and lets the run
    // go on.
    void printDocument(const QStringList& record, const QString& line);
    void drawProgress();
    void clearProgress();

    bool progress_;
    bool machine_;
    int total_ = 0;
    JobSummary summary_;
    QElapsedTimer clock_;
    QHash<QString, QString> warnings_;
};

// Draws "done/total, rate, time left" on standard error.
QString progressLine(int done, int total, double seconds);

// Prints the closing line on standard output (and, for a run that was
// stopped before its end, what was left on standard error) and gives the
// exit status: 0 when every document converted, otherwise 1.
int finishRun(const JobSummary& summary);

// Messages go to standard error; nobody is there to choose a file or folder.
class ConsoleDialogs : public DialogProvider {
public:
    MessageAnswer message(const MessageRequest& request) override;
    std::optional<QString> file(const FileRequest&) override { return std::nullopt; }
    QString folder(const FolderRequest&) override { return {}; }
};

// Everything the pipeline drives, without a window.
class ConsoleWindows : public WindowPort {
public:
    ConsoleWindows(QStringList extensions, bool filtered, ConsoleReporter& reporter, int shardIndex,
                   int shardCount, DialogProvider& dialogs);

    DocumentList& documentList() override { return documents_; }
    FileList& fileList() override { return files_; }
    CommonDialog& commonDialog() override { return dialog_; }
    void hideNextDocument() override {}
    void showMainWindow() override {}
    bool notFilteredSelected() override { return !filtered_; }
    ExtensionList& extensionList() override { return extensions_; }
    BatchView& batchView() override { return batchView_; }
    JobReporter& reporter() override { return reporter_; }
    void setBusy(bool) override {}
    bool takesDocument(int acceptedIndex) override {
        return acceptedIndex % shardCount_ == shardIndex_ - 1;
    }

private:
    class NoBatchView : public BatchView {
    public:
        void clearFound() override {}
        void addFound(const QString&) override {}
        void setSourceText(const QString&) override {}
        void setTargetText(const QString&) override {}
    };

    ConsoleDocumentList documents_;
    FileList files_;
    CommonDialog dialog_;
    StringExtensionList extensions_;
    bool filtered_;
    NoBatchView batchView_;
    ConsoleReporter& reporter_;
    int shardIndex_;
    int shardCount_;
};

} // namespace qp::batch
