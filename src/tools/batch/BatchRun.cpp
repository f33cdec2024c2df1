#include "BatchRun.h"

#include "BatchReport.h"
#include "ConsoleText.h"
#include "ConsoleWindows.h"
#include "automation/PhaseClock.h"
#include "desktop/FileList.h"
#include "desktop/Settings.h"
#include "jobs/BatchState.h"
#include "jobs/Command.h"
#include "jobs/FileSystem.h"
#include "jobs/FolderTree.h"
#include "jobs/Mediator.h"
#include "jobs/PageStaging.h"
#include "jobs/WorkItem.h"
#include "office/OfficeSandbox.h"
#include "office/WordServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qp::batch {

namespace {

// The office is restarted between documents after this many documents or
// when it holds this much memory (or three quarters of its ceiling, when
// that is less): office suites grow over long runs, and the next document
// should not be failed for what the ones before it left.
constexpr int restartAfterDocuments = 500;
constexpr long long restartAboveBytes = 1536LL * 1024 * 1024;

std::atomic<bool> stopRequested{false};

// The process whose handlers these are. A child being started (an office)
// keeps them until it runs its program, and a Ctrl-C taken there is not
// this process's.
std::atomic<pid_t> handlingProcess{0};

bool isHandlingProcess() {
    return ::getpid() == handlingProcess.load();
}

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

void onInterrupt(int signal) {
    if (!isHandlingProcess())
        return;
    if (!stopRequested.exchange(true))
        return;
    // The second one: the page being saved goes, then the offices and what
    // they leave (their private folders, notes and sockets), then the program.
    PageStaging::discardAllFromSignal();
    office::endOfficesFromSignal();
    endBy(signal);
}

// Ctrl-C (or a polite kill) stops after the current documents; a second one
// ends the program at once, and its offices with it.
void catchInterrupts() {
    handlingProcess = ::getpid();
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = 0;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void printError(const QString& text) {
    std::fprintf(stderr, "quillpg-batch: %s\n", qPrintable(oneLine(text)));
}

// Said once per run, when the first office is not confined to the
// documents it converts.
void printUnconfined(const QString& reason) {
    printError(
        QStringLiteral("warning: the office is not confined to the documents it converts: ") +
        reason);
}

QString absoluteFolder(const QString& folder) {
    return QDir::cleanPath(QDir(folder).absolutePath());
}

QString noDocumentsInTree(const QString& folder, ExtensionList& extensions) {
    return QStringLiteral("No documents with the listed extensions (%1) in %2 or its subfolders")
        .arg(listedExtensions(extensions), escapedName(folder));
}

// Whether the file a is newer than the file b; false when either is missing.
bool newer(const QString& a, const QString& b) {
    struct stat first {};
    struct stat second {};
    if (::stat(encodeFileName(a).constData(), &first) != 0 ||
        ::stat(encodeFileName(b).constData(), &second) != 0)
        return false;
    return std::pair(first.st_mtim.tv_sec, first.st_mtim.tv_nsec) >
           std::pair(second.st_mtim.tv_sec, second.st_mtim.tv_nsec);
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

bool checkReport(const BatchOptions& options, QString* error) {
    if (options.report.isEmpty() || options.report == QLatin1String("-"))
        return true;
    const QByteArray native = encodeFileName(options.report);
    struct stat report {};
    if (::stat(native.constData(), &report) == 0 && !S_ISREG(report.st_mode))
        return true; // a device or a pipe: written to, never replaced
    // The files written: the report, and the one it grows in beside it.
    std::vector<std::pair<dev_t, ino_t>> written;
    for (const QByteArray& path : {native, QByteArray(native + ".partial")})
        if (::stat(path.constData(), &report) == 0)
            written.emplace_back(report.st_dev, report.st_ino);
    // Where the report lands: its folder with every link resolved.
    const QFileInfo info(options.report);
    const QByteArray real = resolvedPath(encodeFileName(info.absolutePath()));
    if (real.isEmpty())
        return true; // cannot be written at all: opening it says so
    const QString folder = decodeFileName(real);
    const QString name = info.fileName();
    const QString shown = escapedName(options.report);

    StringExtensionList extensions(options.extensions);
    const QString sourceRoot = absoluteFolder(options.source);
    const QString targetRoot = absoluteFolder(options.target);
    FolderWalk walk(sourceRoot, targetRoot);
    for (QString source = options.recursive ? walk.next() : sourceRoot; !source.isEmpty();
         source = options.recursive ? walk.next() : QString()) {
        QList<std::pair<QString, QString>> documents;
        try {
            documents = BatchState::documentPages(source, extensions);
        } catch (const AutomationError&) {
            continue; // the run says so for itself
        }
        const QString target = targetFolderOf(source, sourceRoot, targetRoot);
        const QByteArray realTarget = resolvedPath(encodeFileName(target));
        const bool pagesThere = !realTarget.isEmpty() && decodeFileName(realTarget) == folder;
        for (const auto& [document, page] : documents) {
            struct stat file {};
            if (::stat(encodeFileName(document).constData(), &file) == 0 &&
                std::count(written.begin(), written.end(), std::pair(file.st_dev, file.st_ino))) {
                *error = QStringLiteral("the report %1 is %2, a document of this run: "
                                        "choose another file for the report")
                             .arg(shown, escapedName(document));
                return false;
            }
            // Compared ignoring case, as some file systems do.
            if (pagesThere && page.compare(name, Qt::CaseInsensitive) == 0) {
                *error = QStringLiteral("the report %1 would be replaced by the page of %2: "
                                        "choose another file for the report")
                             .arg(shown, escapedName(document));
                return false;
            }
        }
    }
    return true;
}

namespace {
// The documents of a folder that this run would convert. Raises as FileList
// does when the folder cannot be listed.
int countDocuments(const QString& folder, WindowPort& windows) {
    FileList& files = windows.fileList();
    ExtensionFilter chain(windows.extensionList());
    FileSystem fileSystem;
    int count = 0;
    files.setPath(folder);
    for (int i = 0; i < files.listCount(); ++i) {
        files.setListIndex(i);
        QString extension = fileSystem.GetFileExtension(files.fileName()).toLower();
        count += chain.accepts(extension) && windows.takesDocument(0);
    }
    return count;
}
} // namespace

int runTool(const QStringList& arguments, const Mediator::EngineMaker& makeEngine) {
    QString error;
    const auto options = parseOptions(arguments, &error);
    if (!options) {
        std::fprintf(stderr, "quillpg-batch: %s\n\n%s", qPrintable(error), qPrintable(usageText()));
        return 2;
    }
    if (options->help) {
        std::printf("%s", qPrintable(usageText()));
        return 0;
    }
    if (options->version) {
        std::printf("quillpg-batch %d.%d.%d\n", QUILLPG_VERSION_MAJOR, QUILLPG_VERSION_MINOR,
                    QUILLPG_VERSION_PATCH);
        return 0;
    }
    if (!checkFolders(*options, &error) || !checkReport(*options, &error)) {
        printError(error);
        return 2;
    }
    return runBatch(*options, makeEngine);
}

int runBatch(const BatchOptions& options, const Mediator::EngineMaker& makeEngine) {
    catchInterrupts();
    ReportWriter report;
    QString reportError;
    if (!report.open(options.report, &reportError)) {
        printError(reportError);
        return 2;
    }
    printLinesToStandardError(options.report == QLatin1String("-"));
    office::setUnconfinedNotice(printUnconfined);
    ConsoleDialogs dialogs;
    ConsoleReporter reporter(::isatty(STDERR_FILENO), &report);
    ConsoleWindows windows(options.extensions, options.filtered.value_or(storedFiltered()),
                           reporter, options.shardIndex, options.shardCount, dialogs);

    // The offices, unless the run is given an engine of its own.
    std::unique_ptr<QLockFile> profileLock;
    std::shared_ptr<office::WordServer> server;
    std::shared_ptr<office::WordServerSet> more;
    if (!makeEngine) {
        // A profile of its own for the first office, kept between runs for a
        // quick start; the lock keeps two runs at the same time off the same one.
        office::OfficeOptions officeOptions;
        QString profileError;
        profileLock =
            office::claimProfile(QStringLiteral("batch"), &officeOptions.profileDir, &profileError);
        if (!profileLock) {
            printError(profileError);
            return 2;
        }
        officeOptions.callTimeoutMs = options.timeoutSeconds * 1000;
        officeOptions.memoryLimitBytes = options.officeMemory;
        // An office may take as long to start as one call of a document.
        officeOptions.startTimeoutMs =
            std::max(officeOptions.startTimeoutMs, officeOptions.callTimeoutMs);
        officeOptions.restartAfterDocuments = restartAfterDocuments;
        officeOptions.restartAboveBytes = restartAboveBytes;
        server = office::registerWordServer(officeOptions);
        server->setSelfContainedPages(options.selfContained);
        server->setPublishedFolders(&PageStaging::publishedFolderOf);
        // With --jobs N, N - 1 offices beside the first one, each with a pipe
        // and profile of its own, started as the first job begins.
        more =
            std::make_shared<office::WordServerSet>(officeOptions, &PageStaging::publishedFolderOf);
        more->setSelfContainedPages(options.selfContained);
    }

    // What links in the source folder may lead to: the tree below it, or with
    // --follow-links anything.
    const QString sourceRoot = absoluteFolder(options.source);
    const QString targetRoot = absoluteFolder(options.target);
    windows.fileList().setLinkScope(sourceRoot, options.followLinks);

    // A run stopped before its office started converts nothing: no office
    // is started for it. An office that does not start says why here, since
    // the Mediator only says that there is none (and tries once more).
    if (!stopRequested && server) {
        try {
            server->createObject();
        } catch (const std::exception& error) {
            printError(QStringLiteral("the office did not start: %1").arg(errorText(error)));
        }
    }

    // Several offices convert the largest documents first, so that a large
    // one taken late does not leave one office busy while the others idle;
    // page names still come from the listing. The sizes are read once per
    // job, when it orders its documents.
    if (options.jobs > 1)
        windows.orderForJob = [] {
            return [sizes = std::make_shared<QHash<QString, qint64>>()](const WorkItem& a,
                                                                        const WorkItem& b) {
                auto size = [&](const QString& file) {
                    if (!sizes->contains(file)) {
                        struct stat info {};
                        sizes->insert(file, ::stat(encodeFileName(file).constData(), &info) == 0
                                                ? qint64(info.st_size)
                                                : 0);
                    }
                    return sizes->value(file);
                };
                return size(a.fileName()) > size(b.fileName());
            };
        };

    Mediator mediator(windows, dialogs);
    if (more)
        mediator.setWordProcessors(options.jobs, [more] { return more->make(); });
    else
        mediator.setEngineMaker(makeEngine);
    if (!stopRequested && !mediator.init())
        return 2;

    // Before each document: is its page up to date, and is its target folder
    // there.
    QString targetFolder;
    bool targetMade = false;
    windows.decide = [&](const WorkItem& item) {
        const auto* batchItem = dynamic_cast<const BatchWorkItem*>(&item);
        if (options.skipUnchanged && batchItem && batchItem->refusal().isEmpty()) {
            const QString page = joinPath(targetFolder, batchItem->pageName());
            if (newer(page, item.fileName())) {
                reporter.documentUnchanged(item.fileName(), page);
                if (stopRequested)
                    mediator.stopJob();
                return false;
            }
        }
        // A folder that cannot be made fails the document with the reason.
        if (!targetMade)
            targetMade = makeFolders(targetFolder);
        return true;
    };

    // A stop ends the job after its current document, the rest of the queue
    // counted as not converted. It is looked for while the office works and
    // after each document.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (stopRequested)
            mediator.stopJob();
    });
    watch.start(50);
    reporter.afterDocument = [&] {
        if (stopRequested)
            mediator.stopJob();
    };

    // One job per folder: the source folder alone, or every folder of its
    // tree, each page going to the same place below the target folder.
    FolderWalk walk(sourceRoot, targetRoot);
    int status = 0;
    bool anyDocuments = false, anyFolderNotRead = false;
    for (QString folder = options.recursive ? walk.next() : sourceRoot; !folder.isEmpty();
         folder = options.recursive ? walk.next() : QString()) {
        targetFolder = targetFolderOf(folder, sourceRoot, targetRoot);
        targetMade = folder == sourceRoot;
        try {
            // After a stop, however early, the folders still to come are only
            // counted.
            if (stopRequested) {
                const int left = countDocuments(folder, windows);
                reporter.documentsLeft(left);
                anyDocuments = anyDocuments || left > 0;
                if (left == 0 && !options.recursive)
                    throw AutomationError(
                        ErrorNumber::NoDocuments,
                        BatchState::findNoDocuments(folder, windows.extensionList()));
                continue;
            }
            mediator.SetSourceFolder(folder);
            mediator.SetTargetFolder(targetFolder);
            mediator.startBatchState();
            StartJobCommand start;
            start.init(mediator);
            start.Execute();
            anyDocuments = true;
            // The documents convert on the engine's threads; their results
            // arrive through this thread's event loop, which runs until the
            // job has reported its end.
            if (mediator.runningJob()) {
                QEventLoop jobLoop;
                reporter.afterJob = [&jobLoop] {
                    jobLoop.quit();
                };
                jobLoop.exec();
                reporter.afterJob = nullptr;
            }
        } catch (const AutomationError& error) {
            if (!options.recursive) {
                printError(error.description());
                status = error.number() == ErrorNumber::NoDocuments ? noDocumentsStatus : 2;
            } else if (error.number() != ErrorNumber::NoDocuments) {
                // A folder of the tree that cannot be listed: its documents
                // are unknown, so it is counted as a folder, once over all
                // the slices of the tree.
                anyFolderNotRead = true;
                if (options.shardIndex == 1)
                    reporter.folderNotRead(folder, windows.fileList().folderProblem().isEmpty()
                                                       ? error.description()
                                                       : windows.fileList().folderProblem());
            }
        }
    }
    if (options.recursive && !anyDocuments && !anyFolderNotRead) {
        printError(noDocumentsInTree(sourceRoot, windows.extensionList()));
        status = noDocumentsStatus;
    }
    watch.stop();
    const int outcome = reporter.finish();
    // For benchmarks: where this process's conversion time went, one line
    // per run, with the processor time of its offices' last processes, read
    // before the offices end (the system counts them among this process's
    // children only once they have been waited for).
    if (const QString file = qEnvironmentVariable("QUILLPG_PHASE_TIMES");
        !file.isEmpty() && server) {
        auto sessions = more->sessions();
        sessions.push_back(server->session());
        double officeSeconds = 0;
        int offices = 0;
        for (const auto& session : sessions) {
            if (!session || session->officePid() <= 0)
                continue;
            QFile stat(QStringLiteral("/proc/%1/stat").arg(session->officePid()));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray text = stat.readAll();
            // The fields after the program's name: utime and stime are the 12th and 13th.
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 12) {
                officeSeconds += double(fields[11].toLongLong() + fields[12].toLongLong()) /
                                 double(::sysconf(_SC_CLK_TCK));
                ++offices;
            }
        }
        QFile times(file);
        if (times.open(QIODevice::Append))
            times.write(QStringLiteral("%1, office-cpu %2 s (%3)\n")
                            .arg(phaseSummary())
                            .arg(officeSeconds, 0, 'f', 3)
                            .arg(std::max(offices, 1))
                            .toUtf8());
    }
    if (server) {
        server->shutdown();
        more->shutdown();
    }
    if (reporter.reportFailed())
        return 2;
    return status > 1 ? status : std::max(status, outcome);
}

} // namespace qp::batch
