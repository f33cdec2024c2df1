// Quillpage: the window application. "Word.Application" is served by the
// office bridge; everything else is the windows' start-up.
#include "platform/office/WordServer.h"
#include "ui/Application.h"
#include "ui/Startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillpg"));
    const auto office = qp::office::registerWordServer();
    qp::addShutdownHook([office] { office->shutdown(); });
    return qp::runApplication(app);
}
