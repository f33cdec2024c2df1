#include "BatchRun.h"

#include "ConsoleWindows.h"
#include "core/Command.h"
#include "core/Mediator.h"
#include "core/StateManager.h"
#include "pipeline/JobState.h"
#include "platform/Settings.h"
#include "platform/office/OfficeSandbox.h"
#include "platform/office/WordServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace qp::batch {

namespace {

// The office is restarted between documents after this many documents or
// when it holds this much memory: office suites grow over long runs.
constexpr int restartAfterDocuments = 500;
constexpr long long restartAboveBytes = 1536LL * 1024 * 1024;

std::atomic<bool> stopRequested{false};

void onInterrupt(int) {
    stopRequested = true;
}

// Ctrl-C (or a polite kill) stops after the current document; a second one
// ends the program at once, and its office with it.
void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void printError(const QString& text) {
    std::fprintf(stderr, "quillpg-batch: %s\n", qPrintable(text));
}

} // namespace

bool checkFolders(const BatchOptions& options, QString* error) {
    const QFileInfo source(options.source);
    if (!source.exists()) {
        *error = QStringLiteral("the source folder %1 does not exist").arg(options.source);
        return false;
    }
    if (!source.isDir() || !source.isReadable() || !source.isExecutable()) {
        *error = QStringLiteral("the source folder %1 cannot be read").arg(options.source);
        return false;
    }
    const QFileInfo target(options.target);
    if (target.exists() && !target.isDir()) {
        *error = QStringLiteral("the target folder %1 is not a folder").arg(options.target);
        return false;
    }
    if (!target.exists() && !QDir().mkpath(options.target)) {
        *error = QStringLiteral("the target folder %1 cannot be created").arg(options.target);
        return false;
    }
    QTemporaryFile probe(QDir(options.target).filePath(QStringLiteral(".quillpg-XXXXXX")));
    if (!probe.open()) {
        *error = QStringLiteral("the target folder %1 cannot be written").arg(options.target);
        return false;
    }
    return true;
}

int runWorker(const BatchOptions& options, bool machine) {
    catchInterrupts();
    ConsoleDialogs dialogs;
    Dialogs::setProvider(&dialogs);
    ConsoleReporter reporter(!machine && ::isatty(STDERR_FILENO), machine);
    ConsoleWindows windows(options.extensions, options.filtered.value_or(storedFiltered()),
                           reporter, options.shardIndex, options.shardCount);

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

    Mediator mediator(windows);
    General::setMediator(&mediator);
    if (!mediator.init())
        return 2;
    mediator.SetSourceFolder(QDir::cleanPath(QDir(options.source).absolutePath()));
    mediator.SetTgtFolder(QDir::cleanPath(QDir(options.target).absolutePath()));

    int sinceRestart = 0;
    int dropped = 0;
    reporter.afterDocument = [&] {
        if (stopRequested) {
            // What is still queued is dropped: the run ends after this document.
            if (auto* batch = dynamic_cast<JobState*>(mediator.stateManager().stateTwo()))
                if (Stack* queue = batch->workStack())
                    while (queue->hasMoreElements()) {
                        queue->NextElement();
                        ++dropped;
                    }
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
        mediator.StartStateTwo();
        cmd1 start;
        start.init(mediator);
        start.Execute();
    } catch (const AutomationError& error) {
        printError(error.description());
        status = 2;
    }
    std::printf("%d converted, %d failed\n", reporter.converted(), reporter.failed());
    std::fflush(stdout);
    server->shutdown();
    General::setMediator(nullptr);
    Dialogs::setProvider(nullptr);
    if (status)
        return status;
    if (dropped > 0)
        printError(QStringLiteral("stopped: %1 document(s) not converted").arg(dropped));
    return reporter.failed() > 0 || dropped > 0 ? 1 : 0;
}

int runParallel(const BatchOptions& options, const QString& program, const QStringList& arguments) {
    catchInterrupts();
    // The workers' arguments: the same, without --jobs, each with its slice.
    QStringList common;
    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--jobs")) {
            ++i;
            continue;
        }
        common << arguments[i];
    }
    const bool progress = ::isatty(STDERR_FILENO);
    int total = 0, converted = 0, failed = 0, worst = 0, running = options.jobs;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    std::vector<std::unique_ptr<QProcess>> workers;
    auto draw = [&] {
        if (progress) {
            std::fprintf(
                stderr, "\r\033[K%s",
                qPrintable(progressLine(converted + failed, total, clock.nsecsElapsed() / 1e9)));
            std::fflush(stderr);
        }
    };
    auto clear = [&] {
        if (progress)
            std::fprintf(stderr, "\r\033[K");
    };
    for (int i = 1; i <= options.jobs; ++i) {
        auto worker = std::make_unique<QProcess>();
        QProcess* process = worker.get();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUILLPG_BATCH_WORKER"), QStringLiteral("1"));
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(process, &QProcess::readyReadStandardOutput, &loop, [&, process] {
            while (process->canReadLine()) {
                const QString line = QString::fromLocal8Bit(process->readLine()).trimmed();
                if (line.startsWith(QLatin1String("# total "))) {
                    total += line.mid(8).toInt();
                } else if (line.startsWith(QLatin1String("Converted "))) {
                    ++converted;
                } else if (line.startsWith(QLatin1String("Failed "))) {
                    ++failed;
                } else {
                    continue; // a worker's own closing line
                }
                if (!line.startsWith(QLatin1Char('#'))) {
                    clear();
                    std::printf("%s\n", qPrintable(line));
                    std::fflush(stdout);
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
        process->start(program,
                       common + QStringList{QStringLiteral("--shard"),
                                            QStringLiteral("%1/%2").arg(i).arg(options.jobs)});
        workers.push_back(std::move(worker));
    }
    // A stop asked of this process alone is passed on to the workers.
    QTimer watch;
    bool passedOn = false;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (stopRequested && !passedOn) {
            passedOn = true;
            for (auto& worker : workers)
                if (worker->state() != QProcess::NotRunning)
                    ::kill(pid_t(worker->processId()), SIGINT);
        }
    });
    watch.start(100);
    loop.exec();
    for (auto& worker : workers)
        worker->waitForFinished();
    clear();
    std::printf("%d converted, %d failed\n", converted, failed);
    std::fflush(stdout);
    if (worst >= 2)
        return 2;
    return failed > 0 || worst == 1 ? 1 : 0;
}

} // namespace qp::batch
