#include "BatchReport.h"

#include "ConsoleText.h"
#include "desktop/FileList.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qp::batch {

QString printedLine(const Outcome& outcome) {
    switch (outcome.status) {
    case Outcome::Status::Converted:
        return convertedLine(outcome.source, outcome.page, outcome.warnings);
    case Outcome::Status::Failed:
        return failedLine(outcome.source, outcome.reason);
    case Outcome::Status::Unchanged:
        return QStringLiteral("Unchanged %1 -> %2")
            .arg(escapedName(outcome.source), escapedName(outcome.page));
    }
    return {};
}

ReportWriter::~ReportWriter() {
    if (ownsFd_)
        ::close(fd_);
    if (!partial_.isEmpty())
        ::unlink(partial_.constData());
}

bool ReportWriter::open(const QString& path, QString* error) {
    if (path.isEmpty())
        return true;
    if (path == QLatin1String("-")) {
        fd_ = STDOUT_FILENO;
        shown_ = QStringLiteral("on standard output");
        return true;
    }
    shown_ = escapedName(path);
    const QByteArray native = encodeFileName(path);
    auto refuse = [&](int number) {
        *error = QStringLiteral("the report %1 cannot be written: %2")
                     .arg(shown_, QString::fromLocal8Bit(std::strerror(number)));
        return false;
    };
    struct stat info {};
    if (::stat(native.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        // A device, a FIFO or a pipe of a process substitution: written to
        // as it is, never replaced.
        fd_ = ::open(native.constData(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0)
            return refuse(errno);
        ownsFd_ = true;
        return true;
    }
    // A link to a report is followed: the link stays, its file is replaced.
    const QByteArray real = resolvedPath(native);
    destination_ = real.isEmpty() ? native : real;
    const QByteArray partial = destination_ + ".partial";
    struct stat beside {};
    if (::lstat(partial.constData(), &beside) == 0 && !S_ISREG(beside.st_mode))
        return refuse(EEXIST);
    fd_ = ::open(partial.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0)
        return refuse(errno);
    ownsFd_ = true;
    partial_ = partial;
    return true;
}

void ReportWriter::write(const Outcome& outcome) {
    if (fd_ < 0)
        return;
    writeLine(JobReport::outcomeLine(outcome));
}

void ReportWriter::close(const RunCounts& counts) {
    if (fd_ < 0)
        return;
    writeLine(JobReport::closingLine(counts));
    if (!ownsFd_)
        return;
    if (!partial_.isEmpty() && !failed_ && ::fsync(fd_) != 0)
        fail(errno);
    if (::close(fd_) != 0 && !failed_)
        fail(errno);
    ownsFd_ = false;
    fd_ = -1;
    // Only a complete report takes the place of the earlier one.
    if (!partial_.isEmpty() && !failed_ &&
        ::rename(partial_.constData(), destination_.constData()) != 0)
        fail(errno);
    if (!failed_)
        partial_.clear();
}

void ReportWriter::writeLine(const QByteArray& line) {
    if (fd_ < 0 || failed_)
        return;
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t wrote = ::write(fd_, line.constData() + done, size_t(line.size() - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            fail(wrote < 0 ? errno : EIO);
            return;
        }
        done += wrote;
    }
}

void ReportWriter::fail(int error) {
    if (failed_)
        return;
    failed_ = true;
    std::fprintf(stderr, "quillpg-batch: the report %s could not be written: %s\n",
                 qPrintable(shown_), std::strerror(error));
}

} // namespace qp::batch
