// Quillpage: the window application. "Word.Application" is served by the
// office bridge; everything else is the windows' start-up.
#include "jobs/PageStaging.h"
#include "office/WordServer.h"
#include "ui/Application.h"
#include "ui/Startup.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillpg"));
    // The installed theme's icon, else the one built into the program.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("quillpg"),
                                                 QIcon(QStringLiteral(":/icons/quillpg-256.png"))));
    const auto office = qp::office::registerWordServer();
    qp::addShutdownHook([office] { office->shutdown(); });
    // Exit during a job ends at once: the page being saved is not left
    // half-made in its target folder.
    qp::addShutdownHook([] { qp::PageStaging::discardAll(); });
    return qp::runApplication(app);
}
