#include "frmExtension.h"

#include "Style.h"
#include "platform/Dialogs.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace qp {

namespace {

// Reads whichever instance is current, loading one when there is none.
class CurrentExtensionList : public ExtensionList {
public:
    int listCount() const override { return frmExtension::instance().listCount(); }
    QString list(int index) const override { return frmExtension::instance().list(index); }
};

} // namespace

frmExtension* frmExtension::current_ = nullptr;
bool frmExtension::busy_ = false;

frmExtension& frmExtension::instance() {
    if (!current_) {
        current_ = new frmExtension();
        current_->Form_Load();
    }
    return *current_;
}

ExtensionList& frmExtension::extensionList() {
    static CurrentExtensionList list;
    return list;
}

void frmExtension::showManager() {
    frmExtension& form = instance();
    form.show();
    form.raise();
    form.activateWindow();
}

void frmExtension::unloadInstance() {
    delete current_;
    current_ = nullptr;
}

void frmExtension::setBusy(bool busy) {
    busy_ = busy;
    if (current_)
        current_->setEnabled(!busy);
}

frmExtension::frmExtension() : QDialog(nullptr) {
    setObjectName(QStringLiteral("frmExtension"));
    setWindowTitle(QStringLiteral("Extension manager"));
    setModal(false);
    resize(twipsSize(4770, 2850));
    fillColour(this, QPalette::Window, lightGrey);

    // Controls keep their places when the window is resized.
    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(0, 0, 4815, 2895));
    fillColour(Frame1, QPalette::Window, lightGrey);

    LstExt = new QListWidget(this);
    LstExt->setObjectName(QStringLiteral("LstExt"));
    LstExt->setGeometry(twipsRect(0, 120, 3495, 1815));
    LstExt->setSelectionMode(QAbstractItemView::ExtendedSelection);

    Frame2 = new QFrame(this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(twipsRect(3480, 120, 1215, 1815));
    Frame2->setFrameShape(QFrame::Box);
    fillColour(Frame2, QPalette::Window, silver);

    cmdAddMovie = new QPushButton(QStringLiteral("&Add"), Frame2);
    cmdAddMovie->setObjectName(QStringLiteral("cmdAddMovie"));
    cmdAddMovie->setGeometry(twipsRect(120, 240, 975, 375));

    Command2 = new QPushButton(QStringLiteral("&Remove "), Frame2);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(twipsRect(120, 720, 975, 375));

    Label2 = new QLabel(QStringLiteral("Extension:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(twipsRect(120, 2160, 975, 255));

    txtExtension = new QLineEdit(this);
    txtExtension->setObjectName(QStringLiteral("txtExtension"));
    txtExtension->setGeometry(twipsRect(960, 2040, 2535, 375));

    cmdExit = new QPushButton(QStringLiteral("E&xit"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setGeometry(twipsRect(3600, 2400, 975, 375));

    Frame1->lower();
    // Enter in the input box does not press a button.
    for (QPushButton* button : {cmdAddMovie, Command2, cmdExit}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    setTabOrder(LstExt, txtExtension);
    setTabOrder(txtExtension, cmdAddMovie);
    setTabOrder(cmdAddMovie, Command2);
    setTabOrder(Command2, cmdExit);

    connect(cmdAddMovie, &QPushButton::clicked, this, [this] { cmdAddMovie_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    setEnabled(!busy_);
}

frmExtension::~frmExtension() {
    if (current_ == this)
        current_ = nullptr;
}

int frmExtension::listCount() const {
    return LstExt->count();
}

QString frmExtension::list(int index) const {
    const QListWidgetItem* item = LstExt->item(index);
    return item ? item->text() : QString();
}

void frmExtension::Form_Load() {
    LstExt->addItem(QStringLiteral("doc"));
}

void frmExtension::cmdAddMovie_Click() {
    // Stored exactly as typed; the input keeps its text.
    const QString text = txtExtension->text();
    if (!text.isEmpty())
        LstExt->addItem(text);
}

void frmExtension::Command2_Click() {
    if (LstExt->currentRow() == -1) {
        Dialogs::message(QStringLiteral("You did not select an extension to remove."),
                         applicationTitle(), MessageIcon::None, MessageButtons::Ok, this);
        return;
    }
    // Walking down keeps the indexes still to be visited valid.
    for (int i = LstExt->count() - 1; i >= 0; --i) {
        if (LstExt->item(i)->isSelected())
            delete LstExt->takeItem(i);
    }
}

void frmExtension::cmdExit_Click() {
    hide();
}

void frmExtension::closeEvent(QCloseEvent* event) {
    // Closing from the title bar unloads the window and with it the list,
    // except while a job reads the list.
    if (busy_) {
        event->ignore();
        hide();
        return;
    }
    event->accept();
    if (current_ == this)
        current_ = nullptr;
    deleteLater();
}

} // namespace qp
