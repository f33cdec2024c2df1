#include "MainWindow.h"

#include "AboutDialog.h"
#include "Application.h"
#include "BatchDialog.h"
#include "DocumentDrops.h"
#include "DocumentListView.h"
#include "ExtensionListDialog.h"
#include "Handler.h"
#include "JobStatusArea.h"
#include "PageActions.h"
#include "QuickStartDialog.h"
#include "SettingsDialog.h"
#include "Style.h"
#include "WidgetWindows.h"
#include "desktop/Dialogs.h"
#include "desktop/Notifications.h"
#include "jobs/BatchState.h"
#include "jobs/Command.h"
#include "jobs/JobSettings.h"
#include "jobs/Mediator.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>

namespace qp {

namespace {
// A grey background, and buttons of the same grey.
void paintBackground(QWidget* widget) {
    setColour(widget, QPalette::Button, silver);
    fillColour(widget, QPalette::Window, silver);
}
} // namespace

MainWindow::MainWindow(WidgetWindows& windows)
    : windows_(windows), commonDialog_(windows.dialogs()) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Quillpage - Word to HTML"));
    fixColours(this, silver, silver);

    // Each menu and item has an access letter (after "&"), none shared
    // within one menu.
    fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu->setObjectName(QStringLiteral("mnuFile"));
    openAction = fileMenu->addAction(QStringLiteral("&Open"));
    openAction->setObjectName(QStringLiteral("mnuOpen"));
    batchAction = fileMenu->addAction(QStringLiteral("&Batch"));
    batchAction->setObjectName(QStringLiteral("mnuBatch"));
    closeAction = fileMenu->addAction(QStringLiteral("&Close"));
    closeAction->setObjectName(QStringLiteral("mnuClose"));
    stopAction = fileMenu->addAction(QStringLiteral("&Stop"));
    stopAction->setObjectName(QStringLiteral("mnuStop"));
    stopAction->setShortcut(QKeySequence(Qt::Key_Escape));
    stopAction->setEnabled(false);
    addAction(stopAction); // Esc works with the menu closed
    exitAction = fileMenu->addAction(QStringLiteral("E&xit"));
    exitAction->setObjectName(QStringLiteral("mnuExit"));
    optionsMenu = menuBar()->addMenu(QStringLiteral("&Options"));
    optionsMenu->setObjectName(QStringLiteral("mnuSettings"));
    settingsAction = optionsMenu->addAction(QStringLiteral("&Settings"));
    settingsAction->setObjectName(QStringLiteral("mnuMacroRun"));
    extensionsAction = optionsMenu->addAction(QStringLiteral("&Extensions..."));
    extensionsAction->setObjectName(QStringLiteral("mnuExtensions"));
    aboutMenu = menuBar()->addMenu(QStringLiteral("&About"));
    aboutMenu->setObjectName(QStringLiteral("mnuAbout"));
    infoAction = aboutMenu->addAction(QStringLiteral("&Info"));
    infoAction->setObjectName(QStringLiteral("mnuInfo"));
    // Standard shortcuts, shown in the menus beside the captions.
    openAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    batchAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    closeAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    exitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    infoAction->setShortcut(QKeySequence(Qt::Key_F1));
    // What a finished job leaves: its report, and the target folder of a
    // batch, offered once there is one.
    targetFolderAction = new QAction(QStringLiteral("Open Target &Folder"), this);
    targetFolderAction->setObjectName(QStringLiteral("mnuTargetFolder"));
    targetFolderAction->setVisible(false);
    fileMenu->insertAction(exitAction, targetFolderAction);
    saveReportAction = new QAction(QStringLiteral("Save &Report\u2026"), this);
    saveReportAction->setObjectName(QStringLiteral("mnuSaveReport"));
    saveReportAction->setEnabled(false);
    fileMenu->insertAction(exitAction, saveReportAction);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    Frame1 = new QFrame(client);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::NoFrame);
    paintBackground(Frame1);
    Frame1->setGeometry(twipsRect(0, 0, 11535, 6375));
    documentView = new DocumentListView(Frame1);
    documentView->setGeometry(twipsRect(0, 0, 11415, 5415));
    pageActions = new PageActions(*documentView, windows_.dialogs());
    nextButton = new QPushButton(QStringLiteral("Next Document"), Frame1);
    nextButton->setObjectName(QStringLiteral("Next"));
    nextButton->setGeometry(twipsRect(4320, 5760, 1575, 495));
    exitButton = new QPushButton(QStringLiteral("Exit"), Frame1);
    exitButton->setObjectName(QStringLiteral("btnExit"));
    exitButton->setGeometry(twipsRect(9840, 5640, 1335, 495));
    paintBackground(exitButton);
    // Shown only while a job runs, in the free stretch between "Next
    // Document" and "Exit".
    stopButton = new QPushButton(QStringLiteral("Stop"), Frame1);
    stopButton->setObjectName(QStringLiteral("btnStop"));
    stopButton->setGeometry(twipsRect(7200, 5760, 1335, 495));
    stopButton->setVisible(false);
    // Enter presses the button that has the focus.
    for (QPushButton* button : {nextButton, exitButton, stopButton})
        button->setAutoDefault(true);
    showFocusFrames(this);

    statusLine = new QStatusBar(this);
    statusLine->setObjectName(QStringLiteral("StatusBar1"));
    statusLine->setSizeGripEnabled(false);
    setStatusBar(statusLine);
    // Permanent, so that the menus' passing messages do not wipe it.
    jobStatus = new JobStatusArea(statusLine);
    statusLine->addPermanentWidget(jobStatus, 1);

    // A document or a folder dropped from the file manager starts its job.
    new DocumentDrops(*this, windows_);

    // The client area below the menu bar is fixed; the status bar lies along
    // its bottom edge.
    const QSize client_size = twipsSize(11490, 6675);
    setFixedSize(client_size.width(), client_size.height() + menuBar()->sizeHint().height());

    commonDialog_.owner = this;

    connect(openAction, &QAction::triggered, this, [this] { onOpen(1); });
    connect(batchAction, &QAction::triggered, this, [this] { onBatch(); });
    connect(closeAction, &QAction::triggered, this, [this] { onClose(); });
    connect(stopAction, &QAction::triggered, this, [this] { onStop(); });
    connect(exitAction, &QAction::triggered, this, [this] { onExit(); });
    connect(settingsAction, &QAction::triggered, this, [this] { onSettings(); });
    connect(extensionsAction, &QAction::triggered, this, [this] { onExtensions(); });
    connect(infoAction, &QAction::triggered, this, [this] { onInfo(); });
    connect(targetFolderAction, &QAction::triggered, this, [this] { onOpenTargetFolder(); });
    connect(saveReportAction, &QAction::triggered, this, [this] { onSaveReport(); });
    connect(nextButton, &QPushButton::clicked, this, [this] { onNextDocument(); });
    connect(exitButton, &QPushButton::clicked, this, [this] { onExitButton(); });
    connect(stopButton, &QPushButton::clicked, this, [this] { onStop(); });
}

