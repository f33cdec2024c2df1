#include "frmAbout.h"

#include "AboutLink.h"
#include "Handler.h"
#include "LinkLabel.h"
#include "Links.h"
#include "Style.h"
#include "platform/Dialogs.h"
#include "platform/SystemInformation.h"

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

frmAbout* frmAbout::instance_ = nullptr;

frmAbout& frmAbout::instance() {
    if (!instance_) {
        instance_ = new frmAbout();
        instance_->Form_Load();
    }
    return *instance_;
}

frmAbout* frmAbout::loadedInstance() {
    return instance_;
}

void frmAbout::showBox() {
    frmAbout& box = instance();
    box.show();
    box.raise();
    box.activateWindow();
}

void frmAbout::destroyInstance() {
    delete instance_;
    instance_ = nullptr;
}

frmAbout::frmAbout() : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setModal(false);
    setFixedSize(twipsSize(5610, 4140));

    lblTitle = label(QString(), this, QStringLiteral("lblTitle"), twipsRect(1560, 240, 2205, 240));
    lblTitle->installEventFilter(this);

    lblVersion =
        label(QString(), this, QStringLiteral("lblVersion"), twipsRect(1560, 600, 2085, 315));

    lblDescription = label(QStringLiteral("Converts Word Documents to HTMLs"), this,
                           QStringLiteral("lblDescription"), twipsRect(1080, 1080, 3045, 450));
    setColour(lblDescription, QPalette::WindowText, Qt::black);

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

    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(twipsRect(4260, 3075, 1245, 345));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(4200, 3600, 1260, 345));
    cmdOK->setDefault(true);

    setTabOrder(cmdOK, cmdSysInfo);
    cmdOK->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { cmdSysInfo_Click(); });
    connect(Label3, &LinkLabel::clicked, this, [this] { Label3_Click(); });
}

frmAbout::~frmAbout() {
    if (instance_ == this)
        instance_ = nullptr;
}

void frmAbout::Form_Load() {
    setWindowTitle(QStringLiteral("About ") + applicationTitle());
    lblVersion->setText(QStringLiteral("Version ") + versionNumber());
    lblTitle->setText(applicationTitle());
}

void frmAbout::reject() {
    cmdOK_Click();
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblTitle && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            lblTitle->rect().contains(mouse->position().toPoint())) {
            lblTitle_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::cmdOK_Click() {
    // Unloads the box: the next showing loads it afresh.
    if (instance_ == this)
        instance_ = nullptr;
    hide();
    deleteLater();
}

void frmAbout::cmdSysInfo_Click() {
    runHandler(this, [this] { StartSysInfo(); });
}

void frmAbout::Label3_Click() {
    runHandler(this, [this] { openWebLink(this, Links::productPage()); });
}

void frmAbout::lblTitle_Click() {
    runHandler(this, [this] {
        Dialogs::message(QStringLiteral("Quillpage - HTML is written and maintained by the "
                                        "Quillpage project."),
                         applicationTitle(), MessageIcon::None, MessageButtons::Ok, this);
    });
}

void frmAbout::StartSysInfo() {
    if (!SystemInformation::start()) {
        Dialogs::message(QStringLiteral("System Information Is Unavailable At This Time"),
                         applicationTitle(), MessageIcon::None, MessageButtons::Ok, this);
    }
}

} // namespace qp
