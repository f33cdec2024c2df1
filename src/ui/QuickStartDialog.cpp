#include "QuickStartDialog.h"

#include "AboutLink.h"
#include "BatchDialog.h"
#include "Handler.h"
#include "LinkLabel.h"
#include "Links.h"
#include "MainWindow.h"
#include "Style.h"
#include "WidgetWindows.h"
#include "jobs/Mediator.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace qp {

namespace {

QLabel* arialLabel(const QString& text, QWidget* parent, int pointSize = -1) {
    auto* label = new QLabel(text, parent);
    label->setFont(arial(pointSize));
    return label;
}

} // namespace

QuickStartDialog::QuickStartDialog(WidgetWindows& windows)
    : QDialog(&windows.mainWindow()), windows_(windows) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Quick Start"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(twipsSize(8655, 4935));
    fixColours(this, Qt::white);

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::NoFrame);
    Frame1->setGeometry(QRect(QPoint(0, 0), twipsSize(8655, 4935)));
    fillColour(Frame1, QPalette::Window, Qt::white);

    Label2 = arialLabel(QStringLiteral("Quillpage -Word to HTML"), Frame1, 18);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(twipsRect(120, 360, 7935, 495));
    fillColour(Label2, QPalette::Window, palette().color(QPalette::Base));

    Label1 = arialLabel(QStringLiteral("Select one..."), Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twipsRect(4800, 960, 2655, 255));
    fillColour(Label1, QPalette::Window, Qt::white);

    openDocumentButton = new QPushButton(QStringLiteral("Open Document"), Frame1);
    openDocumentButton->setObjectName(QStringLiteral("btnSingle"));
    openDocumentButton->setGeometry(twipsRect(6600, 1440, 1455, 735));
    fillColour(openDocumentButton, QPalette::Button, lightGrey);

    batchButton = new QPushButton(QStringLiteral("BatchDocuments"), Frame1);
    batchButton->setObjectName(QStringLiteral("btnBatch"));
    batchButton->setGeometry(twipsRect(6600, 2640, 1455, 735));
    fillColour(batchButton, QPalette::Button, Qt::white);

    cancelButton = new QPushButton(QStringLiteral("Cancel"), Frame1);
    cancelButton->setObjectName(QStringLiteral("btnCancel"));
    cancelButton->setGeometry(twipsRect(6720, 4080, 1455, 615));

    Label3 = new LinkLabel(Links::makerHomePage(), Frame1);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(twipsRect(1320, 2880, 2535, 255));

    Label5 = new QLabel(QStringLiteral("Convert Word documents to HTML Documents"), Frame1);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->setGeometry(twipsRect(240, 3960, 5775, 375));

    Label6 = new QLabel(QStringLiteral("Quillpage is made by the Quillpage project."), Frame1);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setGeometry(twipsRect(240, 1440, 5775, 255));
    Label7 = new QLabel(QStringLiteral("Visit us at:"), Frame1);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label7->setGeometry(twipsRect(240, 2880, 1035, 255));

    setTabOrder(openDocumentButton, batchButton);
    setTabOrder(batchButton, cancelButton);
    // The link follows the buttons; Enter or Space opens it.
    setTabOrder(cancelButton, Label3);
    openDocumentButton->setFocus();
    // Enter presses the button that has the focus, whose frame shows from
    // the start.
    for (QPushButton* button : {openDocumentButton, batchButton, cancelButton})
        button->setAutoDefault(true);
    showFocusFrames(this);

    if (MainWindow* main = windows_.loaded<MainWindow>())
        setBusy(main->isBusy());

    connect(openDocumentButton, &QPushButton::clicked, this, [this] { onOpenDocument(); });
    connect(batchButton, &QPushButton::clicked, this, [this] { onBatchDocuments(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { onCancel(); });
    connect(Label3, &LinkLabel::clicked, this, [this] { onHomePage(); });
}

QuickStartDialog::~QuickStartDialog() {
    windows_.forget(this);
}

void QuickStartDialog::setBusy(bool busy) {
    openDocumentButton->setEnabled(!busy);
    batchButton->setEnabled(!busy);
}

void QuickStartDialog::closeEvent(QCloseEvent* event) {
    // The close box unloads the dialog; the next touch creates it afresh.
    windows_.forget(this);
    deleteLater();
    QDialog::closeEvent(event);
}

void QuickStartDialog::onOpenDocument() {
    hide();
    runHandler(windows_.dialogs(), parentWidget(),
               [this] { windows_.mediator().chooseDocuments(); });
}

void QuickStartDialog::onBatchDocuments() {
    hide();
    runHandler(windows_.dialogs(), parentWidget(), [this] { windows_.batchDialog().exec(); });
}

void QuickStartDialog::onCancel() {
    hide();
}

void QuickStartDialog::onHomePage() {
    runHandler(windows_.dialogs(), this,
               [this] { openWebLink(windows_.dialogs(), this, Links::makerHomePage()); });
}

} // namespace qp
