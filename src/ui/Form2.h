#pragma once

#include "core/Controls.h"
#include "platform/CommonDialog.h"
#include "platform/FileList.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QFrame;
class QMenu;
class QPushButton;
class QStatusBar;

namespace qp {

class Cmd2;
class DocumentListView;

// The main window: the document list, the menus from which every job
// starts, "Next Document", "Exit" and, while a job runs, "Stop". It also
// holds the folder enumerator and the file dialog that the Mediator and the
// converters use, and reports the progress of a job in its status bar.
// Closing it ends the program.
class Form2 : public QMainWindow, public JobReporter {
    Q_OBJECT
public:
    // The single instance, created and loaded (hidden) on first touch.
    static Form2& instance();
    // The instance if it is loaded, otherwise null.
    static Form2* loadedInstance();
    // Destroys the instance at once; the next touch loads a fresh one.
    static void destroyInstance();

    ~Form2() override;

    DocumentListView& documentList() { return *ListView1; }
    qp::FileList& fileList() { return FileList; }
    CommonDialog& commonDialog() { return CommonDialog1; }

    // While a job runs, "Open", "Batch", "Next Document" and the Quick Start
    // buttons cannot start another one, "Settings" and the Extension manager
    // cannot change it, and "Stop" (button, menu item and Esc) is offered;
    // "Exit" stays available.
    void setBusy(bool busy);
    bool isBusy() const { return busy_; }

    // The status bar's text.
    QString statusText() const;
    void showStatus(const QString& text);

    void jobStarted(int total) override;
    void documentStarted(const QString& source, int index, int total) override;
    void documentConverted(const QString& source, const QString& page) override;
    void documentFailed(const QString& source, const QString& reason) override;
    void documentCancelled(const QString& source) override;
    void jobFinished(const JobSummary& summary) override;

    // Controls, named as the window's design names them.
    QFrame* Frame1 = nullptr;
    DocumentListView* ListView1 = nullptr;
    QPushButton* Next = nullptr;
    QPushButton* btnExit = nullptr;
    QPushButton* btnStop = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QMenu* mnuFile = nullptr;
    QAction* mnuOpen = nullptr;
    QAction* mnuBatch = nullptr;
    QAction* mnuClose = nullptr;
    QAction* mnuStop = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuSettings = nullptr;
    QAction* mnuMacroRun = nullptr;
    QAction* mnuExtensions = nullptr;
    QMenu* mnuAbout = nullptr;
    QAction* mnuInfo = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    Form2();
    void Form_Load();

    void mnuOpen_Click(int index);
    void mnuBatch_Click();
    void mnuClose_Click();
    void mnuStop_Click();
    void mnuExit_Click();
    void mnuMacroRun_Click();
    void mnuExtensions_Click();
    void mnuInfo_Click();
    void Next_Click();
    void btnExit_Click();

    // The folder enumerator of the source-folder preview and the batch run.
    qp::FileList FileList;
    CommonDialog CommonDialog1;
    // The last "next document" command; a running one is kept alive by its
    // caller even when a new click replaces it here.
    std::shared_ptr<Cmd2> nextCommand_;
    bool busy_ = false;
    bool centred_ = false;
    QString lastFailure_;

    static Form2* instance_;
};

} // namespace qp
