// uibench FOLDER OUTDIR: runs FOLDER as a batch through the window
// application's real pipeline and windows (offscreen) with the real office,
// and prints documents per second, the longest pause of the user interface's
// event loop during the batch, and the program's memory along the way.
#include "desktop/Dialogs.h"
#include "jobs/Command.h"
#include "jobs/Mediator.h"
#include "office/WordServer.h"
#include "ui/MainWindow.h"
#include "ui/QuickStartDialog.h"
#include "ui/Startup.h"
#include "ui/WidgetWindows.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

long long residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * ::sysconf(_SC_PAGESIZE);
}

// The processor time this thread has used, in seconds.
double threadSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillpg"));
    if (argc != 3) {
        std::fprintf(stderr, "usage: uibench FOLDER OUTDIR\n");
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString out = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QDir().mkpath(out);

    qp::office::OfficeOptions options;
    options.pipeName = QStringLiteral("quillpg-uibench-%1").arg(::getpid());
    options.profileDir = QDir::homePath() + QStringLiteral("/.cache/quillpg/office/uibench");
    const auto office = qp::office::registerWordServer(options);

    // Start-up as the application does, with nobody to answer; the Quick
    // Start dialog is cancelled.
    qp::UnattendedDialogs dialogs;
    qp::WidgetWindows windows(dialogs);
    QTimer cancelQuickStart;
    QObject::connect(&cancelQuickStart, &QTimer::timeout, [&] {
        if (windows.quickStartDialog().isVisible()) {
            cancelQuickStart.stop();
            windows.quickStartDialog().cancelButton->click();
        }
    });
    cancelQuickStart.start(10);
    if (!qp::startUp(windows)) {
        std::fprintf(stderr, "uibench: the word processor could not be bound\n");
        return 2;
    }
    qp::Mediator& mediator = windows.mediator();
    // QUILLPG_JOBS as the window takes it: the offices beside the first get
    // pipes and profiles of their own.
    const int jobs = qp::office::officeCountFromEnvironment();
    const auto more = std::make_shared<qp::office::WordServerSet>(options, nullptr);
    if (jobs > 1)
        mediator.setWordProcessors(jobs, [more] { return more->make(); });
    mediator.SetSourceFolder(folder);
    mediator.SetTargetFolder(out);

    // The event loop's heartbeat: the longest gap between two ticks is the
    // longest time the windows could not repaint or answer a click.
    QElapsedTimer sinceTick;
    qint64 longestPauseNs = 0;
    long long peak = 0, afterFirst = 0;
    int ticks = 0;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        longestPauseNs = std::max(longestPauseNs, sinceTick.nsecsElapsed());
        sinceTick.restart();
        if (++ticks % 20 == 0) {
            const long long now = residentBytes();
            peak = std::max(peak, now);
            if (afterFirst == 0 && ticks >= 200)
                afterFirst = now;
        }
    });
    const long long before = residentBytes();
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = threadSeconds();
    sinceTick.start();
    heartbeat.start();
    mediator.startBatchState();
    qp::StartJobCommand start;
    start.init(mediator);
    start.Execute();
    // The documents convert on the engine's threads; the results arrive
    // through this event loop until the job has ended.
    QEventLoop untilDone;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!mediator.runningJob())
            untilDone.quit();
    });
    poll.start(5);
    untilDone.exec();
    heartbeat.stop();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const double cpu = threadSeconds() - cpuBefore;

    const QString status = windows.mainWindow().statusText();
    const int converted = status.section(QLatin1Char(' '), 0, 0).toInt();
    std::printf("%s in %.2f s: %.1f documents per second\n", qPrintable(status), seconds,
                seconds > 0 ? converted / seconds : 0.0);
    std::printf("longest pause of the event loop: %.1f ms (%d heartbeats)\n", longestPauseNs / 1e6,
                ticks);
    // What the windows cost: the main thread runs the windows and the job,
    // the offices convert on threads and processes of their own.
    const int done = converted + status.section(QLatin1Char(' '), 2, 2).toInt();
    std::printf("main thread: %.2f s of processor time, %.1f ms per document\n", cpu,
                done > 0 ? cpu * 1000.0 / done : 0.0);
    std::printf("memory of the program: %.1f MB before, %.1f MB after one second, %.1f MB peak, "
                "%.1f MB at the end\n",
                before / 1048576.0, afterFirst / 1048576.0, peak / 1048576.0,
                residentBytes() / 1048576.0);
    windows.unloadAll();
    office->shutdown();
    more->shutdown();
    return 0;
}
