#include "Form3.h"

#include "AboutLink.h"
#include "Form1.h"
#include "Form2.h"
#include "Handler.h"
#include "LinkLabel.h"
#include "Links.h"
#include "Style.h"
#include "core/Mediator.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace qp {

Form3* Form3::instance_ = nullptr;

namespace {

QLabel* arialLabel(const QString& text, QWidget* parent, int pointSize = -1) {
    auto* label = new QLabel(text, parent);
    label->setFont(arial(pointSize));
    return label;
}

} // namespace

Form3& Form3::instance() {
    if (!instance_)
        instance_ = new Form3(&Form2::instance());
    return *instance_;
}

Form3* Form3::loadedInstance() {
    return instance_;
}

void Form3::destroyInstance() {
    delete instance_;
}

Form3::Form3(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Quick Start"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(twipsSize(8655, 4935));

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

    btnSingle = new QPushButton(QStringLiteral("Open Document"), Frame1);
    btnSingle->setObjectName(QStringLiteral("btnSingle"));
    btnSingle->setGeometry(twipsRect(6600, 1440, 1455, 735));
    fillColour(btnSingle, QPalette::Button, lightGrey);

    btnBatch = new QPushButton(QStringLiteral("BatchDocuments"), Frame1);
    btnBatch->setObjectName(QStringLiteral("btnBatch"));
    btnBatch->setGeometry(twipsRect(6600, 2640, 1455, 735));
    fillColour(btnBatch, QPalette::Button, Qt::white);

    btnCancel = new QPushButton(QStringLiteral("Cancel"), Frame1);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(twipsRect(6720, 4080, 1455, 615));

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

    setTabOrder(btnSingle, btnBatch);
    setTabOrder(btnBatch, btnCancel);
    btnSingle->setFocus();
    btnSingle->setAutoDefault(false);
    btnBatch->setAutoDefault(false);
    btnCancel->setAutoDefault(false);

    if (Form2* main = Form2::loadedInstance())
        setBusy(main->isBusy());

    connect(btnSingle, &QPushButton::clicked, this, [this] { btnSingle_Click(); });
    connect(btnBatch, &QPushButton::clicked, this, [this] { btnBatch_Click(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancel_Click(); });
    connect(Label3, &LinkLabel::clicked, this, [this] { Label3_Click(); });
}

Form3::~Form3() {
    if (instance_ == this)
        instance_ = nullptr;
}

void Form3::setBusy(bool busy) {
    btnSingle->setEnabled(!busy);
    btnBatch->setEnabled(!busy);
}

void Form3::closeEvent(QCloseEvent* event) {
    // The close box unloads the dialog; the next touch creates it afresh.
    if (instance_ == this)
        instance_ = nullptr;
    deleteLater();
    QDialog::closeEvent(event);
}

void Form3::btnSingle_Click() {
    hide();
    runHandler(parentWidget(), [] { General::mediator().SingleSourceFile(); });
}

void Form3::btnBatch_Click() {
    hide();
    runHandler(parentWidget(), [] { Form1::instance().exec(); });
}

void Form3::btnCancel_Click() {
    hide();
}

void Form3::Label3_Click() {
    runHandler(this, [this] { openWebLink(this, Links::makerHomePage()); });
}

} // namespace qp
