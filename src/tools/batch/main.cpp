// quillpg-batch: the window application's batch conversion without a window.
#include "BatchRun.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillpg"));
    return qp::batch::runTool(QCoreApplication::arguments().mid(1));
}
