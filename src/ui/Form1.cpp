#include "Form1.h"

#include "Handler.h"
#include "Style.h"
#include "core/Command.h"
#include "core/Mediator.h"
#include "pipeline/State2.h"
#include "platform/Dialogs.h"
#include "platform/FileList.h"
#include "platform/automation/AutomationError.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace qp {

Form1* Form1::instance_ = nullptr;

Form1& Form1::instance() {
    if (!instance_)
        instance_ = new Form1();
    return *instance_;
}

Form1* Form1::loadedInstance() {
    return instance_;
}

void Form1::destroyInstance() {
    delete instance_;
}

Form1::Form1() : QDialog(nullptr) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Batch Documents"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(false);
    resize(twipsSize(6690, 3630));
    fillColour(this, QPalette::Window, silver);

    Frame1 = new QGroupBox(QStringLiteral("Select folders:"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(120, 120, 3735, 2655));
    Label2 = new QLabel(QStringLiteral("Source:"), Frame1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(twipsRect(360, 480, 975, 255));
    txtSrcFolder = new QLineEdit(Frame1);
    txtSrcFolder->setObjectName(QStringLiteral("txtSrcFolder"));
    txtSrcFolder->setGeometry(twipsRect(480, 720, 2295, 405));
    txtSrcFolder->setReadOnly(true);
    btnSource = new QPushButton(QStringLiteral("Select..."), Frame1);
    btnSource->setObjectName(QStringLiteral("btnSource"));
    btnSource->setGeometry(twipsRect(2880, 720, 735, 375));
    Label1 = new QLabel(QStringLiteral("Target:"), Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twipsRect(360, 1200, 1095, 255));
    txtTgtFolder = new QLineEdit(Frame1);
    txtTgtFolder->setObjectName(QStringLiteral("txtTgtFolder"));
    txtTgtFolder->setGeometry(twipsRect(480, 1440, 2295, 375));
    txtTgtFolder->setReadOnly(true);
    btnTarget = new QPushButton(QStringLiteral("Select..."), Frame1);
    btnTarget->setObjectName(QStringLiteral("btnTarget"));
    btnTarget->setGeometry(twipsRect(2880, 1440, 735, 375));

    Label3 = new QLabel(QStringLiteral("Found Documents"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(twipsRect(4080, 120, 1335, 255));
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(twipsRect(3960, 360, 2535, 2370));

    Command1 = new QPushButton(QStringLiteral("Start"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twipsRect(1320, 3000, 1215, 495));
    Command2 = new QPushButton(QStringLiteral("Cancel"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(twipsRect(5280, 3000, 1215, 495));

    for (QPushButton* button : {btnSource, btnTarget, Command1, Command2})
        button->setAutoDefault(false);
    // "Start", "Cancel", the two boxes, the two "Select..." buttons, the list.
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, txtSrcFolder);
    setTabOrder(txtSrcFolder, txtTgtFolder);
    setTabOrder(txtTgtFolder, btnSource);
    setTabOrder(btnSource, btnTarget);
    setTabOrder(btnTarget, List1);
    Command1->setFocus();

    connect(btnSource, &QPushButton::clicked, this, [this] { btnSource_Click(); });
    connect(btnTarget, &QPushButton::clicked, this, [this] { btnTarget_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
}

Form1::~Form1() {
    if (instance_ == this)
        instance_ = nullptr;
}

void Form1::clearFound() {
    List1->clear();
}

void Form1::addFound(const QString& name) {
    List1->addItem(name);
}

void Form1::setSourceText(const QString& text) {
    txtSrcFolder->setText(text);
}

void Form1::setTargetText(const QString& text) {
    txtTgtFolder->setText(text);
}

void Form1::closeEvent(QCloseEvent* event) {
    // The close box unloads the dialog; the folders stay in the Mediator.
    if (instance_ == this)
        instance_ = nullptr;
    deleteLater();
    QDialog::closeEvent(event);
}

void Form1::btnSource_Click() {
    runHandler(this, [this] {
        try {
            General::mediator().SourceFolder();
        } catch (const AutomationError& error) {
            if (error.number() != ErrorNumber::PathNotFound)
                throw;
            // The folder was chosen and stored, but cannot be listed.
            Dialogs::message(QStringLiteral("Could not read the Source Folder ") +
                                 General::mediator().GetSourceFolder(),
                             applicationTitle(), MessageIcon::Exclamation, MessageButtons::Ok,
                             this);
        }
    });
}

void Form1::btnTarget_Click() {
    runHandler(this, [] { General::mediator().TargetFolder(); });
}

bool Form1::foldersReady() {
    Mediator& mediator = General::mediator();
    auto refuse = [this](const QString& text) {
        Dialogs::message(text, applicationTitle(), MessageIcon::Exclamation, MessageButtons::Ok,
                         this);
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
    // The pages go into the folder the box shows and nowhere else, whatever
    // an earlier single-document job left as the job's target folder.
    const QString target = txtTgtFolder->text();
    if (target.isEmpty())
        return refuse(QStringLiteral("Please select a Target Folder"));
    mediator.SetTgtFolder(target);
    const QString noDocuments = State2::findNoDocuments(source, mediator.windows().extensionList());
    if (!noDocuments.isEmpty())
        return refuse(noDocuments);
    return true;
}

void Form1::Command1_Click() {
    runHandler(this, [this] {
        // Without a source folder that can be listed, or without a target
        // folder, nothing could be converted or the pages would land beside
        // the program; the dialog stays open for the user to choose.
        if (!foldersReady())
            return;
        hide();
        Mediator& mediator = General::mediator();
        mediator.StartStateTwo();
        auto command = std::make_shared<cmd1>();
        batchCommand_ = command;
        command->init(mediator);
        static_cast<Command&>(*command).Execute();
    });
}

void Form1::Command2_Click() {
    hide();
}

} // namespace qp
