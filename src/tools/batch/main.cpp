// quillpg-batch: the window application's batch conversion without a window.
#include "BatchRun.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillpg"));
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    QString error;
    const auto options = qp::batch::parseOptions(arguments, &error);
    if (!options) {
        std::fprintf(stderr, "quillpg-batch: %s\n\n%s", qPrintable(error),
                     qPrintable(qp::batch::usageText()));
        return 2;
    }
    if (options->help) {
        std::printf("%s", qPrintable(qp::batch::usageText()));
        return 0;
    }
    if (options->version) {
        std::printf("quillpg-batch %d.%d.%d\n", QUILLPG_VERSION_MAJOR, QUILLPG_VERSION_MINOR,
                    QUILLPG_VERSION_PATCH);
        return 0;
    }
    if (!qp::batch::checkFolders(*options, &error) || !qp::batch::checkReport(*options, &error)) {
        std::fprintf(stderr, "quillpg-batch: %s\n", qPrintable(error));
        return 2;
    }
    return qp::batch::runBatch(*options);
}
