// The cost of the safe save per document: a page and two pictures written
// straight into the target folder, against the same files written into a
// staging folder and moved into place. Prints both and their difference.
// Usage: stagebench [TARGET_FOLDER [DOCUMENTS]]
#include "jobs/PageStaging.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const QByteArray page(20 * 1024, 'p');
const QByteArray picture(6 * 1024, 'i');

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::fprintf(stderr, "stagebench: cannot write %s\n", qPrintable(path));
}

// Writes what the word processor writes for one document into folder.
void save(const QString& folder, const QString& name) {
    write(folder + QStringLiteral("/%1_htm_1.png").arg(name), picture);
    write(folder + QStringLiteral("/%1_htm_2.png").arg(name), picture);
    write(folder + QStringLiteral("/%1.htm").arg(name), page);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTemporaryDir scratch(args.size() > 1
                              ? args[1] + QStringLiteral("/stagebench-XXXXXX")
                              : QDir::tempPath() + QStringLiteral("/stagebench-XXXXXX"));
    const int documents = args.size() > 2 ? args[2].toInt() : 2000;
    if (!scratch.isValid() || documents < 1) {
        std::fprintf(stderr, "usage: stagebench [TARGET_FOLDER [DOCUMENTS]]\n");
        return 2;
    }
    const QString direct = scratch.filePath(QStringLiteral("direct"));
    const QString staged = scratch.filePath(QStringLiteral("staged"));
    QDir().mkpath(direct);
    QDir().mkpath(staged);

    // Twice each, alternating, so that neither profits from a warm cache.
    double directSeconds = 0, stagedSeconds = 0;
    for (int round = 0; round < 2; ++round) {
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < documents; ++i)
            save(direct, QStringLiteral("d%1-%2").arg(round).arg(i));
        directSeconds += clock.nsecsElapsed() / 1e9;

        clock.restart();
        for (int i = 0; i < documents; ++i) {
            const QString name = QStringLiteral("d%1-%2").arg(round).arg(i);
            qp::PageStaging staging(staged);
            save(staging.folder(), name);
            staging.commit(name + QStringLiteral(".htm"));
        }
        qp::PageStaging::releaseAll(); // as at the end of a job
        stagedSeconds += clock.nsecsElapsed() / 1e9;
    }
    const double perDirect = directSeconds * 1000 / (2 * documents);
    const double perStaged = stagedSeconds * 1000 / (2 * documents);
    std::printf("safe save (staging folder, checks, renames), %d documents of a page and two "
                "pictures:\n  written in place %.3f ms, staged and moved %.3f ms, cost %.3f ms "
                "per document\n",
                documents, perDirect, perStaged, perStaged - perDirect);
    return 0;
}
