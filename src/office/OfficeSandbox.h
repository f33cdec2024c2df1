#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <functional>
#include <memory>

class QLockFile;

namespace qp::office {

// The office parses documents from anywhere, so each office is walled in:
// a pipe only this process knows, a private temporary folder, no internet
// sockets and, where the system allows it, no network at all.

// A pipe name nobody can guess: "quillpg-<this process id>-<128 random bits
// in hex>". The process id lets a later run tell what a dead run left.
QString randomPipeName();

// The socket through which the office's pipe of that name is reached; the
// office's runtime makes it in /tmp (or /var/tmp when /tmp cannot be written).
QString pipeSocketPath(const QString& pipeName);

// The socket through which an office hands a second start with the same
// profile over to the first; the office names it after its profile's address
// and leaves it behind when it is killed.
QString singleInstanceSocketPath(const QString& profileUrl);

// The single-instance socket's name holds no process id, so a run that is
// killed outright would leave it for good. Once an office answers, its socket
// is noted beside its private folder (where the office cannot write), and a
// later run removes the sockets that dead runs noted.
void noteInstanceSocket(const QString& pipeName, const QString& socketPath);
void forgetInstanceSocket(const QString& pipeName);

// What each running office of this process would leave if the process
// ended at once, kept where a signal handler can reach it: the office's
// process, its private folder, its instance note and its sockets (those of
// this user only are removed). keepOfficeLeftovers returns a slot for
// forgetOfficeLeftovers, or -1 when none is free.
int keepOfficeLeftovers(pid_t office, const QString& pipeName, const QString& tempDir,
                        const QStringList& sockets);
void forgetOfficeLeftovers(int slot);
// From a signal handler, just before the process ends: kills every office
// kept so, waits (a few seconds at most) until each has ended, then removes
// what it leaves. A program killed outright leaves these to its next run.
void endOfficesFromSignal();
// True once that has begun: no office is started any more.
bool officesAreEnding();

// True when the path is a socket owned by this user.
bool isOwnSocket(const QString& path);

// The private folder of the office on that pipe, removed when it ends. It
// holds the office's temporary files (TMPDIR), the documents handed to it
// (which it may only read) and the pages it writes (its output folder).
QString officeTempDir(const QString& pipeName);
QString officeScratchDir(const QString& pipeName);
QString officeInputDir(const QString& pipeName);
QString officeOutputDir(const QString& pipeName);

// The socket folders in which the office makes its pipes.
QStringList socketFolders();

// What an office needs to read to run: its installation, the system's
// programs and libraries, the files of the system's configuration and of what
// the kernel tells that it reads, the system's and the user's fonts and font
// caches. Folders and single files.
QStringList officeReadableFolders(const QString& installation);

// The user's font cache, which the office may also write: without it every
// office would scan all fonts anew at its start, which takes seconds.
QString userFontCacheDir();

// The highest Landlock version the kernel offers, 0 when none; `reason` then
// says why.
int landlockVersion(QString* reason = nullptr);

// Where this process says that an office it started is not confined to the
// files it converts: the kernel has no Landlock, or it refused the office's
// rules. The first office started unconfined calls the handler, with the
// reason, on the thread that started it; later ones do not, so it is said once
// per process. Set before the first office starts.
void setUnconfinedNotice(std::function<void(const QString& reason)> notice);
// Called by the start of an office that is not confined.
void noteUnconfined(const QString& reason);

// Pipes on which an office started by this process listens: get-object
// answers only through them.
void notePipeOfThisProcess(const QString& pipeName, bool listening);
bool isPipeOfThisProcess(const QString& pipeName);

// Removes the pipe sockets and temporary folders that runs of this user left
// when they were killed (their process no longer exists). Runs once per process.
void removeLitterOfDeadRuns();

// Claims the first free office profile slot "<cache>/quillpg/office/<kind>-N"
// for as long as the returned lock lives. Returns null with a message naming
// the folder when the profile folder cannot be used.
std::unique_ptr<QLockFile> claimProfile(const QString& kind, QString* profileDir, QString* error);

// Makes the profile folder ready: whatever is in its place that is not a
// folder (a file, a symbolic link, dangling or not) is replaced by an empty
// folder. Returns false with a message naming the folder when it cannot be made.
bool prepareProfileDir(const QString& dir, QString* error);

} // namespace qp::office
