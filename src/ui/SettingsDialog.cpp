#include "SettingsDialog.h"

#include "Style.h"
#include "WidgetWindows.h"
#include "desktop/Dialogs.h"
#include "desktop/Settings.h"
#include "jobs/Controls.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace qp {

SettingsDialog::SettingsDialog(WidgetWindows& windows) : QDialog(nullptr), windows_(windows) {
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
    notFilteredOption = new QRadioButton(QStringLiteral("Not Filtered"), this);
    notFilteredOption->setObjectName(QStringLiteral("optNotFiltered"));
    notFilteredOption->setGeometry(twipsRect(480, 720, 2055, 255));
    filteredOption = new QRadioButton(QStringLiteral(" Filtered"), this);
    filteredOption->setObjectName(QStringLiteral("optFiltered"));
    filteredOption->setGeometry(twipsRect(480, 1080, 2055, 255));
    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Line1->setGeometry(twipsRect(240, 1680, 5895, 30));
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("btnOK"));
    okButton->setFont(face);
    okButton->setGeometry(twipsRect(4320, 1920, 855, 375));
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("btnCancel"));
    cancelButton->setFont(face);
    cancelButton->setGeometry(twipsRect(5280, 1920, 855, 375));
    // Enter presses the focused button, and "OK" from the option buttons;
    // Escape is "Cancel".
    okButton->setDefault(true);
    showFocusFrames(this);

    setTabOrder(okButton, cancelButton);
    setTabOrder(cancelButton, notFilteredOption);
    setTabOrder(notFilteredOption, filteredOption);
    okButton->setFocus();

    connect(okButton, &QPushButton::clicked, this, [this] { onOk(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { onCancel(); });
}

SettingsDialog::~SettingsDialog() {
    windows_.forget(this);
}

void SettingsDialog::Form_Load() {
    JobSettings& settings = windows_.settings();
    showFormat(settings.pageFormat());
    connect(&settings, &JobSettings::pageFormatChanged, this,
            [this](PageFormat format) { showFormat(format); });
    yieldUi(3);
}

void SettingsDialog::showFormat(PageFormat format) {
    if (format == PageFormat::Filtered)
        filteredOption->setChecked(true);
    else
        notFilteredOption->setChecked(true);
}

void SettingsDialog::showModal(QWidget* owner) {
    if (owner != parentWidget())
        setParent(owner, windowFlags());
    exec();
}

void SettingsDialog::onOk() {
    // A choice that could not be written is said, not silently lost; the
    // settings keep the format that is stored.
    const PageFormat chosen = filteredOption->isChecked() ? PageFormat::Filtered : PageFormat::Full;
    if (!windows_.settings().storePageFormat(chosen))
        Dialogs::message(
            windows_.dialogs(),
            QStringLiteral("Your choice could not be saved in %1.").arg(settingsFile()),
            applicationTitle(), MessageIcon::Exclamation, MessageButtons::Ok, this);
    yieldUi(3);
    unload();
    yieldUi(3);
}

void SettingsDialog::onCancel() {
    unload();
}

void SettingsDialog::reject() {
    // Escape counts as "Cancel".
    unload();
}

void SettingsDialog::closeEvent(QCloseEvent* event) {
    unload();
    event->accept();
}

void SettingsDialog::unload() {
    windows_.forget(this);
    QDialog::reject();
    deleteLater();
}

} // namespace qp
