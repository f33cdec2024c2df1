#pragma once

#include <QString>

#include <cstdint>
#include <functional>

namespace qp {

class FileList;
class CommonDialog;
class JobSettings;
class WorkItem;

// The controls of the windows that the pipeline drives, reached through small
// interfaces: the window application implements them with widgets, the
// console tool without any.

// The main window's document list: one row per document, keyed by its path.
class DocumentList {
public:
    virtual ~DocumentList() = default;
    // Removes every row.
    virtual void clear() = 0;
    // Adds a row whose key and text are given; raises KeyNotUnique when a row
    // with that key exists.
    virtual void addRow(const QString& key, const QString& text) = 0;
    // Inserts a sub-item at index 1, the status column; the earlier status
    // moves one place right. Raises when there is no such row.
    virtual void insertStatus(const QString& key, const QString& text) = 0;
    // Attaches a longer explanation to the row (shown as its tooltip).
    virtual void setDetail(const QString& key, const QString& detail) = 0;
    virtual int rowCount() const = 0;
    virtual bool hasRow(const QString& key) const = 0;
    // The row's current status, empty when it has none or there is no row.
    virtual QString status(const QString& key) const = 0;
};

// The list of extensions that count as documents, in order.
class ExtensionList {
public:
    virtual ~ExtensionList() = default;
    virtual int listCount() const = 0;
    virtual QString list(int index) const = 0;
};

// The Batch Documents dialog's found-documents list (its folder boxes show
// the job settings).
class BatchView {
public:
    virtual ~BatchView() = default;
    virtual void clearFound() = 0;
    virtual void addFound(const QString& name) = 0;
};

// How a job ended: what became of its documents.
struct JobSummary {
    int converted = 0;
    int failed = 0;
    // Documents of the job that were not converted because the job was
    // stopped or closed before it came to them.
    int notConverted = 0;
    // "stopped" or "closed" when the job ended before its queue did.
    QString endedBy;

    // "n converted, m failed", and ", k not converted (stopped)" for a job
    // that ended early.
    QString text() const {
        QString line = QStringLiteral("%1 converted, %2 failed").arg(converted).arg(failed);
        if (!endedBy.isEmpty())
            line += QStringLiteral(", %1 not converted (%2)").arg(notConverted).arg(endedBy);
        return line;
    }
};

// Hears how a job goes, for the status bar or the console.
class JobReporter {
public:
    virtual ~JobReporter() = default;
    virtual void jobStarted(int total) = 0;
    virtual void documentStarted(const QString& source, int index, int total) = 0;
    // Warnings about a document that converted (one a line), told just
    // before documentConverted; the reporter may show them beside it.
    virtual void documentWarned(const QString& source, const QString& warnings) {
        (void)source;
        (void)warnings;
    }
    // The bytes the page and its pictures took on the disk, told just before
    // documentConverted.
    virtual void documentSaved(const QString& source, qint64 bytes) {
        (void)source;
        (void)bytes;
    }
    virtual void documentConverted(const QString& source, const QString& page) = 0;
    // The automation error number of a failure (0 when there is none), told
    // just before documentFailed.
    virtual void documentErrorNumber(const QString& source, std::int32_t number) {
        (void)source;
        (void)number;
    }
    virtual void documentFailed(const QString& source, const QString& reason) = 0;
    virtual void documentCancelled(const QString& source) = 0;
    virtual void jobFinished(const JobSummary& summary) = 0;
};

// Everything of the windows that the Mediator, the states and the converters
// use. Each accessor reaches the window's single instance, creating and
// loading it on first touch.
class WindowPort {
public:
    virtual ~WindowPort() = default;
    virtual DocumentList& documentList() = 0; // MainWindow.documentView
    virtual FileList& fileList() = 0;         // MainWindow.fileList
    virtual CommonDialog& commonDialog() = 0; // MainWindow.commonDialog
    virtual void hideNextDocument() = 0;      // MainWindow.nextButton
    virtual void showMainWindow() = 0;        // MainWindow.show
    // What the jobs are set to do: page format, extensions and folders.
    virtual JobSettings& settings() = 0;
    // The settings' extension list.
    ExtensionList& extensionList();
    virtual BatchView& batchView() = 0;  // BatchDialog
    virtual JobReporter& reporter() = 0; // status bar or console
    // While a job runs nothing may start a second one or change the running
    // one, and the job can be stopped.
    virtual void setBusy(bool busy) = 0;
    // Shows a line in the main window's status bar.
    virtual void showStatus(const QString& text) { (void)text; }
    // Whether a batch run converts the accepted document with this index
    // (0-based, in the order of the listing). Every one, unless the run
    // converts only one slice of a folder shared among several runs.
    virtual bool takesDocument(int acceptedIndex) {
        (void)acceptedIndex;
        return true;
    }
    // Asked once a batch job has queued its documents, their pages named:
    // the order in which to convert them, "a before b". Unset: the order of
    // the listing.
    virtual std::function<bool(const WorkItem& a, const WorkItem& b)> conversionOrder() {
        return {};
    }
    // Asked just before the job converts its next queued item, in queue
    // order: whether to convert it now. An item passed over is neither
    // converted nor counted (another process converts it, or its page is up
    // to date); telling why is the windows' own concern.
    virtual bool convertsNext(const WorkItem& item) {
        (void)item;
        return true;
    }
};

// Lets the user interface process its pending events, the given number of
// times in a row. Does nothing without an application object.
void yieldUi(int times = 1);

} // namespace qp
