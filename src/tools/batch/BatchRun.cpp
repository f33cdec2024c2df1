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
#include "jobs/JobState.h"
#include "jobs/Mediator.h"
#include "jobs/PageStaging.h"
#include "jobs/StateManager.h"
#include "jobs/WorkItem.h"
#include "office/OfficeSandbox.h"
#include "office/WordServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <deque>
#include <dirent.h>
#include <functional>
#include <memory>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace qp::batch {

namespace {

// The office is restarted between documents after this many documents or
// when it holds this much memory, or three quarters of its ceiling when that
// is less: office suites grow over long runs, and the next document should
// not be failed for what the ones before it left.
constexpr int restartAfterDocuments = 500;
constexpr long long restartAboveBytes = 1536LL * 1024 * 1024;

std::atomic<bool> stopRequested{false};

// The workers of a --jobs run, for the signal handler: a worker ends with its
// parent, and is first told to remove the page it is saving.
constexpr int maxSignalledWorkers = 256;
std::atomic<pid_t> workerPids[maxSignalledWorkers];

// The process whose handlers these are. A child being started shares this
// process's memory until it runs its program (Qt starts processes with
// vfork), and a Ctrl-C reaches the child too while it still has these
// handlers: taken there, it would count as this process's first Ctrl-C, and
// the real one as the second.
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

// A worker told to end at once by its parent: the page being saved goes first.
void onEndNow(int signal) {
    if (!isHandlingProcess())
        return;
    PageStaging::discardAllFromSignal();
    endBy(signal);
}

void onInterrupt(int signal) {
    if (!isHandlingProcess())
        return;
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
    handlingProcess = ::getpid();
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

// Said once per run, by the program the user started, when an office is not
// confined to the documents it converts.
void printUnconfined(const QString& reason) {
    printError(
        QStringLiteral("warning: the office is not confined to the documents it converts: ") +
        reason);
}

// The arguments of a worker: the options of this run, and the folders after
// "--", so that a folder name starting with a dash stays a folder.
QStringList workerArguments(const BatchOptions& options) {
    QStringList arguments;
    if (options.filtered)
        arguments << (*options.filtered ? QStringLiteral("--filtered")
                                        : QStringLiteral("--not-filtered"));
    if (options.selfContained)
        arguments << QStringLiteral("--self-contained");
    if (options.recursive)
        arguments << QStringLiteral("--recursive");
    if (options.skipUnchanged)
        arguments << QStringLiteral("--skip-unchanged");
    if (options.followLinks)
        arguments << QStringLiteral("--follow-links");
    for (const QString& extension : options.extensions)
        arguments << QStringLiteral("--extension") << extension;
    if (options.officeMemory > 0)
        arguments << QStringLiteral("--office-memory") << QString::number(options.officeMemory);
    arguments << QStringLiteral("--timeout") << QString::number(options.timeoutSeconds)
              << QStringLiteral("--") << options.source << options.target;
    return arguments;
}

QString absoluteFolder(const QString& folder) {
    return QDir::cleanPath(QDir(folder).absolutePath());
}

// The folders of a tree, depth first: each folder before its subfolders,
// subfolders in the order in which FileList lists files. Hidden folders,
// symbolic links to folders and the folder `skip` (a target folder inside the
// source) are left out. Only the subfolders still to come of the folders on
// the way down are held, so memory does not grow with the tree.
// Where the pages of a folder of the source tree go: the same place below
// the target folder.
QString targetFolderOf(const QString& folder, const QString& sourceRoot,
                       const QString& targetRoot) {
    return folder == sourceRoot ? targetRoot
                                : joinPath(targetRoot, folder.mid(joinPath(sourceRoot, {}).size()));
}

class FolderWalk {
public:
    FolderWalk(const QString& root, const QString& skip) : root_(root) {
        struct stat info {};
        if (!skip.isEmpty() && ::stat(encodeFileName(skip).constData(), &info) == 0)
            skip_ = {info.st_dev, info.st_ino};
    }

    // The next folder's path; empty after the last one.
    QString next() {
        if (!root_.isEmpty()) {
            pending_.push_back(subfolders(root_));
            return std::exchange(root_, QString());
        }
        while (!pending_.empty() && pending_.back().isEmpty())
            pending_.pop_back();
        if (pending_.empty())
            return {};
        QString folder = pending_.back().takeLast();
        pending_.push_back(subfolders(folder));
        return folder;
    }

private:
    // The subfolders of a folder, the last one first.
    QStringList subfolders(const QString& folder) const {
        QStringList names;
        const QByteArray native = encodeFileName(folder);
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(native.constData()), ::closedir);
        if (!dir)
            return names; // listing the folder itself says why
        while (const dirent* entry = ::readdir(dir.get())) {
            const QByteArray name(entry->d_name);
            struct stat info {};
            if (!name.startsWith('.') && ::lstat((native + '/' + name).constData(), &info) == 0 &&
                S_ISDIR(info.st_mode) && std::pair(info.st_dev, info.st_ino) != skip_)
                names << decodeFileName(name);
        }
        std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
            const int order = a.compare(b, Qt::CaseInsensitive);
            return order != 0 ? order > 0 : a > b;
        });
        for (QString& name : names)
            name = joinPath(folder, name);
        return names;
    }

    QString root_;
    std::vector<QStringList> pending_;
    std::pair<dev_t, ino_t> skip_{0, 0};
};

