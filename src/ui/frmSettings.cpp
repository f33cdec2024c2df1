#include "frmSettings.h"

#include "Style.h"
#include "core/Controls.h"
#include "platform/Settings.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace qp {

frmSettings* frmSettings::instance_ = nullptr;

frmSettings& frmSettings::instance() {
    if (!instance_) {
        instance_ = new frmSettings();
        instance_->Form_Load();
    }
    return *instance_;
}

frmSettings* frmSettings::loadedInstance() {
    return instance_;
}

void frmSettings::destroyInstance() {
    delete instance_;
}

frmSettings::frmSettings() : QDialog(nullptr) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(twipsSize(6315, 2415));

    const QFont face = arial();
    Label1 = new QLabel(QStringLiteral("Save web page as:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(face);
    Label1->setGeometry(twipsRect(360, 240, 2295, 375));
    optNotFiltered = new QRadioButton(QStringLiteral("Not Filtered"), this);
    optNotFiltered->setObjectName(QStringLiteral("optNotFiltered"));
    optNotFiltered->setGeometry(twipsRect(480, 720, 2055, 255));
    optFiltered = new QRadioButton(QStringLiteral(" Filtered"), this);
    optFiltered->setObjectName(QStringLiteral("optFiltered"));
    optFiltered->setGeometry(twipsRect(480, 1080, 2055, 255));
    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Line1->setGeometry(twipsRect(240, 1680, 5895, 30));
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setFont(face);
    btnOK->setGeometry(twipsRect(4320, 1920, 855, 375));
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setFont(face);
    btnCancel->setGeometry(twipsRect(5280, 1920, 855, 375));
    btnOK->setAutoDefault(false);
    btnCancel->setAutoDefault(false);

    setTabOrder(btnOK, btnCancel);
    setTabOrder(btnCancel, optNotFiltered);
    setTabOrder(optNotFiltered, optFiltered);
    btnOK->setFocus();

    connect(btnOK, &QPushButton::clicked, this, [this] { btnOK_Click(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancel_Click(); });
}

frmSettings::~frmSettings() {
    if (instance_ == this)
        instance_ = nullptr;
}

void frmSettings::Form_Load() {
    if (storedFiltered())
        optFiltered->setChecked(true);
    else
        optNotFiltered->setChecked(true);
    yieldUi(3);
}

void frmSettings::showModal(QWidget* owner) {
    if (owner != parentWidget())
        setParent(owner, windowFlags());
    exec();
}

void frmSettings::btnOK_Click() {
    storeFiltered(optFiltered->isChecked());
    yieldUi(3);
    unload();
    yieldUi(3);
}

void frmSettings::btnCancel_Click() {
    unload();
}

void frmSettings::reject() {
    // Escape counts as "Cancel".
    unload();
}

void frmSettings::closeEvent(QCloseEvent* event) {
    unload();
    event->accept();
}

void frmSettings::unload() {
    if (instance_ == this)
        instance_ = nullptr;
    QDialog::reject();
    deleteLater();
}

} // namespace qp
