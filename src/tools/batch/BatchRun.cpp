#include "BatchRun.h"

#include "ConsoleText.h"
#include "ConsoleWindows.h"
#include "desktop/Settings.h"
#include "jobs/BatchState.h"
#include "jobs/Command.h"
#include "jobs/Mediator.h"
#include "jobs/PageStaging.h"
#include "office/OfficeSandbox.h"
#include "office/WordServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <memory>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qp::batch {

namespace {

// The office is restarted between documents after this many documents or
// when it holds this much memory: office suites grow over long runs.
constexpr int restartAfterDocuments = 500;
constexpr long long restartAboveBytes = 1536LL * 1024 * 1024;

std::atomic<bool> stopRequested{false};

// The workers of a --jobs run, for the signal handler: a worker ends with its
// parent, and is first told to remove the page it is saving.
constexpr int maxSignalledWorkers = 256;
std::atomic<pid_t> workerPids[maxSignalledWorkers];

// Ends this process at once by the signal's default action.
[[noreturn]] void endBy(int signal) {
    ::signal(signal, SIG_DFL);
    // A handler runs with its own signal held back: let it through.
    sigset_t own;
    sigemptyset(&own);
    sigaddset(&own, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &own, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

// A worker told to end at once by its parent: the page being saved goes first.
void onEndNow(int signal) {
    PageStaging::discardAllFromSignal();
    endBy(signal);
}

void onInterrupt(int signal) {
    if (!stopRequested.exchange(true))
        return;
    // The second one: the page being saved goes, then the program. Workers
    // are told to do the same and given a moment for it, since they are
    // killed outright once this process has ended.
    PageStaging::discardAllFromSignal();
    bool running = false;
    for (auto& pid : workerPids)
        if (const pid_t worker = pid.load(); worker > 0)
            running = ::kill(worker, SIGUSR1) == 0 || running;
    for (int wait = 0; running && wait < 100; ++wait) {
        running = false;
        for (auto& pid : workerPids)
            if (const pid_t worker = pid.load(); worker > 0)
                running = ::waitpid(worker, nullptr, WNOHANG) == 0 || running;
        const timespec pause{0, 10'000'000};
        ::nanosleep(&pause, nullptr);
    }
    endBy(signal);
}

// Ctrl-C (or a polite kill) stops after the current document; a second one
// ends the program at once, and its office with it. A worker of a --jobs run
// takes no Ctrl-C from the terminal (it was started ignoring it): its parent
// hears it and passes the stop on as a polite kill. The worker was started
// with that signal held back, so that a stop passed on before this point
// waits for the handler instead of ending the worker.
void catchInterrupts(bool worker) {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = 0;
    sigemptyset(&action.sa_mask);
    if (!worker)
        ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    if (worker) {
        action.sa_handler = onEndNow;
        ::sigaction(SIGUSR1, &action, nullptr);
    }
    sigset_t polite;
    sigemptyset(&polite);
    sigaddset(&polite, SIGTERM);
    ::pthread_sigmask(SIG_UNBLOCK, &polite, nullptr);
}

void printError(const QString& text) {
    std::fprintf(stderr, "quillpg-batch: %s\n", qPrintable(oneLine(text)));
}

// The arguments of worker i of n: the options of this run with that slice,
// and the folders after "--", so that a folder name starting with a dash
// stays a folder.
QStringList workerArguments(const BatchOptions& options, int i, int n) {
    QStringList arguments;
    if (options.filtered)
        arguments << (*options.filtered ? QStringLiteral("--filtered")
                                        : QStringLiteral("--not-filtered"));
    for (const QString& extension : options.extensions)
        arguments << QStringLiteral("--extension") << extension;
    arguments << QStringLiteral("--timeout") << QString::number(options.timeoutSeconds)
              << QStringLiteral("--shard") << QStringLiteral("%1/%2").arg(i).arg(n)
              << QStringLiteral("--") << options.source << options.target;
    return arguments;
}

} // namespace

bool checkFolders(const BatchOptions& options, QString* error) {
    const QFileInfo source(options.source);
    const QString sourceName = escapedName(options.source);
    const QString targetName = escapedName(options.target);
    if (!source.exists()) {
        *error = QStringLiteral("the source folder %1 does not exist").arg(sourceName);
        return false;
    }
    if (!source.isDir() || !source.isReadable() || !source.isExecutable()) {
        *error = QStringLiteral("the source folder %1 cannot be read").arg(sourceName);
        return false;
    }
    const QFileInfo target(options.target);
    if (target.exists() && !target.isDir()) {
        *error = QStringLiteral("the target folder %1 is not a folder").arg(targetName);
        return false;
    }
    if (!target.exists() && !QDir().mkpath(options.target)) {
        *error = QStringLiteral("the target folder %1 cannot be created").arg(targetName);
        return false;
    }
    QTemporaryFile probe(QDir(options.target).filePath(QStringLiteral(".quillpg-XXXXXX")));
    if (!probe.open()) {
        *error = QStringLiteral("the target folder %1 cannot be written").arg(targetName);
        return false;
    }
    return true;
}

int runWorker(const BatchOptions& options, bool machine) {
    catchInterrupts(machine);
    ConsoleDialogs dialogs;
    ConsoleReporter reporter(!machine && ::isatty(STDERR_FILENO), machine);
    ConsoleWindows windows(options.extensions, options.filtered.value_or(storedFiltered()),
                           reporter, options.shardIndex, options.shardCount, dialogs);

    // An office profile of its own for this worker, kept between runs for a
    // quick start; the lock keeps two runs at the same time off the same one.
    office::OfficeOptions officeOptions;
    QString profileError;
    const auto profileLock =
        office::claimProfile(QStringLiteral("batch"), &officeOptions.profileDir, &profileError);
    if (!profileLock) {
        printError(profileError);
        return 2;
    }
    officeOptions.callTimeoutMs = options.timeoutSeconds * 1000;
    const auto server = office::registerWordServer(officeOptions);
    server->setSelfContainedPages(options.selfContained);

    Mediator mediator(windows, dialogs);
    if (!mediator.init())
        return 2;
    mediator.SetSourceFolder(QDir::cleanPath(QDir(options.source).absolutePath()));
    mediator.SetTargetFolder(QDir::cleanPath(QDir(options.target).absolutePath()));

    // A stop ends the job after its current document, the rest of the queue
    // counted as not converted. It is looked for while the office works and
    // after each document.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (stopRequested)
            mediator.stopJob();
    });
    watch.start(50);
    int sinceRestart = 0;
    reporter.afterDocument = [&] {
        if (stopRequested) {
            mediator.stopJob();
            return;
        }
        const auto session = server->session();
        if (session && (++sinceRestart >= restartAfterDocuments ||
                        session->officeResidentBytes() > restartAboveBytes)) {
            session->restart();
            sinceRestart = 0;
        }
    };

