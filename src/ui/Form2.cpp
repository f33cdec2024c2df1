#include "Form2.h"

#include "AboutLink.h"
#include "Application.h"
#include "DocumentListView.h"
#include "Form1.h"
#include "Form3.h"
#include "Handler.h"
#include "Style.h"
#include "core/Command.h"
#include "core/Mediator.h"
#include "frmExtension.h"
#include "frmSettings.h"
#include "platform/Settings.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>

namespace qp {

Form2* Form2::instance_ = nullptr;

namespace {
// A grey background, and buttons of the same grey.
void paintBackground(QWidget* widget) {
    setColour(widget, QPalette::Button, silver);
    fillColour(widget, QPalette::Window, silver);
}
} // namespace

Form2& Form2::instance() {
    if (!instance_) {
        instance_ = new Form2();
        instance_->Form_Load();
    }
    return *instance_;
}

Form2* Form2::loadedInstance() {
    return instance_;
}

void Form2::destroyInstance() {
    delete instance_;
}

Form2::Form2() {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Quillpage - Word to HTML"));
    paintBackground(this);

    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuOpen = mnuFile->addAction(QStringLiteral("Open"));
    mnuOpen->setObjectName(QStringLiteral("mnuOpen"));
    mnuBatch = mnuFile->addAction(QStringLiteral("Batch"));
    mnuBatch->setObjectName(QStringLiteral("mnuBatch"));
    mnuClose = mnuFile->addAction(QStringLiteral("Close"));
    mnuClose->setObjectName(QStringLiteral("mnuClose"));
    mnuStop = mnuFile->addAction(QStringLiteral("Stop"));
    mnuStop->setObjectName(QStringLiteral("mnuStop"));
    mnuStop->setShortcut(QKeySequence(Qt::Key_Escape));
    mnuStop->setEnabled(false);
    addAction(mnuStop); // Esc works with the menu closed
    mnuExit = mnuFile->addAction(QStringLiteral("Exit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    mnuSettings = menuBar()->addMenu(QStringLiteral("Options"));
    mnuSettings->setObjectName(QStringLiteral("mnuSettings"));
    mnuMacroRun = mnuSettings->addAction(QStringLiteral("Settings"));
    mnuMacroRun->setObjectName(QStringLiteral("mnuMacroRun"));
    mnuExtensions = mnuSettings->addAction(QStringLiteral("Extensions..."));
    mnuExtensions->setObjectName(QStringLiteral("mnuExtensions"));
    mnuAbout = menuBar()->addMenu(QStringLiteral("About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    mnuInfo = mnuAbout->addAction(QStringLiteral("Info"));
    mnuInfo->setObjectName(QStringLiteral("mnuInfo"));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    Frame1 = new QFrame(client);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::NoFrame);
    paintBackground(Frame1);
    Frame1->setGeometry(twipsRect(0, 0, 11535, 6375));
    ListView1 = new DocumentListView(Frame1);
    ListView1->setGeometry(twipsRect(0, 0, 11415, 5415));
    Next = new QPushButton(QStringLiteral("Next Document"), Frame1);
    Next->setObjectName(QStringLiteral("Next"));
    Next->setGeometry(twipsRect(4320, 5760, 1575, 495));
    btnExit = new QPushButton(QStringLiteral("Exit"), Frame1);
    btnExit->setObjectName(QStringLiteral("btnExit"));
    btnExit->setGeometry(twipsRect(9840, 5640, 1335, 495));
    paintBackground(btnExit);
    // Shown only while a job runs, in the free stretch between "Next
    // Document" and "Exit".
    btnStop = new QPushButton(QStringLiteral("Stop"), Frame1);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnStop->setGeometry(twipsRect(7200, 5760, 1335, 495));
    btnStop->setVisible(false);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    setStatusBar(StatusBar1);

    // The client area below the menu bar is fixed; the status bar lies along
    // its bottom edge.
    const QSize client_size = twipsSize(11490, 6675);
    setFixedSize(client_size.width(), client_size.height() + menuBar()->sizeHint().height());

    CommonDialog1.owner = this;

    connect(mnuOpen, &QAction::triggered, this, [this] { mnuOpen_Click(1); });
    connect(mnuBatch, &QAction::triggered, this, [this] { mnuBatch_Click(); });
    connect(mnuClose, &QAction::triggered, this, [this] { mnuClose_Click(); });
    connect(mnuStop, &QAction::triggered, this, [this] { mnuStop_Click(); });
    connect(mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });
    connect(mnuMacroRun, &QAction::triggered, this, [this] { mnuMacroRun_Click(); });
    connect(mnuExtensions, &QAction::triggered, this, [this] { mnuExtensions_Click(); });
    connect(mnuInfo, &QAction::triggered, this, [this] { mnuInfo_Click(); });
    connect(Next, &QPushButton::clicked, this, [this] { Next_Click(); });
    connect(btnExit, &QPushButton::clicked, this, [this] { btnExit_Click(); });
    connect(btnStop, &QPushButton::clicked, this, [this] { mnuStop_Click(); });
}

Form2::~Form2() {
    if (instance_ == this)
        instance_ = nullptr;
}

void Form2::Form_Load() {
    // The list's presentation is set up by DocumentListView: full-row
    // selection, sorted descending on the file name, report view.
}

void Form2::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (centred_)
        return;
    centred_ = true;
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());
}

void Form2::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program; nothing else is asked.
    event->ignore();
    General::End();
}

