#include "AboutDialog.h"

#include "AboutLink.h"
#include "Handler.h"
#include "LinkLabel.h"
#include "Links.h"
#include "Style.h"
#include "WidgetWindows.h"
#include "desktop/Dialogs.h"
#include "desktop/SystemInformation.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace qp {

namespace {

#if !defined(QUILLPG_VERSION_MAJOR) || !defined(QUILLPG_VERSION_MINOR) ||                          \
    !defined(QUILLPG_VERSION_PATCH)
#error "the build must define the version parts"
#endif
#define QP_TEXT_OF(value) #value
#define QP_TEXT(value) QP_TEXT_OF(value)

// A version part as a plain decimal number, without leading zeros.
QString versionPart(const char* text) {
    return QString::number(QByteArray(text).toUInt());
}

// "major.minor.revision", from the version set once in the build.
QString versionNumber() {
    return versionPart(QP_TEXT(QUILLPG_VERSION_MAJOR)) + QLatin1Char('.') +
           versionPart(QP_TEXT(QUILLPG_VERSION_MINOR)) + QLatin1Char('.') +
           versionPart(QP_TEXT(QUILLPG_VERSION_PATCH));
}

QFrame* line(QWidget* parent, const QString& name, const QRect& geometry, const QColor& colour) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setFrameShape(QFrame::NoFrame);
    frame->setGeometry(geometry);
    fillColour(frame, QPalette::Window, colour);
    return frame;
}

QLabel* label(const QString& text, QWidget* parent, const QString& name, const QRect& geometry) {
    auto* created = new QLabel(text, parent);
    created->setObjectName(name);
    created->setGeometry(geometry);
    return created;
}

} // namespace

void AboutDialog::showBox() {
    show();
    raise();
    activateWindow();
}

AboutDialog::AboutDialog(WidgetWindows& windows)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), windows_(windows) {
    setObjectName(QStringLiteral("frmAbout"));
    setModal(false);
    setFixedSize(twipsSize(5610, 4140));
    fixColours(this, dialogGrey);

    titleLabel =
        label(QString(), this, QStringLiteral("lblTitle"), twipsRect(1560, 240, 2205, 240));
    titleLabel->installEventFilter(this);

    versionLabel =
        label(QString(), this, QStringLiteral("lblVersion"), twipsRect(1560, 600, 2085, 315));

    descriptionLabel = label(QStringLiteral("Converts Word Documents to HTMLs"), this,
                             QStringLiteral("lblDescription"), twipsRect(1080, 1080, 3045, 450));
    setColour(descriptionLabel, QPalette::WindowText, Qt::black);

    // The etched separator: a grey line with a white two-pixel line under it.
    const QRect separator = twipsRect(90, 1920, 5430, 15);
    Line1 = line(this, QStringLiteral("Line1"),
                 QRect(separator.topLeft(), QSize(separator.width(), 1)), QColor(128, 128, 128));
    Line2 = line(this, QStringLiteral("Line2"),
                 QRect(separator.left(), separator.top() + 1, separator.width(), 2), Qt::white);

    Label6 = label(QStringLiteral("Written by the Quillpage project."), this,
                   QStringLiteral("Label6"), twipsRect(720, 2640, 3405, 255));
    Label7 = label(QStringLiteral("More about Quillpage on the web:"), this,
                   QStringLiteral("Label7"), twipsRect(720, 3120, 3405, 255));

    Label3 = new LinkLabel(Links::productPage(), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(twipsRect(1320, 3480, 2535, 255));

    systemInfoButton = new QPushButton(QStringLiteral("&System Info..."), this);
    systemInfoButton->setObjectName(QStringLiteral("cmdSysInfo"));
    systemInfoButton->setGeometry(twipsRect(4260, 3075, 1245, 345));

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("cmdOK"));
    okButton->setGeometry(twipsRect(4200, 3600, 1260, 345));
    okButton->setDefault(true);

    setTabOrder(okButton, systemInfoButton);
    showFocusFrames(this);
    okButton->setFocus();

    connect(okButton, &QPushButton::clicked, this, [this] { onOk(); });
    connect(systemInfoButton, &QPushButton::clicked, this, [this] { onSystemInfo(); });
    connect(Label3, &LinkLabel::clicked, this, [this] { onHomePage(); });
}

AboutDialog::~AboutDialog() {
    windows_.forget(this);
}

void AboutDialog::Form_Load() {
    setWindowTitle(QStringLiteral("About ") + applicationTitle());
    versionLabel->setText(QStringLiteral("Version ") + versionNumber());
    titleLabel->setText(applicationTitle());
}

void AboutDialog::reject() {
    onOk();
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == titleLabel && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            titleLabel->rect().contains(mouse->position().toPoint())) {
            onTitle();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AboutDialog::onOk() {
    // Unloads the box: the next showing loads it afresh.
    windows_.forget(this);
    hide();
    deleteLater();
}

void AboutDialog::onSystemInfo() {
    runHandler(windows_.dialogs(), this, [this] { StartSysInfo(); });
}

void AboutDialog::onHomePage() {
    runHandler(windows_.dialogs(), this,
               [this] { openWebLink(windows_.dialogs(), this, Links::productPage()); });
}

void AboutDialog::onTitle() {
    runHandler(windows_.dialogs(), this, [this] {
        Dialogs::message(windows_.dialogs(),
                         QStringLiteral("Quillpage - HTML is written and maintained by the "
                                        "Quillpage project."),
                         applicationTitle(), MessageIcon::None, MessageButtons::Ok, this);
    });
}

void AboutDialog::StartSysInfo() {
    if (!SystemInformation::start()) {
        Dialogs::message(windows_.dialogs(),
                         QStringLiteral("System Information Is Unavailable At This Time"),
                         applicationTitle(), MessageIcon::None, MessageButtons::Ok, this);
    }
}

} // namespace qp
