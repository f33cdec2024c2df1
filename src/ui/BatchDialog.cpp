#include "BatchDialog.h"

#include "Handler.h"
#include "Style.h"
#include "WidgetWindows.h"
#include "automation/AutomationError.h"
#include "desktop/Dialogs.h"
#include "desktop/FileList.h"
#include "jobs/BatchState.h"
#include "jobs/Command.h"
#include "jobs/JobSettings.h"
#include "jobs/Mediator.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace qp {

BatchDialog::BatchDialog(WidgetWindows& windows) : QDialog(nullptr), windows_(windows) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Batch Documents"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(false);
    resize(twipsSize(6690, 3630));
    fixColours(this, silver);

    Frame1 = new QGroupBox(QStringLiteral("Select folders:"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(120, 120, 3735, 2655));
    Label2 = new QLabel(QStringLiteral("Source:"), Frame1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(twipsRect(360, 480, 975, 255));
    sourceFolderEdit = new QLineEdit(Frame1);
    sourceFolderEdit->setObjectName(QStringLiteral("txtSrcFolder"));
    sourceFolderEdit->setGeometry(twipsRect(480, 720, 2295, 405));
    sourceFolderEdit->setReadOnly(true);
    sourceButton = new QPushButton(QStringLiteral("Select..."), Frame1);
    sourceButton->setObjectName(QStringLiteral("btnSource"));
    sourceButton->setGeometry(twipsRect(2880, 720, 735, 375));
    Label1 = new QLabel(QStringLiteral("Target:"), Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twipsRect(360, 1200, 1095, 255));
    targetFolderEdit = new QLineEdit(Frame1);
    targetFolderEdit->setObjectName(QStringLiteral("txtTgtFolder"));
    targetFolderEdit->setGeometry(twipsRect(480, 1440, 2295, 375));
    targetFolderEdit->setReadOnly(true);
    targetButton = new QPushButton(QStringLiteral("Select..."), Frame1);
    targetButton->setObjectName(QStringLiteral("btnTarget"));
    targetButton->setGeometry(twipsRect(2880, 1440, 735, 375));
    // In the free part of the frame below the two folder rows.
    subfoldersCheck = new QCheckBox(QStringLiteral("&Include subfolders"), Frame1);
    subfoldersCheck->setObjectName(QStringLiteral("chkSubfolders"));
    subfoldersCheck->setGeometry(twipsRect(480, 1980, 3135, 315));

    Label3 = new QLabel(QStringLiteral("Found Documents"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(twipsRect(4080, 120, 1335, 255));
    foundList = new QListWidget(this);
    foundList->setObjectName(QStringLiteral("List1"));
    foundList->setGeometry(twipsRect(3960, 360, 2535, 2370));

    startButton = new QPushButton(QStringLiteral("Start"), this);
    startButton->setObjectName(QStringLiteral("Command1"));
    startButton->setGeometry(twipsRect(1320, 3000, 1215, 495));
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("Command2"));
    cancelButton->setGeometry(twipsRect(5280, 3000, 1215, 495));

    for (QPushButton* button : {sourceButton, targetButton, startButton, cancelButton})
        button->setAutoDefault(true); // Enter presses the focused button
    showFocusFrames(this);
    // "Start", "Cancel", the two boxes, the two "Select..." buttons, the
    // subfolder box, the list.
    setTabOrder(startButton, cancelButton);
    setTabOrder(cancelButton, sourceFolderEdit);
    setTabOrder(sourceFolderEdit, targetFolderEdit);
    setTabOrder(targetFolderEdit, sourceButton);
    setTabOrder(sourceButton, targetButton);
    setTabOrder(targetButton, subfoldersCheck);
    setTabOrder(subfoldersCheck, foundList);
    startButton->setFocus();

    connect(sourceButton, &QPushButton::clicked, this, [this] { onSelectSource(); });
    connect(targetButton, &QPushButton::clicked, this, [this] { onSelectTarget(); });
    connect(subfoldersCheck, &QCheckBox::toggled, this, [this](bool on) { onSubfolders(on); });
    connect(startButton, &QPushButton::clicked, this, [this] { onStart(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { onCancel(); });
}

BatchDialog::~BatchDialog() {
    windows_.forget(this);
}

void BatchDialog::clearFound() {
    foundList->clear();
}

void BatchDialog::addFound(const QString& name) {
    foundList->addItem(name);
}

void BatchDialog::Form_Load() {
    JobSettings& settings = windows_.settings();
    sourceFolderEdit->setText(settings.sourceFolder());
    targetFolderEdit->setText(settings.targetFolder());
    connect(&settings, &JobSettings::sourceFolderChanged, sourceFolderEdit, &QLineEdit::setText);
    connect(&settings, &JobSettings::targetFolderChanged, targetFolderEdit, &QLineEdit::setText);
    subfoldersCheck->setChecked(settings.includeSubfolders());
    connect(&settings, &JobSettings::includeSubfoldersChanged, subfoldersCheck,
            &QCheckBox::setChecked);
}

void BatchDialog::closeEvent(QCloseEvent* event) {
    // The close box unloads the dialog and with it the folders chosen.
    JobSettings& settings = windows_.settings();
    settings.setSourceFolder(QString());
    settings.setTargetFolder(QString());
    windows_.forget(this);
    deleteLater();
    QDialog::closeEvent(event);
}

void BatchDialog::onSelectSource() {
    runHandler(windows_.dialogs(), this,
               [this] { previewSource([this] { windows_.mediator().chooseSourceFolder(); }); });
}

void BatchDialog::execWithSource(const QString& folder) {
    previewSource([this, &folder] { windows_.mediator().useSourceFolder(folder); });
    exec();
}

void BatchDialog::previewSource(const std::function<void()>& choose) {
    try {
        choose();
    } catch (const AutomationError& error) {
        if (error.number() != ErrorNumber::PathNotFound &&
            error.number() != ErrorNumber::PermissionDenied)
            throw;
        // The folder was chosen and stored, but cannot be listed.
        Dialogs::message(windows_.dialogs(),
                         QStringLiteral("Could not read the Source Folder ") +
                             windows_.mediator().GetSourceFolder(),
                         applicationTitle(), MessageIcon::Exclamation, MessageButtons::Ok, this);
    }
}

void BatchDialog::onSelectTarget() {
    runHandler(windows_.dialogs(), this, [this] { windows_.mediator().chooseTargetFolder(); });
}

void BatchDialog::onSubfolders(bool include) {
    JobSettings& settings = windows_.settings();
    if (include == settings.includeSubfolders())
        return;
    runHandler(windows_.dialogs(), this, [this, include, &settings] {
        // Held for this run even when it cannot be stored.
        settings.storeIncludeSubfolders(include);
        // The found documents follow the choice.
        const QString source = settings.sourceFolder();
        if (!source.isEmpty())
            previewSource([this, &source] { windows_.mediator().useSourceFolder(source); });
    });
}

bool BatchDialog::foldersReady() {
    Mediator& mediator = windows_.mediator();
    auto refuse = [this](const QString& text) {
        Dialogs::message(windows_.dialogs(), text, applicationTitle(), MessageIcon::Exclamation,
                         MessageButtons::Ok, this);
        return false;
    };
    const QString source = mediator.GetSourceFolder();
    if (source.isEmpty())
        return refuse(QStringLiteral("Please select a Source Folder"));
    try {
        qp::FileList probe;
        probe.setPath(source);
    } catch (const AutomationError&) {
        return refuse(QStringLiteral("Could not read the Source Folder ") + source);
    }
    // The chosen target: the Mediator's would be an earlier one-document
    // job's while that job's state is current.
    if (windows_.settings().targetFolder().isEmpty())
        return refuse(QStringLiteral("Please select a Target Folder"));
    const QString noDocuments = BatchState::findNoDocuments(
        source, mediator.windows().extensionList(), windows_.settings().includeSubfolders());
    if (!noDocuments.isEmpty())
        return refuse(noDocuments);
    return true;
}

void BatchDialog::onStart() {
    runHandler(windows_.dialogs(), this, [this] {
        // Without a source folder that can be listed, or without a target
        // folder, nothing could be converted or the pages would land beside
        // the program; the dialog stays open for the user to choose.
        if (!foldersReady())
            return;
        hide();
        Mediator& mediator = windows_.mediator();
        mediator.startBatchState();
        auto command = std::make_shared<StartJobCommand>();
        batchCommand_ = command;
        command->init(mediator);
        static_cast<Command&>(*command).Execute();
    });
}

void BatchDialog::onCancel() {
    hide();
}

} // namespace qp
