// Quillpage: the window application. "Word.Application" is served by the
// office bridge; the windows, their Mediator and the Qt dialogs they show are
// made here and live as long as the program.
#include "desktop/Notifications.h"
#include "jobs/PageStaging.h"
#include "office/OfficeSandbox.h"
#include "office/WordServer.h"
#include "ui/Application.h"
#include "ui/QtDialogProvider.h"
#include "ui/Startup.h"
#include "ui/WidgetWindows.h"

#include <QApplication>
#include <QIcon>
#include <QMetaObject>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillpg"));
    // The installed theme's icon, else the one built into the program.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("quillpg"),
                                                 QIcon(QStringLiteral(":/icons/quillpg-256.png"))));
    const auto office = qp::office::registerWordServer();
    office->setPublishedFolders(&qp::PageStaging::publishedFolderOf);
    qp::addShutdownHook([office] { office->shutdown(); });
    // Exit during a job ends at once: the page being saved is not left
    // half-made in its target folder.
    qp::addShutdownHook([] { qp::PageStaging::discardAll(); });
    qp::QtDialogProvider dialogs;
    qp::WidgetWindows windows(dialogs);
    qp::SessionBusNotifications notifications;
    windows.setNotifications(&notifications);
    // QUILLPG_JOBS=N or auto: documents convert N at once, each office
    // beside the first started when the first job begins.
    if (const int jobs = qp::office::officeCountFromEnvironment(); jobs > 1) {
        auto more = std::make_shared<qp::office::WordServerSet>(
            qp::office::OfficeOptions{}, &qp::PageStaging::publishedFolderOf);
        qp::addShutdownHook([more] { more->shutdown(); });
        windows.mediator().setWordProcessors(jobs, [more] { return more->make(); });
    }
    // Said once, in the main window's status line, when the first office
    // starts unconfined; the office starts on a thread of its own.
    qp::office::setUnconfinedNotice([&app, &windows](const QString& reason) {
        QMetaObject::invokeMethod(
            &app,
            [&windows, reason] {
                windows.showStatus(
                    QStringLiteral("The office is not confined to the documents it converts: ") +
                    reason);
            },
            Qt::QueuedConnection);
    });
    const int result = qp::runApplication(app, windows);
    qp::office::setUnconfinedNotice({});
    return result;
}