    int status = 0;
    try {
        mediator.startBatchState();
        StartJobCommand start;
        start.init(mediator);
        start.Execute();
    } catch (const AutomationError& error) {
        printError(error.description());
        status = error.number() == ErrorNumber::NoDocuments ? noDocumentsStatus : 2;
    }
    watch.stop();
    const int outcome = reporter.finish();
    server->shutdown();
    return status ? status : outcome;
}

int runParallel(const BatchOptions& options, const QString& program) {
    catchInterrupts(false);
    // Said once here rather than by every worker.
    StringExtensionList extensions(options.extensions);
    const QString noDocuments = BatchState::findNoDocuments(
        QDir::cleanPath(QDir(options.source).absolutePath()), extensions);
    if (!noDocuments.isEmpty()) {
        printError(noDocuments);
        std::printf("0 converted, 0 failed\n");
        return noDocumentsStatus;
    }
    const bool progress = ::isatty(STDERR_FILENO);
    // What each worker reported: its share of the documents, how many of
    // them it has done, and the "finished" record that closes its run.
    struct Worker {
        std::unique_ptr<QProcess> process;
        int total = 0;
        int done = 0;
        bool finished = false;
        int notConverted = 0;
        QString endedBy;
    };
    std::vector<Worker> workers(std::size_t(options.jobs));
    int total = 0, worst = 0, running = options.jobs;
    JobSummary all;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    auto draw = [&] {
        if (progress) {
            std::fprintf(stderr, "\r\033[K%s",
                         qPrintable(progressLine(all.converted + all.failed, total,
                                                 clock.nsecsElapsed() / 1e9)));
            std::fflush(stderr);
        }
    };
    auto clear = [&] {
        if (progress)
            std::fprintf(stderr, "\r\033[K");
    };
    auto print = [&](const QString& line) {
        clear();
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    };
    const pid_t parent = ::getpid();
    for (int i = 1; i <= options.jobs; ++i) {
        Worker* worker = &workers[std::size_t(i - 1)];
        worker->process = std::make_unique<QProcess>();
        QProcess* process = worker->process.get();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUILLPG_BATCH_WORKER"), QStringLiteral("1"));
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The terminal's Ctrl-C reaches the whole process group: only this
        // process acts on it, and passes the stop on (held back until the
        // worker catches it). A worker whose parent is gone, however it
        // ended, ends at once, and its office with it.
        process->setChildProcessModifier([parent] {
            ::signal(SIGINT, SIG_IGN);
            sigset_t polite;
            sigemptyset(&polite);
            sigaddset(&polite, SIGTERM);
            ::sigprocmask(SIG_BLOCK, &polite, nullptr);
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent)
                ::_exit(127);
        });
        QObject::connect(process, &QProcess::readyReadStandardOutput, &loop, [&, process, worker] {
            while (process->canReadLine()) {
                const QStringList record = readWorkerRecord(process->readLine());
                const QString& kind = record.first();
                if (kind == QLatin1String("total") && record.size() == 2) {
                    worker->total = record[1].toInt();
                    total += worker->total;
                } else if (kind == QLatin1String("converted") && record.size() == 4) {
                    ++worker->done;
                    ++all.converted;
                    print(convertedLine(record[1], record[2], record[3]));
                } else if (kind == QLatin1String("failed") && record.size() == 3) {
                    ++worker->done;
                    ++all.failed;
                    print(failedLine(record[1], record[2]));
                } else if (kind == QLatin1String("finished") && record.size() == 5) {
                    worker->finished = true;
                    worker->notConverted = record[3].toInt();
                    worker->endedBy = record[4];
                }
                draw();
            }
        });
        QObject::connect(process, &QProcess::finished, &loop,
                         [&](int code, QProcess::ExitStatus how) {
                             worst = std::max(worst, how == QProcess::NormalExit ? code : 2);
                             if (--running == 0)
                                 loop.quit();
                         });
        process->start(program, workerArguments(options, i, options.jobs));
        if (i <= maxSignalledWorkers)
            workerPids[i - 1] = pid_t(process->processId());
    }
    // A stop asked of this process is passed on to the workers.
    QTimer watch;
    bool passedOn = false;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (stopRequested && !passedOn) {
            passedOn = true;
            for (Worker& worker : workers)
                if (worker.process->state() != QProcess::NotRunning)
                    ::kill(pid_t(worker.process->processId()), SIGTERM);
        }
    });
    watch.start(100);
    loop.exec();
    clear();
    int lost = 0;
    for (const Worker& worker : workers) {
        all.notConverted += worker.notConverted;
        if (all.endedBy.isEmpty())
            all.endedBy = worker.endedBy;
        if (!worker.finished)
            lost += worker.total - worker.done;
    }
    if (lost > 0)
        printError(QStringLiteral("a worker ended early: %1 document(s) not converted").arg(lost));
    const int outcome = finishRun(all);
    return worst >= 2 ? 2 : std::max(outcome, worst);
}

} // namespace qp::batch