void Form2::mnuOpen_Click(int index) {
    Q_UNUSED(index);
    runHandler(this, [] { General::mediator().SingleSourceFile(); });
}

void Form2::mnuBatch_Click() {
    runHandler(this, [] { Form1::instance().exec(); });
}

void Form2::mnuClose_Click() {
    runHandler(this, [] { General::mediator().StartStateThree(); });
}

void Form2::mnuStop_Click() {
    runHandler(this, [] { General::mediator().StopJob(); });
}

void Form2::mnuExit_Click() {
    General::End();
}

void Form2::btnExit_Click() {
    General::End();
}

void Form2::mnuMacroRun_Click() {
    runHandler(this, [this] {
        const bool filtered = storedFiltered();
        frmSettings* settings = &frmSettings::instance();
        if (filtered)
            settings->optFiltered->setChecked(true);
        else
            settings->optNotFiltered->setChecked(true);
        yieldUi(3);
        // The yields may have run a handler that unloaded the dialog; take
        // the instance anew.
        settings = &frmSettings::instance();
        settings->showModal(this);
    });
}

void Form2::mnuExtensions_Click() {
    runHandler(this, [] { frmExtension::showManager(); });
}

void Form2::mnuInfo_Click() {
    runHandler(this, [] { showAboutBox(); });
}

void Form2::Next_Click() {
    runHandler(this, [this] {
        auto command = std::make_shared<Cmd2>();
        nextCommand_ = command;
        command->init(General::mediator());
        static_cast<Command&>(*command).Execute();
    });
}

void Form2::setBusy(bool busy) {
    busy_ = busy;
    mnuOpen->setEnabled(!busy);
    mnuBatch->setEnabled(!busy);
    mnuMacroRun->setEnabled(!busy);
    mnuExtensions->setEnabled(!busy);
    Next->setEnabled(!busy);
    mnuStop->setEnabled(busy);
    btnStop->setVisible(busy);
    if (Form3* quickStart = Form3::loadedInstance())
        quickStart->setBusy(busy);
    frmExtension::setBusy(busy);
}

QString Form2::statusText() const {
    return StatusBar1->currentMessage();
}

void Form2::showStatus(const QString& text) {
    StatusBar1->showMessage(text);
}

void Form2::jobStarted(int total) {
    Q_UNUSED(total);
    lastFailure_.clear();
    StatusBar1->clearMessage();
}

void Form2::documentStarted(const QString& source, int index, int total) {
    showStatus(QStringLiteral("Converting %1 of %2: %3")
                   .arg(index)
                   .arg(total)
                   .arg(QFileInfo(source).fileName()));
}

void Form2::documentConverted(const QString& source, const QString& page) {
    Q_UNUSED(source);
    Q_UNUSED(page);
}

void Form2::documentFailed(const QString& source, const QString& reason) {
    lastFailure_ = QFileInfo(source).fileName() + QStringLiteral(": ") + reason;
    showStatus(lastFailure_);
}

void Form2::documentCancelled(const QString& source) {
    showStatus(QStringLiteral("Cancelled: ") + QFileInfo(source).fileName());
}

void Form2::jobFinished(const JobSummary& summary) {
    QString text = summary.text();
    // The reason of the last failure stays readable after the job.
    if (summary.failed > 0 && !lastFailure_.isEmpty())
        text += QStringLiteral(" - ") + lastFailure_;
    showStatus(text);
}

} // namespace qp