QString noDocumentsInTree(const QString& folder, ExtensionList& extensions) {
    return QStringLiteral("No documents with the listed extensions (%1) in %2 or its subfolders")
        .arg(listedExtensions(extensions), escapedName(folder));
}

// Makes the folder and those above it that are missing.
bool makeFolder(const QString& folder) {
    const QByteArray native = encodeFileName(folder);
    for (qsizetype end = native.indexOf('/', 1);; end = native.indexOf('/', end + 1)) {
        const QByteArray part = end < 0 ? native : native.left(end);
        if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST)
            return false;
        if (end < 0)
            return true;
    }
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

// A line from standard input, without its end; empty at its end.
QByteArray readInputLine() {
    QByteArray line;
    char c;
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || c == '\n')
            return line;
        line += c;
    }
}

// A worker of a --jobs run asks its parent for each next document: "next",
// answered "take K" (K counts the documents of the whole run from 0, in the
// order of the listing) or "end". Each worker lists the same documents, so
// the names stay those of a single run. A worker asks for its next document
// as soon as it starts one, so that the answer is there when it is done: the
// round trip costs a small document a noticeable share of its time.
class Dispatch {
public:
    // Whether the next queued document is this worker's.
    bool mine() {
        const int index = next_++;
        while (!ended_ && assigned_ < index) {
            if (!asked_)
                ask();
            const QStringList reply = readWorkerRecord(readInputLine());
            asked_ = false;
            if (reply.size() == 2 && reply[0] == QLatin1String("take"))
                assigned_ = reply[1].toInt();
            else
                ended_ = true;
        }
        if (ended_ || index != assigned_)
            return false;
        ask();
        return true;
    }

private:
    void ask() {
        std::fputs(workerRecord({QStringLiteral("next")}).constData(), stdout);
        std::fflush(stdout);
        asked_ = true;
    }

    int next_ = 0;
    int assigned_ = -1;
    bool asked_ = false;
    bool ended_ = false;
};

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

