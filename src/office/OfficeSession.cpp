#include "OfficeSession.h"

#include "OfficeConnection.h"
#include "OfficeInstallation.h"
#include "OfficeProcess.h"
#include "OfficeProfile.h"
#include "OfficeSandbox.h"
#include "automation/AutomationError.h"

#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/uno/RuntimeException.hpp>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace qp::office {

using Clock = std::chrono::steady_clock;

namespace {

struct Job {
    QString what;
    std::function<void(Connection&)> work;
    Clock::time_point queuedAt = Clock::now();
    Clock::time_point startedAt;
    bool started = false;
    bool done = false;
    std::exception_ptr error;
};

struct Worker {
    std::thread thread;
    bool abandoned = false;
    bool finished = false; // its thread is about to end: joining it does not wait
    std::shared_ptr<Job> current;
    // The office this worker started; it dies with the worker's thread.
    std::shared_ptr<OfficeProcess> process;
};

// The office ended under a call: on its own, or by the system's
// out-of-memory killer, whose document is not loaded again.
AutomationError endedError(const QString& what, bool outOfMemory = false) {
    return AutomationError(outOfMemory ? ErrorNumber::OutOfMemory : ErrorNumber::ServerStopped,
                           (outOfMemory
                                ? QStringLiteral("The system ran out of memory and ended the word "
                                                 "processor while %1; it will be restarted for the "
                                                 "next document.")
                                : QStringLiteral("The word processor stopped while %1; it will be "
                                                 "restarted for the next document."))
                               .arg(what),
                           QStringLiteral("Word.Application"));
}

// How many processes the system's out-of-memory killer has ended since it
// started; -1 when it does not say.
long long outOfMemoryKills(const QString& vmstat) {
    QFile file(vmstat);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith("oom_kill "))
            return line.mid(9).trimmed().toLongLong();
    return -1;
}

// The ceiling named by QUILLPG_OFFICE_MEMORY, else the default.
qint64 memoryLimitFromEnvironment() {
    if (qEnvironmentVariableIsEmpty("QUILLPG_OFFICE_MEMORY"))
        return defaultOfficeMemoryLimit();
    const QString text = qEnvironmentVariable("QUILLPG_OFFICE_MEMORY");
    if (const auto limit = parseMemorySize(text))
        return *limit;
    const qint64 limit = defaultOfficeMemoryLimit();
    qWarning("QUILLPG_OFFICE_MEMORY=%s is not a size of at least %s, such as 2G; the office may "
             "use %s",
             qPrintable(text), qPrintable(memorySizeText(minimumOfficeMemoryLimit)),
             qPrintable(memorySizeText(limit)));
    return limit;
}

// The last lines that the office wrote to its log (its standard output and
// error), at most five, control characters left out.
QStringList lastLinesOf(const QString& log) {
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    file.seek(std::max<qint64>(0, file.size() - 4096));
    QStringList lines;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        QString line = QString::fromLocal8Bit(raw);
        line.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
        if (!line.trimmed().isEmpty())
            lines << line.trimmed().left(200);
    }
    return lines.mid(std::max<qsizetype>(0, lines.size() - 5));
}

// Why the office ended while it started: its exit status or signal, and the
// last it wrote.
QString startFailure(const QString& installation, const OfficeProcess& process,
                     const QString& log) {
    QString text =
        process.endSignal() > 0
            ? QStringLiteral("the office in %1 ended at start-up, killed by signal %2 (%3)")
                  .arg(installation)
                  .arg(process.endSignal())
                  .arg(QString::fromLocal8Bit(::strsignal(process.endSignal())))
            : QStringLiteral("the office in %1 ended at start-up with status %2")
                  .arg(installation)
                  .arg(process.exitStatus());
    const QStringList lines = lastLinesOf(log);
    if (!lines.isEmpty())
        text += QStringLiteral("; the last it wrote: %1").arg(lines.join(QStringLiteral(" / ")));
    return text + QStringLiteral(" (see %1)").arg(log);
}

} // namespace

qint64 officeMemoryLimitFromEnvironment() {
    return memoryLimitFromEnvironment();
}