MainWindow::~MainWindow() {
    windows_.forget(this);
}

void MainWindow::Form_Load() {
    // The list's presentation is set up by DocumentListView: full-row
    // selection, sorted descending on the file name, report view.
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (centred_)
        return;
    centred_ = true;
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());
}

bool MainWindow::event(QEvent* event) {
    // A modal window opens over this one: what stands behind it is up to date.
    if (event->type() == QEvent::WindowBlocked)
        flushUpdates();
    return QMainWindow::event(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program; nothing else is asked.
    event->ignore();
    General::End();
}

void MainWindow::onOpen(int index) {
    Q_UNUSED(index);
    runHandler(windows_.dialogs(), this, [this] { windows_.mediator().chooseDocuments(); });
}

void MainWindow::onBatch() {
    runHandler(windows_.dialogs(), this, [this] { windows_.batchDialog().exec(); });
}

void MainWindow::onClose() {
    flushUpdates();
    runHandler(windows_.dialogs(), this, [this] { windows_.mediator().startIdleState(); });
}

void MainWindow::onStop() {
    flushUpdates();
    runHandler(windows_.dialogs(), this, [this] { windows_.mediator().stopJob(); });
}

void MainWindow::onExit() {
    General::End();
}

void MainWindow::onExitButton() {
    General::End();
}

void MainWindow::onSettings() {
    runHandler(windows_.dialogs(), this, [this] {
        // The stored choice is read afresh, so that one another Quillpage
        // stored since is the one shown; the dialog shows the settings.
        windows_.settings().loadPageFormat();
        SettingsDialog* settings = &windows_.settingsDialog();
        yieldUi(3);
        // The yields may have run a handler that unloaded the dialog; take
        // the instance anew.
        settings = &windows_.settingsDialog();
        settings->showModal(this);
    });
}

void MainWindow::onExtensions() {
    runHandler(windows_.dialogs(), this, [this] { windows_.extensionListDialog().showManager(); });
}

void MainWindow::onInfo() {
    runHandler(windows_.dialogs(), this, [this] { windows_.aboutDialog().showBox(); });
}

void MainWindow::onNextDocument() {
    runHandler(windows_.dialogs(), this, [this] {
        auto command = std::make_shared<NextDocumentCommand>();
        nextCommand_ = command;
        command->init(windows_.mediator());
        static_cast<Command&>(*command).Execute();
    });
}

void MainWindow::onOpenTargetFolder() {
    runHandler(windows_.dialogs(), this, [this] { pageActions->showFolder(batchTarget_); });
}

void MainWindow::onSaveReport() {
    runHandler(windows_.dialogs(), this, [this] {
        if (!record_.finished())
            return;
        FileRequest request;
        request.mode = FileRequest::Mode::Save;
        const QString name = QStringLiteral("report.jsonl");
        request.fileName = batchTarget_.isEmpty() ? name : QDir(batchTarget_).filePath(name);
        request.filter = QStringLiteral("JSON lines (*.jsonl)|*.jsonl");
        request.owner = this;
        const std::optional<QString> path = windows_.dialogs().file(request);
        if (!path)
            return;
        QString reason;
        if (!record_.save(*path, &reason))
            Dialogs::message(windows_.dialogs(),
                             QStringLiteral("Could not save the report %1: %2").arg(*path, reason),
                             applicationTitle(), MessageIcon::Exclamation, MessageButtons::Ok,
                             this);
    });
}

void MainWindow::setBusy(bool busy) {
    busy_ = busy;
    openAction->setEnabled(!busy);
    batchAction->setEnabled(!busy);
    settingsAction->setEnabled(!busy);
    extensionsAction->setEnabled(!busy);
    nextButton->setEnabled(!busy);
    stopAction->setEnabled(busy);
    stopButton->setVisible(busy);
    if (QuickStartDialog* quickStart = windows_.loaded<QuickStartDialog>())
        quickStart->setBusy(busy);
    windows_.setExtensionsBusy(busy);
}

QString MainWindow::statusText() const {
    return jobStatus->text();
}

void MainWindow::showStatus(const QString& text) {
    jobStatus->showText(text);
}

void MainWindow::flushUpdates() {
    documentView->flush();
    jobStatus->flush();
}

void MainWindow::jobStarted(int total) {
    lastFailure_.clear();
    record_.jobStarted(total);
    saveReportAction->setEnabled(false);
    JobState* job = windows_.mediator().runningJob();
    batchTarget_ =
        job && dynamic_cast<BatchState*>(job) ? windows_.settings().targetFolder() : QString();
    jobStatus->jobStarted(total);
}

void MainWindow::documentStarted(const QString& source, int index, int total) {
    jobStatus->documentStarted(QStringLiteral("Converting %1 of %2: %3")
                                   .arg(index)
                                   .arg(total)
                                   .arg(QFileInfo(source).fileName()));
    documentView->followRow(source);
    record_.documentStarted(source, index, total);
}

void MainWindow::documentWarned(const QString& source, const QString& warnings) {
    record_.documentWarned(source, warnings);
}

void MainWindow::documentSaved(const QString& source, qint64 bytes) {
    record_.documentSaved(source, bytes);
}

void MainWindow::documentErrorNumber(const QString& source, std::int32_t number) {
    record_.documentErrorNumber(source, number);
}

void MainWindow::documentConverted(const QString& source, const QString& page) {
    record_.documentConverted(source, page);
    documentView->setPage(source, page);
    jobStatus->documentDone();
}

void MainWindow::documentFailed(const QString& source, const QString& reason) {
    record_.documentFailed(source, reason);
    lastFailure_ = QFileInfo(source).fileName() + QStringLiteral(": ") + reason;
    showStatus(lastFailure_);
    jobStatus->documentDone();
}

void MainWindow::documentCancelled(const QString& source) {
    record_.documentCancelled(source);
    showStatus(QStringLiteral("Cancelled: ") + QFileInfo(source).fileName());
    jobStatus->documentDone();
}

void MainWindow::jobFinished(const JobSummary& summary) {
    QString text = summary.text();
    // The reason of the last failure stays readable after the job.
    if (summary.failed > 0 && !lastFailure_.isEmpty())
        text += QStringLiteral(" - ") + lastFailure_;
    documentView->flush();
    jobStatus->jobFinished(text);
    documentView->followRow(QString());
    record_.jobFinished(summary);
    saveReportAction->setEnabled(true);
    targetFolderAction->setVisible(!batchTarget_.isEmpty());
    // A user who has turned to another window, or put this one away, hears
    // of the end there.
    if (!isVisible() || isMinimized() || !isActiveWindow())
        if (Notifications* notifications = windows_.notifications())
            notifications->notify(text);
}

} // namespace qp