int runWorker(const BatchOptions& options, bool machine) {
    catchInterrupts(machine);
    ReportWriter report;
    QString reportError;
    if (!machine && !report.open(options.report, &reportError)) {
        printError(reportError);
        return 2;
    }
    if (!machine && options.report == QLatin1String("-"))
        printLinesToStandardError();
    // A worker of a --jobs run tells its parent, which says it once for all.
    if (machine)
        office::setUnconfinedNotice([](const QString& reason) {
            std::fputs(workerRecord({QStringLiteral("unconfined"), reason}).constData(), stdout);
            std::fflush(stdout);
        });
    else
        office::setUnconfinedNotice(printUnconfined);
    ConsoleDialogs dialogs;
    ConsoleReporter reporter(!machine && ::isatty(STDERR_FILENO), machine, &report);
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
    officeOptions.memoryLimitBytes = options.officeMemory;
    // An office may take as long to start as one call of a document.
    officeOptions.startTimeoutMs =
        std::max(officeOptions.startTimeoutMs, officeOptions.callTimeoutMs);
    const auto server = office::registerWordServer(officeOptions);
    server->setSelfContainedPages(options.selfContained);
    server->setPublishedFolders(&PageStaging::publishedFolderOf);

    // What links in the source folder may lead to: the tree below it, or with
    // --follow-links anything.
    const QString sourceRoot = absoluteFolder(options.source);
    const QString targetRoot = absoluteFolder(options.target);
    windows.fileList().setLinkScope(sourceRoot, options.followLinks);

    // A run stopped before its office started converts nothing: no office
    // is started for it. An office that does not start says why here, since
    // the Mediator only says that there is none; a worker then ends at once,
    // for its parent to start it again.
    if (!stopRequested) {
        try {
            server->createObject();
        } catch (const std::exception& error) {
            printError(QStringLiteral("the office did not start: %1").arg(errorText(error)));
            if (machine)
                return officeNotStartedStatus;
        }
    }

    // The workers of a --jobs run convert the largest documents first, so
    // that a large one taken late does not leave one worker busy while the
    // others idle. Each worker orders the same listing alike (sizes, then the
    // listing), so the parent's document numbers keep meaning the same
    // document in every worker; page names come from the listing.
    // The sizes are read once per job, when it orders its documents.
    if (machine)
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
    if (!stopRequested && !mediator.init())
        return machine ? officeNotStartedStatus : 2;

    // Before each document: is it this worker's, is its page up to date, and
    // is its target folder there.
    Dispatch dispatch;
    QString targetFolder;
    bool targetMade = false;
    windows.decide = [&](const WorkItem& item) {
        if (machine && !dispatch.mine())
            return false;
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
            targetMade = makeFolder(targetFolder);
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
    int sinceRestart = 0;
    reporter.afterDocument = [&] {
        if (stopRequested) {
            mediator.stopJob();
            return;
        }
        const auto session = server->session();
        if (session &&
            (++sinceRestart >= restartAfterDocuments ||
             session->officeResidentBytes() >
                 std::min(restartAboveBytes, session->options().memoryLimitBytes / 4 * 3))) {
            session->restart();
            sinceRestart = 0;
        }
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
            if (auto* job = dynamic_cast<JobState*>(mediator.stateManager().batchState());
                job && job->running()) {
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
    // per process (each worker of a --jobs run writes its own), with the
    // processor time of its last office, read before the office ends (the
    // system counts it among this process's children only once it has been
    // waited for).
    if (const QString file = qEnvironmentVariable("QUILLPG_PHASE_TIMES"); !file.isEmpty()) {
        double officeSeconds = 0;
        if (const auto session = server->session(); session && session->officePid() > 0) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(session->officePid()));
            if (stat.open(QIODevice::ReadOnly)) {
                const QByteArray text = stat.readAll();
                // The fields after the program's name: utime and stime are the 12th and 13th.
                const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
                if (fields.size() > 12)
                    officeSeconds = double(fields[11].toLongLong() + fields[12].toLongLong()) /
                                    double(::sysconf(_SC_CLK_TCK));
            }
        }
        QFile times(file);
        if (times.open(QIODevice::Append))
            times.write(QStringLiteral("%1, office-cpu %2 s (1)\n")
                            .arg(phaseSummary())
                            .arg(officeSeconds, 0, 'f', 3)
                            .toUtf8());
    }
    server->shutdown();
    if (reporter.reportFailed())
        return 2;
    return status > 1 ? status : std::max(status, outcome);
}

int runParallel(const BatchOptions& options, const QString& program) {
    catchInterrupts(false);
    ReportWriter report;
    QString reportError;
    if (!report.open(options.report, &reportError)) {
        printError(reportError);
        return 2;
    }
    if (options.report == QLatin1String("-"))
        printLinesToStandardError();
    // Said once here rather than by every worker.
    StringExtensionList extensions(options.extensions);
    const QString source = absoluteFolder(options.source);
    QString noDocuments = BatchState::findNoDocuments(source, extensions);
    if (options.recursive && !noDocuments.isEmpty()) {
        FolderWalk walk(source, absoluteFolder(options.target));
        walk.next();
        for (QString folder = walk.next(); !folder.isEmpty() && !noDocuments.isEmpty();
             folder = walk.next()) {
            try {
                noDocuments = BatchState::findNoDocuments(folder, extensions);
            } catch (const AutomationError&) {
                // The workers say which subfolder cannot be read; what it
                // holds is not known.
                noDocuments.clear();
            }
        }
        if (!noDocuments.isEmpty())
            noDocuments = noDocumentsInTree(source, extensions);
    }
    if (!noDocuments.isEmpty()) {
        printError(noDocuments);
        finishRun({}, &report);
        return report.failed() ? 2 : noDocumentsStatus;
    }
    const bool progress = ::isatty(STDERR_FILENO);
    // Each worker lists the same documents and asks for the next one when it
    // is free; the document it was handed last is held until it reports it.
    struct Worker {
        std::unique_ptr<QProcess> process;
        std::deque<int> held; // handed out, not reported yet
        int code = 0;
        bool finished = false;
        bool restarted = false;
        bool ready = false; // its office runs, or it has ended
        QString endedBy;
    };
    std::vector<Worker> workers(std::size_t(options.jobs));
    int total = 0, nextDocument = 0, running = options.jobs;
    bool passedOn = false, unconfinedSaid = false;
    RunCounts all;
    QSet<QString> foldersNotRead; // each worker finds the same ones
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    auto draw = [&] {
        if (progress) {
            std::fprintf(stderr, "\r\033[K%s",
                         qPrintable(progressLine(all.converted + all.failed + all.unchanged, total,
                                                 clock.nsecsElapsed() / 1e9)));
            std::fflush(stderr);
        }
    };
    auto clear = [&] {
        if (progress)
            std::fprintf(stderr, "\r\033[K");
    };
    const pid_t parent = ::getpid();
    // Each worker is started once the one before it has its office running
    // (its first record says so) or has ended: offices that start side by
    // side slow each other down, while one that starts beside a worker that
    // converts uses the other core. After a stop the rest are never started.
    int launched = 0;
    std::function<void()> launchNext;
    std::function<void(int)> start = [&](int i) {
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
                // Sent while its office starts, so it does not mean the office runs.
                if (kind == QLatin1String("unconfined") && record.size() == 2) {
                    if (!std::exchange(unconfinedSaid, true)) {
                        clear();
                        printUnconfined(record[1]);
                    }
                    continue;
                }
                if (!worker->ready) {
                    worker->ready = true;
                    launchNext();
                }
                if (kind == QLatin1String("next")) {
                    // After a stop no further document is handed out.
                    if (!passedOn)
                        worker->held.push_back(nextDocument);
                    process->write(passedOn ? workerRecord({QStringLiteral("end")})
                                            : workerRecord({QStringLiteral("take"),
                                                            QString::number(nextDocument++)}));
                } else if (kind == QLatin1String("total") && record.size() == 2) {
                    total = std::max(total, record[1].toInt());
                } else if (const auto outcome = Outcome::fromRecord(record)) {
                    if (outcome->folder) {
                        if (foldersNotRead.contains(outcome->source))
                            continue;
                        foldersNotRead.insert(outcome->source);
                    } else if (!worker->held.empty()) {
                        worker->held.pop_front();
                    }
                    all.add(*outcome);
                    clear();
                    printRunLine(outcome->line());
                    report.write(*outcome);
                } else if (kind == QLatin1String("finished") && record.size() == 5) {
                    worker->finished = true;
                    worker->endedBy = record[4];
                }
                draw();
            }
        });
        QObject::connect(process, &QProcess::finished, &loop,
                         [&, worker, i](int code, QProcess::ExitStatus how) {
                             worker->code = how == QProcess::NormalExit ? code : 2;
                             // A worker whose office did not start is started once more,
                             // with a fresh office: it had been handed no document yet.
                             if (worker->code == officeNotStartedStatus && !worker->restarted &&
                                 !passedOn) {
                                 printError(QStringLiteral("worker %1: the office did not start; "
                                                           "starting the worker again")
                                                .arg(i));
                                 worker->process.release()->deleteLater();
                                 start(i);
                                 workers[std::size_t(i - 1)].restarted = true;
                                 return;
                             }
                             if (!worker->ready) {
                                 worker->ready = true;
                                 launchNext();
                             }
                             if (--running == 0)
                                 loop.quit();
                         });
        process->start(program, workerArguments(options));
        if (i <= maxSignalledWorkers)
            workerPids[i - 1] = pid_t(process->processId());
    };
    launchNext = [&] {
        if (launched == options.jobs)
            return;
        if (passedOn) {
            for (; launched < options.jobs; ++launched) {
                workers[std::size_t(launched)].finished = true;
                --running;
            }
            if (running == 0)
                loop.quit();
            return;
        }
        start(++launched);
    };
    launchNext();
    // A stop asked of this process is passed on to the workers.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (stopRequested && !passedOn) {
            passedOn = true;
            for (Worker& worker : workers)
                if (worker.process && worker.process->processId() > 0 &&
                    worker.process->state() != QProcess::NotRunning)
                    ::kill(pid_t(worker.process->processId()), SIGTERM);
        }
    });
    watch.start(100);
    loop.exec();
    clear();
    // A worker that ended before its closing record (it was killed) cost the
    // document it was converting; one it had only been handed is lost too.
    // The run's status follows its documents: a worker's own trouble is said
    // on standard error, and makes the status 2 only when no worker ran to
    // its end.
    int lost = 0, empty = 0, ranToEnd = 0;
    for (std::size_t i = 0; i < workers.size(); ++i) {
        const Worker& worker = workers[i];
        if (!worker.finished)
            lost += int(std::count_if(worker.held.begin(), worker.held.end(),
                                      [&](int document) { return document < total; }));
        if (all.endedBy.isEmpty())
            all.endedBy = worker.endedBy;
        empty += worker.code == noDocumentsStatus;
        ranToEnd += worker.code <= 1 || worker.code == noDocumentsStatus;
        if (worker.code > 1 && worker.code != noDocumentsStatus)
            printError(QStringLiteral("worker %1 ended with status %2%3")
                           .arg(i + 1)
                           .arg(worker.code)
                           .arg(worker.code == officeNotStartedStatus
                                    ? QStringLiteral(": its office did not start")
                                    : QString()));
    }
    if (lost > 0)
        printError(QStringLiteral("a worker ended early: %1 document(s) not converted").arg(lost));
    // A stop counts however early it came, also before a worker had listed
    // a single document.
    if (passedOn)
        all.endedBy = QStringLiteral("stopped");
    if (!all.endedBy.isEmpty())
        all.notConverted = total - all.converted - all.failed - all.unchanged - lost;
    const int outcome = finishRun(all, &report);
    if (report.failed())
        return 2;
    if (empty == options.jobs)
        return noDocumentsStatus;
    if (ranToEnd == 0)
        return 2;
    return std::max(outcome, lost > 0 ? 1 : 0);
}

} // namespace qp::batch
