#include "ExtensionListDialog.h"

#include "Style.h"
#include "desktop/Dialogs.h"

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
    int listCount() const override { return ExtensionListDialog::instance().listCount(); }
    QString list(int index) const override { return ExtensionListDialog::instance().list(index); }
};

} // namespace

ExtensionListDialog* ExtensionListDialog::current_ = nullptr;
bool ExtensionListDialog::busy_ = false;

ExtensionListDialog& ExtensionListDialog::instance() {
    if (!current_) {
        current_ = new ExtensionListDialog();
        current_->Form_Load();
    }
    return *current_;
}

ExtensionList& ExtensionListDialog::extensionList() {
    static CurrentExtensionList list;
    return list;
}

void ExtensionListDialog::showManager() {
    ExtensionListDialog& form = instance();
    form.show();
    form.raise();
    form.activateWindow();
}

void ExtensionListDialog::unloadInstance() {
    delete current_;
    current_ = nullptr;
}

void ExtensionListDialog::setBusy(bool busy) {
    busy_ = busy;
    if (current_)
        current_->setEnabled(!busy);
}

ExtensionListDialog::ExtensionListDialog() : QDialog(nullptr) {
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

    extensionBox = new QListWidget(this);
    extensionBox->setObjectName(QStringLiteral("LstExt"));
    extensionBox->setGeometry(twipsRect(0, 120, 3495, 1815));
    extensionBox->setSelectionMode(QAbstractItemView::ExtendedSelection);

    Frame2 = new QFrame(this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(twipsRect(3480, 120, 1215, 1815));
    Frame2->setFrameShape(QFrame::Box);
    fillColour(Frame2, QPalette::Window, silver);

    addButton = new QPushButton(QStringLiteral("&Add"), Frame2);
    addButton->setObjectName(QStringLiteral("cmdAddMovie"));
    addButton->setGeometry(twipsRect(120, 240, 975, 375));

    removeButton = new QPushButton(QStringLiteral("&Remove "), Frame2);
    removeButton->setObjectName(QStringLiteral("Command2"));
    removeButton->setGeometry(twipsRect(120, 720, 975, 375));

    Label2 = new QLabel(QStringLiteral("Extension:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(twipsRect(120, 2160, 975, 255));

    extensionEdit = new QLineEdit(this);
    extensionEdit->setObjectName(QStringLiteral("txtExtension"));
    extensionEdit->setGeometry(twipsRect(960, 2040, 2535, 375));

    exitButton = new QPushButton(QStringLiteral("E&xit"), this);
    exitButton->setObjectName(QStringLiteral("cmdExit"));
    exitButton->setGeometry(twipsRect(3600, 2400, 975, 375));

    Frame1->lower();
    // No button is pressed by Enter: in the input box Enter adds what was
    // typed, as "Add" does.
    for (QPushButton* button : {addButton, removeButton, exitButton}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    setTabOrder(extensionBox, extensionEdit);
    setTabOrder(extensionEdit, addButton);
    setTabOrder(addButton, removeButton);
    setTabOrder(removeButton, exitButton);

    connect(addButton, &QPushButton::clicked, this, [this] { onAdd(); });
    connect(extensionEdit, &QLineEdit::returnPressed, this, [this] { onAdd(); });
    connect(removeButton, &QPushButton::clicked, this, [this] { onRemove(); });
    connect(exitButton, &QPushButton::clicked, this, [this] { onExit(); });
    setEnabled(!busy_);
}

ExtensionListDialog::~ExtensionListDialog() {
    if (current_ == this)
        current_ = nullptr;
}

int ExtensionListDialog::listCount() const {
    return extensionBox->count();
}

QString ExtensionListDialog::list(int index) const {
    const QListWidgetItem* item = extensionBox->item(index);
    return item ? item->text() : QString();
}

void ExtensionListDialog::Form_Load() {
    extensionBox->addItem(QStringLiteral("doc"));
    // No entry is current until the user picks one (the list would make
    // the first one current when it takes the focus).
    extensionBox->setCurrentIndex(QModelIndex());
}

void ExtensionListDialog::onAdd() {
    // Stored exactly as typed; the input keeps its text.
    const QString text = extensionEdit->text();
    if (!text.isEmpty())
        extensionBox->addItem(text);
}

void ExtensionListDialog::onRemove() {
    // The list makes a row current when it takes the focus, selected or
    // not; with no entry selected there is nothing to remove.
    if (extensionBox->currentRow() == -1 || extensionBox->selectedItems().isEmpty()) {
        Dialogs::message(QStringLiteral("You did not select an extension to remove."),
                         applicationTitle(), MessageIcon::None, MessageButtons::Ok, this);
        return;
    }
    // Walking down keeps the indexes still to be visited valid.
    for (int i = extensionBox->count() - 1; i >= 0; --i) {
        if (extensionBox->item(i)->isSelected())
            delete extensionBox->takeItem(i);
    }
}

void ExtensionListDialog::onExit() {
    hide();
}

void ExtensionListDialog::closeEvent(QCloseEvent* event) {
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