int automaticOfficeCount(qint64 ceiling) {
    const int cores = std::max(1, QThread::idealThreadCount());
    // The memory the machine can give without swapping (MemAvailable).
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    qint64 available = -1;
    if (meminfo.open(QIODevice::ReadOnly))
        for (const QByteArray& line : meminfo.readAll().split('\n'))
            if (line.startsWith("MemAvailable:"))
                available = line.mid(13).trimmed().split(' ').value(0).toLongLong() * 1024;
    if (available <= 0 || ceiling <= 0)
        return cores;
    return int(std::clamp<qint64>(available / ceiling, 1, cores));
}

std::optional<int> parseOfficeCount(const QString& text, qint64 ceiling) {
    if (text == QLatin1String("auto"))
        return automaticOfficeCount(ceiling);
    bool ok = false;
    const int count = text.toInt(&ok);
    if (!ok || count < 1)
        return std::nullopt;
    return count;
}

int officeCountFromEnvironment() {
    const QString jobs = qEnvironmentVariable("QUILLPG_JOBS");
    if (jobs.isEmpty())
        return 1;
    if (const auto count = parseOfficeCount(jobs, memoryLimitFromEnvironment()))
        return *count;
    qWarning("QUILLPG_JOBS=%s is not a whole number above 0 or auto; one document converts at a "
             "time",
             qPrintable(jobs));
    return 1;
}

qint64 defaultOfficeMemoryLimit() {
    const qint64 ceiling = 2LL << 30;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return ceiling;
    return std::clamp(qint64(pages) * pageSize / 4, minimumOfficeMemoryLimit, ceiling);
}

