#pragma once

#include "desktop/CommonDialog.h"
#include "desktop/FileList.h"
#include "jobs/Controls.h"
#include "jobs/JobReport.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QFrame;
class QMenu;
class QPushButton;
class QStatusBar;

namespace qp {

class NextDocumentCommand;
class DocumentListView;
class JobStatusArea;
class PageActions;
class WidgetWindows;

// The main window: the document list, the menus from which every job
// starts, "Next Document", "Exit" and, while a job runs, "Stop". It also
// holds the folder enumerator and the file dialog that the Mediator and the
// converters use, and reports the progress of a job in its status bar.
// A document dropped on it starts the one-document job, a folder opens the
// Batch Documents dialog with it as the source. Closing it ends the program. Made and
// loaded by its WidgetWindows.
class MainWindow : public QMainWindow, public JobReporter {
    Q_OBJECT
public:
    ~MainWindow() override;

    DocumentListView& documentList() { return *documentView; }
    qp::FileList& fileList() { return fileList_; }
    CommonDialog& commonDialog() { return commonDialog_; }

    // While a job runs, "Open", "Batch", "Next Document" and the Quick Start
    // buttons cannot start another one, "Settings" and the Extension manager
    // cannot change it, and "Stop" (button, menu item and Esc) is offered;
    // "Exit" stays available.
    void setBusy(bool busy);
    bool isBusy() const { return busy_; }

    // The status bar's line: the document being converted, or the last
    // job's summary.
    QString statusText() const;
    void showStatus(const QString& text);
    // During a job the list and the status bar show what it reports a few
    // times a second; this shows it at once. Done when the job ends, on Stop
    // and Close, and before a modal window covers this one.
    void flushUpdates();

    void jobStarted(int total) override;
    void documentStarted(const QString& source, int index, int total) override;
    void documentWarned(const QString& source, const QString& warnings) override;
    void documentSaved(const QString& source, qint64 bytes) override;
    void documentConverted(const QString& source, const QString& page) override;
    void documentErrorNumber(const QString& source, std::int32_t number) override;
    void documentFailed(const QString& source, const QString& reason) override;
    void documentCancelled(const QString& source) override;
    // The end of a job: its summary in the status bar and, while the window
    // is not active, in a desktop notification; its report can be saved and,
    // after a batch, its target folder opened.
    void jobFinished(const JobSummary& summary) override;
    // What became of the last job's documents.
    const JobRecord& jobRecord() const { return record_; }

    // Controls, named as the window's design names them.
    QFrame* Frame1 = nullptr;
    DocumentListView* documentView = nullptr;
    QPushButton* nextButton = nullptr;
    QPushButton* exitButton = nullptr;
    QPushButton* stopButton = nullptr;
    QStatusBar* statusLine = nullptr;
    JobStatusArea* jobStatus = nullptr;
    // What a double-click, Enter and the context menu do with a row.
    PageActions* pageActions = nullptr;
    QMenu* fileMenu = nullptr;
    QAction* openAction = nullptr;
    QAction* batchAction = nullptr;
    QAction* closeAction = nullptr;
    QAction* stopAction = nullptr;
    QAction* targetFolderAction = nullptr;
    QAction* saveReportAction = nullptr;
    QAction* exitAction = nullptr;
    QMenu* optionsMenu = nullptr;
    QAction* settingsAction = nullptr;
    QAction* extensionsAction = nullptr;
    QMenu* aboutMenu = nullptr;
    QAction* infoAction = nullptr;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    friend class WidgetWindows;
    explicit MainWindow(WidgetWindows& windows);
    void Form_Load();

    void onOpen(int index);
    void onBatch();
    void onClose();
    void onStop();
    void onExit();
    void onSettings();
    void onExtensions();
    void onInfo();
    void onNextDocument();
    void onOpenTargetFolder();
    void onSaveReport();
    void onExitButton();

    WidgetWindows& windows_;
    // The folder enumerator of the source-folder preview and the batch run.
    qp::FileList fileList_;
    CommonDialog commonDialog_;
    // The last "next document" command; a running one is kept alive by its
    // caller even when a new click replaces it here.
    std::shared_ptr<NextDocumentCommand> nextCommand_;
    bool busy_ = false;
    bool centred_ = false;
    QString lastFailure_;
    JobRecord record_;
    // The target folder of the last job, when that was a batch.
    QString batchTarget_;
};

} // namespace qp
