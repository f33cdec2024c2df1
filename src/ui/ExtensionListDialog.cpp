#include "ExtensionListDialog.h"

#include "Style.h"
#include "WidgetWindows.h"
#include "desktop/Dialogs.h"
#include "jobs/JobSettings.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace qp {

void ExtensionListDialog::showManager() {
    show();
    raise();
    activateWindow();
}

ExtensionListDialog::ExtensionListDialog(WidgetWindows& windows)
    : QDialog(nullptr), windows_(windows) {
    setObjectName(QStringLiteral("frmExtension"));
    setWindowTitle(QStringLiteral("Extension manager"));
    setModal(false);
    resize(twipsSize(4770, 2850));
    fixColours(this, lightGrey);

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
    // No button is the default: in the input box Enter adds what was typed,
    // as "Add" does; on a focused button it presses that one (keyPressEvent).
    // An auto-default button would become the dialog's default when shown.
    for (QPushButton* button : {addButton, removeButton, exitButton}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    showFocusFrames(this);
    setTabOrder(extensionBox, extensionEdit);
    setTabOrder(extensionEdit, addButton);
    setTabOrder(addButton, removeButton);
    setTabOrder(removeButton, exitButton);

    connect(addButton, &QPushButton::clicked, this, [this] { onAdd(); });
    connect(extensionEdit, &QLineEdit::returnPressed, this, [this] { onAdd(); });
    connect(removeButton, &QPushButton::clicked, this, [this] { onRemove(); });
    connect(exitButton, &QPushButton::clicked, this, [this] { onExit(); });
    setEnabled(!windows_.extensionsBusy());
}

ExtensionListDialog::~ExtensionListDialog() {
    windows_.forget(this);
}

int ExtensionListDialog::listCount() const {
    return extensionBox->count();
}

QString ExtensionListDialog::list(int index) const {
    const QListWidgetItem* item = extensionBox->item(index);
    return item ? item->text() : QString();
}

void ExtensionListDialog::Form_Load() {
    JobSettings& settings = windows_.settings();
    showExtensions(settings.extensions());
    connect(&settings, &JobSettings::extensionsChanged, this,
            [this](const QStringList& extensions) { showExtensions(extensions); });
}

void ExtensionListDialog::showExtensions(const QStringList& extensions) {
    // The box's own edits come back here: refilling it would lose the
    // selection.
    if (entries() == extensions)
        return;
    extensionBox->clear();
    extensionBox->addItems(extensions);
    // No entry is current until the user picks one (the list would make
    // the first one current when it takes the focus).
    extensionBox->setCurrentIndex(QModelIndex());
}

QStringList ExtensionListDialog::entries() const {
    QStringList texts;
    for (int i = 0; i < extensionBox->count(); ++i)
        texts << extensionBox->item(i)->text();
    return texts;
}

void ExtensionListDialog::onAdd() {
    // Stored exactly as typed; the input keeps its text.
    const QString text = extensionEdit->text();
    if (text.isEmpty())
        return;
    extensionBox->addItem(text);
    windows_.settings().setExtensions(entries());
}

void ExtensionListDialog::onRemove() {
    // The list makes a row current when it takes the focus, selected or
    // not; with no entry selected there is nothing to remove.
    if (extensionBox->currentRow() == -1 || extensionBox->selectedItems().isEmpty()) {
        Dialogs::message(windows_.dialogs(),
                         QStringLiteral("You did not select an extension to remove."),
                         applicationTitle(), MessageIcon::None, MessageButtons::Ok, this);
        return;
    }
    // Walking down keeps the indexes still to be visited valid.
    for (int i = extensionBox->count() - 1; i >= 0; --i) {
        if (extensionBox->item(i)->isSelected())
            delete extensionBox->takeItem(i);
    }
    windows_.settings().setExtensions(entries());
}

void ExtensionListDialog::onExit() {
    hide();
}

void ExtensionListDialog::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (auto* button = qobject_cast<QPushButton*>(focusWidget()); enter && button) {
        button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ExtensionListDialog::closeEvent(QCloseEvent* event) {
    // Closing from the title bar unloads the window and with it the list,
    // which starts from "doc" again, except while a job reads the list.
    if (windows_.extensionsBusy()) {
        event->ignore();
        hide();
        return;
    }
    event->accept();
    windows_.forget(this);
    windows_.settings().setExtensions(JobSettings::defaultExtensions());
    deleteLater();
}

} // namespace qp