std::optional<qint64> parseMemorySize(const QString& text) {
    static const QRegularExpression size(
        QStringLiteral("^\\s*([0-9]+(?:\\.[0-9]+)?)\\s*(?:([KMGT])(?:i?B)?|B)?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = size.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    double bytes = match.captured(1).toDouble();
    if (const QString unit = match.captured(2).toUpper(); !unit.isEmpty())
        bytes *= std::pow(1024.0, double(QStringLiteral("KMGT").indexOf(unit) + 1));
    if (bytes < double(minimumOfficeMemoryLimit) || bytes > 1e18)
        return std::nullopt;
    return qint64(bytes);
}

QString memorySizeText(qint64 bytes) {
    if (bytes < (1LL << 30))
        return QStringLiteral("%1 MiB").arg(qRound64(double(bytes) / (1 << 20)));
    QString number = QString::number(double(bytes) / (1LL << 30), 'f', 1);
    if (number.endsWith(QLatin1String(".0")))
        number.chop(2);
    return number + QStringLiteral(" GiB");
}

struct OfficeSession::State {
    OfficeOptions options;
    QString installation;

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::shared_ptr<Job>> queue;
    std::shared_ptr<Worker> worker;
    // Workers given up with their office: joined once they are out of the
    // call they were in, at the latest by shutdown().
    std::vector<std::shared_ptr<Worker>> retired;
    bool stopping = false;
    Mode mode = Mode::Start;
    bool mayStart = true; // false while binding in attach mode
    int generation = 0;
    int documentsSinceStart = 0; // documents done since the office was last restarted

    // The office of the current worker, for its process id and memory.
    std::shared_ptr<OfficeProcess> process;

    // The profile slot held while this session lives, or why there is none.
    std::unique_ptr<QLockFile> profileLock;
    QString profileError;
    QString socketPath;

    // Whether the pipe is reached through a socket of this user made by an
    // office that this process started.
    bool pipeIsOurs() const {
        return isPipeOfThisProcess(options.pipeName) && isOwnSocket(socketPath);
    }

    QString connectUrl() const {
        return QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext")
            .arg(options.pipeName);
    }

    std::unique_ptr<Connection> tryConnect() {
        auto resolver = css::bridge::UnoUrlResolver::create(localUnoContext());
        css::uno::Reference<css::uno::XComponentContext> context(
            resolver->resolve(toOUString(connectUrl())), css::uno::UNO_QUERY_THROW);
        auto connection = std::make_unique<Connection>();
        connection->context = context;
        connection->factory = context->getServiceManager();
        connection->detection.set(connection->factory->createInstanceWithContext(
                                      "com.sun.star.document.TypeDetection", context),
                                  css::uno::UNO_QUERY_THROW);
        return connection;
    }

    std::unique_ptr<Connection> attach() {
        if (!pipeIsOurs())
            return nullptr;
        try {
            return tryConnect();
        } catch (const css::connection::NoConnectException&) {
        } catch (const css::uno::RuntimeException&) {
        }
        return nullptr;
    }

    // Starts a headless office with its own profile and waits until it answers.
    std::unique_ptr<Connection> start(Worker& self) {
        const QString program = installation + QStringLiteral("/program/soffice.bin");
        if (options.profileDir.isEmpty())
            throw std::runtime_error(profileError.toStdString());
        QString error;
        if (!prepareProfileDir(options.profileDir, &error))
            throw std::runtime_error(error.toStdString());
        const QString profileUrl = QUrl::fromLocalFile(options.profileDir).toString();
        const QStringList arguments{
            QStringLiteral("-env:UserInstallation=%1").arg(profileUrl),
            QStringLiteral("--headless"),
            QStringLiteral("--invisible"),
            QStringLiteral("--nocrashreport"),
            QStringLiteral("--nodefault"),
            QStringLiteral("--nologo"),
            QStringLiteral("--nofirststartwizard"),
            QStringLiteral("--norestore"),
            QStringLiteral("--nolockcheck"),
            QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext")
                .arg(options.pipeName)};
        const QString log = options.profileDir + QStringLiteral(".log");
        auto officeProcess = std::make_shared<OfficeProcess>();
        std::shared_ptr<OfficeProcess> previous;
        {
            std::lock_guard lock(mutex);
            previous = std::exchange(self.process, officeProcess);
            process = officeProcess;
        }
        if (previous)
            previous->stop();
        OfficeLaunch launch;
        launch.pipeName = options.pipeName;
        launch.socketPath = socketPath;
        launch.instanceSocketPath = singleInstanceSocketPath(profileUrl);
        launch.tempDir = officeTempDir(options.pipeName);
        launch.readable = officeReadableFolders(installation);
        QDir().mkpath(userFontCacheDir());
        launch.writable = QStringList{options.profileDir, userFontCacheDir()};
        // Told before each start that its version has run in this profile,
        // the office skips its graphics self-test. Without the record it
        // merely starts slower.
        const QString version = installedOfficeVersion(installation);
        auto launchOffice = [&] {
            QString ignored;
            if (!version.isEmpty())
                recordOfficeVersion(options.profileDir, version, &ignored);
            officeProcess->start(program, arguments, log, launch);
        };
        launchOffice();
        const auto deadline = Clock::now() + std::chrono::milliseconds(options.startTimeoutMs);
        int restarts = 0;
        while (Clock::now() < deadline) {
            if (isStopping()) {
                officeProcess->stop();
                throw std::runtime_error("the office was shut down while it started");
            }
            if (!officeProcess->running()) {
                // A new profile makes the office exit once with status 81 and
                // ask to be started again.
                if (officeProcess->exitStatus() == 81 && restarts++ < 2) {
                    launchOffice();
                    continue;
                }
                throw std::runtime_error(
                    startFailure(installation, *officeProcess, log).toLocal8Bit().toStdString());
            }
            // Until the office has made its socket there is nothing to try;
            // a socket that is not this user's is never spoken to.
            if (QFileInfo(socketPath).isSymLink() ||
                (QFileInfo::exists(socketPath) && !isOwnSocket(socketPath)))
                throw std::runtime_error(
                    QStringLiteral("the pipe %1 is not this user's").arg(socketPath).toStdString());
            if (auto connection = attach()) {
                noteInstanceSocket(options.pipeName, launch.instanceSocketPath);
                connection->process = officeProcess;
                return connection;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        officeProcess->stop();
        throw std::runtime_error(QStringLiteral("the office did not answer within %1 s")
                                     .arg(options.startTimeoutMs / 1000)
                                     .toStdString());
    }

    bool isStopping() {
        std::lock_guard lock(mutex);
        return stopping;
    }

    std::unique_ptr<Connection> connect(Worker& self) {
        if (installation.isEmpty())
            throw std::runtime_error("no office installation was found");
        QString error;
        if (!bootstrapUno(installation, &error))
            throw std::runtime_error(error.toStdString());
        Mode currentMode;
        bool startAllowed;
        {
            std::lock_guard lock(mutex);
            currentMode = mode;
            startAllowed = mayStart;
        }
        std::unique_ptr<Connection> connection;
        // An office of this process that is still settling may refuse a
        // second connection for a moment.
        for (int attempt = 0; currentMode == Mode::Attach && !connection && attempt < 3 &&
                              (attempt == 0 || pipeIsOurs());
             ++attempt) {
            if (attempt > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            connection = attach();
        }
        if (!connection) {
            if (!startAllowed)
                throw std::runtime_error(
                    QStringLiteral("no office started by this program listens on the pipe %1")
                        .arg(options.pipeName)
                        .toStdString());
            try {
                connection = start(self);
            } catch (const std::runtime_error&) {
                // A profile left damaged by an office that was killed keeps
                // every later one from starting: begin once more without it.
                // Only when the office ended on its own: an office ended by a
                // shutdown says nothing about its profile.
                std::shared_ptr<OfficeProcess> failed;
                {
                    std::lock_guard lock(mutex);
                    failed = self.process;
                }
                const bool endedOnItsOwn = failed && !failed->running() && !failed->stopRequested();
                if (isStopping() || !endedOnItsOwn || options.profileDir.isEmpty())
                    throw;
                QDir(options.profileDir).removeRecursively();
                connection = start(self);
            }
        }
        connection->inputDir = officeInputDir(options.pipeName);
        connection->outputDir = officeOutputDir(options.pipeName);
        std::lock_guard lock(mutex);
        connection->generation = ++generation;
        return connection;
    }

    // The office is gone, or going. One that crashed costs the call, which
    // may be tried again; one that the system's out-of-memory killer ended
    // while the call ran (a kill not sent by this program, while the system
    // counted one more such kill) took too much for that call, which is not
    // tried again. `oomKillsAtStart` is that count when the call started.
    AutomationError lose(Connection* connection, const QString& what, long long oomKillsAtStart) {
        if (!connection)
            return endedError(what);
        connection->lost = true;
        const std::shared_ptr<OfficeProcess> officeProcess = connection->process;
        if (!officeProcess)
            return endedError(what);
        // An office whose pipe broke is on its way out: how it ends says why.
        for (int wait = 0; wait < 25 && officeProcess->running(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const bool killed = !officeProcess->running() && officeProcess->endSignal() == SIGKILL &&
                            !officeProcess->stopRequested();
        officeProcess->stop();
        return endedError(what, killed && oomKillsAtStart >= 0 &&
                                    outOfMemoryKills(options.vmstatFile) > oomKillsAtStart);
    }

    // Turns whatever a job raised into the error its caller sees, and notes
    // when the connection is gone.
    std::exception_ptr translate(std::exception_ptr raised, Connection* connection,
                                 const QString& what, long long oomKillsAtStart) {
        try {
            std::rethrow_exception(raised);
        } catch (const AutomationError&) {
            return raised;
        } catch (const css::lang::DisposedException&) {
            return std::make_exception_ptr(lose(connection, what, oomKillsAtStart));
        } catch (const css::uno::RuntimeException& e) {
            // A runtime failure with the office gone means the office stopped;
            // with the office alive it is the office's own complaint.
            if (!connection || !connection->process || !connection->process->running())
                return std::make_exception_ptr(lose(connection, what, oomKillsAtStart));
            return std::make_exception_ptr(
                AutomationError(ErrorNumber::ServerFailure,
                                QStringLiteral("The word processor failed while %1: %2")
                                    .arg(what, toQString(e.Message)),
                                QStringLiteral("Word.Application")));
        } catch (const css::uno::Exception& e) {
            return std::make_exception_ptr(
                AutomationError(ErrorNumber::ServerFailure,
                                QStringLiteral("The word processor failed while %1: %2")
                                    .arg(what, toQString(e.Message)),
                                QStringLiteral("Word.Application")));
        } catch (const std::exception& e) {
            return std::make_exception_ptr(
                AutomationError(ErrorNumber::ServerFailure,
                                QStringLiteral("The word processor failed while %1: %2")
                                    .arg(what, QString::fromLocal8Bit(e.what())),
                                QStringLiteral("Word.Application")));
        }
        return raised;
    }

    static void workerMain(std::shared_ptr<State> state, std::shared_ptr<Worker> self) {
        std::unique_ptr<Connection> connection;
        while (true) {
            std::shared_ptr<Job> job;
            {
                std::unique_lock lock(state->mutex);
                state->changed.wait(lock, [&] {
                    return self->abandoned || state->stopping || !state->queue.empty();
                });
                if (self->abandoned || state->stopping)
                    break;
                job = state->queue.front();
                state->queue.pop_front();
                self->current = job;
            }
            std::exception_ptr error;
            long long oomKillsAtStart = -1;
            try {
                if (connection && connection->lost)
                    connection.reset();
                if (!connection) {
                    try {
                        connection = state->connect(*self);
                    } catch (const std::exception& e) {
                        throw AutomationError(
                            ErrorNumber::CannotCreateObject,
                            QStringLiteral("The word processor could not be started: %1")
                                .arg(QString::fromLocal8Bit(e.what())),
                            QStringLiteral("Word.Application"));
                    } catch (const css::uno::Exception& e) {
                        throw AutomationError(
                            ErrorNumber::CannotCreateObject,
                            QStringLiteral("The word processor could not be started: %1")
                                .arg(toQString(e.Message)),
                            QStringLiteral("Word.Application"));
                    }
                }
                {
                    // Its caller's deadline now counts from here: the
                    // notification below wakes it to wait anew.
                    std::lock_guard lock(state->mutex);
                    job->started = true;
                    job->startedAt = Clock::now();
                }
                state->changed.notify_all();
                oomKillsAtStart = outOfMemoryKills(state->options.vmstatFile);
                job->work(*connection);
            } catch (...) {
                error = state->translate(std::current_exception(), connection.get(), job->what,
                                         oomKillsAtStart);
            }
            {
                // The job and its result go to the caller whole: this thread
                // keeps no reference once the caller may see it done.
                std::lock_guard lock(state->mutex);
                self->current.reset();
                job->done = true;
                job->error = std::move(error);
                job.reset();
            }
            state->changed.notify_all();
        }
        // UNO references are released on the thread that used them.
        connection.reset();
        std::lock_guard lock(state->mutex);
        self->finished = true;
    }

    // Needs the lock.
    void ensureWorker(const std::shared_ptr<State>& self) {
        if (worker)
            return;
        joinFinishedWorkers();
        worker = std::make_shared<Worker>();
        worker->thread = std::thread(&State::workerMain, self, worker);
    }

    // Needs the lock. Joins the given-up workers whose threads have ended.
    void joinFinishedWorkers() {
        for (auto& old : retired)
            if (old->finished && old->thread.joinable())
                old->thread.join();
        std::erase_if(retired, [](const auto& old) { return !old->thread.joinable(); });
    }

    // Needs the lock. The worker may be stuck in a call on a dead office: a
    // new one takes over the queue at once, and the old one is joined once
    // that call has failed.
    void abandonWorker(const std::shared_ptr<State>& self) {
        if (!worker)
            return;
        worker->abandoned = true;
        retired.push_back(std::move(worker));
        worker.reset();
        if (!queue.empty())
            ensureWorker(self);
        changed.notify_all();
    }
};

OfficeSession::OfficeSession(OfficeOptions options) : state_(std::make_shared<State>()) {
    removeLitterOfDeadRuns();
    if (options.pipeName.isEmpty())
        options.pipeName = randomPipeName();
    if (options.profileDir.isEmpty())
        state_->profileLock =
            claimProfile(QStringLiteral("session"), &options.profileDir, &state_->profileError);
    state_->socketPath = pipeSocketPath(options.pipeName);
    state_->installation =
        options.installation.isEmpty() ? findInstallation() : options.installation;
    if (options.memoryLimitBytes <= 0)
        options.memoryLimitBytes = memoryLimitFromEnvironment();
    state_->options = std::move(options);
}

OfficeSession::~OfficeSession() {
    shutdown();
}

const OfficeOptions& OfficeSession::options() const {
    return state_->options;
}

void OfficeSession::setCallTimeout(int milliseconds) {
    std::lock_guard lock(state_->mutex);
    state_->options.callTimeoutMs = milliseconds;
}

void OfficeSession::setMemoryLimit(qint64 bytes) {
    std::lock_guard lock(state_->mutex);
    state_->options.memoryLimitBytes = bytes;
}

void OfficeSession::bind(Mode mode) {
    {
        std::lock_guard lock(state_->mutex);
        state_->mode = mode;
        state_->mayStart = mode == Mode::Start;
    }
    try {
        run(QStringLiteral("starting"), [](Connection&) {});
    } catch (const AutomationError& error) {
        std::lock_guard lock(state_->mutex);
        state_->mayStart = true;
        throw AutomationError(ErrorNumber::CannotCreateObject, error.description(), error.source());
    }
    std::lock_guard lock(state_->mutex);
    state_->mayStart = true;
}

void OfficeSession::run(const QString& what, std::function<void(Connection&)> work) {
    auto job = std::make_shared<Job>();
    job->what = what;
    job->work = std::move(work);
    State& state = *state_;
    {
        std::lock_guard lock(state.mutex);
        if (state.stopping)
            throw AutomationError(ErrorNumber::ServerUnavailable,
                                  QStringLiteral("The word processor has been shut down"));
        state.ensureWorker(state_);
        state.queue.push_back(job);
    }
    state.changed.notify_all();

    // When the job runs out of time: measured from its start, or, while it
    // waits behind others, from its queuing. Needs the lock.
    auto deadline = [&] {
        const auto callLimit = std::chrono::milliseconds(state.options.callTimeoutMs);
        const auto startLimit = std::chrono::milliseconds(state.options.startTimeoutMs);
        return job->started ? job->startedAt + callLimit : job->queuedAt + callLimit + startLimit;
    };

    // Waits until the job is done, runs out of time, or its office outgrows
    // its memory ceiling: while the job runs, the office's memory is looked
    // at every 100 ms. `sleepUntil` returns early when the job starts or ends.
    enum class End { Done, OutOfTime, OutOfMemory };
    auto watch = [&](const std::function<void(Clock::time_point, bool)>& sleepUntil) {
        while (true) {
            Clock::time_point wake;
            bool started;
            std::shared_ptr<OfficeProcess> office;
            qint64 limit;
            {
                std::lock_guard lock(state.mutex);
                if (job->done)
                    return End::Done;
                const auto now = Clock::now();
                wake = deadline();
                if (now >= wake)
                    return End::OutOfTime;
                started = job->started;
                if (started && state.worker) {
                    office = state.worker->process;
                    wake = std::min(wake, now + std::chrono::milliseconds(100));
                }
                limit = state.options.memoryLimitBytes;
            }
            if (office && office->residentBytes() > limit)
                return End::OutOfMemory;
            sleepUntil(wake, started);
        }
    };

    // The caller's thread waits: conversions run on threads of their own,
    // so a window's thread waits here only while it binds the office.
    const End end = watch([&](Clock::time_point wake, bool started) {
        std::unique_lock lock(state.mutex);
        state.changed.wait_until(lock, wake, [&] { return job->done || job->started != started; });
    });

    if (end != End::Done) {
        std::shared_ptr<OfficeProcess> stuck;
        qint64 ceiling;
        {
            std::lock_guard lock(state.mutex);
            ceiling = state.options.memoryLimitBytes;
            // Whether stuck in this job or in one before it, the office thread
            // is given up and the office ended; a fresh one serves the rest.
            std::erase(state.queue, job);
            stuck = state.worker ? state.worker->process : nullptr;
            state.abandonWorker(state_);
        }
        if (stuck)
            stuck->stop();
        if (end == End::OutOfMemory)
            throw AutomationError(
                ErrorNumber::OutOfMemory,
                QStringLiteral("The word processor used more than %1 of memory while %2; it was "
                               "stopped and will be restarted for the next document.")
                    .arg(memorySizeText(ceiling), what),
                QStringLiteral("Word.Application"));
        throw AutomationError(
            ErrorNumber::Timeout,
            QStringLiteral("The word processor did not answer within %1 s while %2; it "
                           "was stopped and will be restarted for the next document.")
                .arg(state.options.callTimeoutMs / 1000.0)
                .arg(what),
            QStringLiteral("Word.Application"));
    }
    if (job->error)
        std::rethrow_exception(job->error);
}

void OfficeSession::restart() {
    std::shared_ptr<OfficeProcess> office;
    {
        std::lock_guard lock(state_->mutex);
        office = state_->worker ? state_->worker->process : nullptr;
        state_->abandonWorker(state_);
    }
    if (office)
        office->stop();
}

void OfficeSession::documentDone() {
    qint64 above;
    {
        std::lock_guard lock(state_->mutex);
        const OfficeOptions& options = state_->options;
        if (options.restartAfterDocuments > 0 &&
            ++state_->documentsSinceStart >= options.restartAfterDocuments) {
            above = 0;
        } else if (options.restartAboveBytes > 0) {
            above = std::min(options.restartAboveBytes, options.memoryLimitBytes / 4 * 3);
        } else {
            return;
        }
    }
    if (above > 0 && officeResidentBytes() <= above)
        return;
    {
        std::lock_guard lock(state_->mutex);
        state_->documentsSinceStart = 0;
    }
    restart();
}

void OfficeSession::shutdown() {
    std::shared_ptr<Worker> worker;
    std::shared_ptr<OfficeProcess> office;
    std::vector<std::shared_ptr<Worker>> retired;
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        worker = std::move(state_->worker);
        office = worker ? worker->process : nullptr;
        retired = std::move(state_->retired);
        for (auto& job : state_->queue) {
            job->error = std::make_exception_ptr(
                AutomationError(ErrorNumber::ServerUnavailable,
                                QStringLiteral("The word processor has been shut down")));
            job->done = true;
        }
        state_->queue.clear();
    }
    state_->changed.notify_all();
    // Ending the office first frees a worker that waits on it.
    // The office keeps nothing worth a polite ending: its profile is private
    // and every document was opened read-only.
    if (office)
        office->stop();
    if (worker && worker->thread.joinable())
        worker->thread.join();
    // Their offices were ended when they were given up; their calls fail.
    for (auto& old : retired)
        if (old->thread.joinable())
            old->thread.join();
}

long long OfficeSession::officePid() const {
    std::shared_ptr<OfficeProcess> office;
    {
        std::lock_guard lock(state_->mutex);
        office = state_->process;
    }
    return office && office->running() ? office->pid() : -1;
}

long long OfficeSession::officeResidentBytes() const {
    std::shared_ptr<OfficeProcess> office;
    {
        std::lock_guard lock(state_->mutex);
        office = state_->process;
    }
    return office ? office->residentBytes() : 0;
}

bool OfficeSession::officeNetworkIsolated() const {
    std::lock_guard lock(state_->mutex);
    return state_->process && state_->process->networkIsolated();
}

bool OfficeSession::officeInternetBlocked() const {
    std::lock_guard lock(state_->mutex);
    return state_->process && state_->process->internetBlocked();
}

QString OfficeSession::officeUnconfinedReason() const {
    std::lock_guard lock(state_->mutex);
    return state_->process ? state_->process->unconfinedReason() : QString();
}

int OfficeSession::generation() const {
    std::lock_guard lock(state_->mutex);
    return state_->generation;
}

void OfficeSession::killOfficeForTesting() {
    const long long pid = officePid();
    if (pid > 0)
        ::kill(pid_t(pid), SIGKILL);
}

} // namespace qp::office
