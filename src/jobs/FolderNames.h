#pragma once

#include <QString>

#include <functional>

namespace qp {

// How the file system of a target folder compares and limits the names of
// the files in it, as far as a private file written into it can tell.
struct FolderNames {
    // Whether it takes "Report.htm" and "report.htm" for the same file (vfat,
    // exFAT, most Samba shares, ext4 and f2fs folders with casefold). Such
    // names are then compared by Unicode case folding. What a probe cannot
    // see: whether the file system also takes differently composed forms of
    // a letter for one name ("é" as one character or as "e" and an accent,
    // as some file systems do), and letters it folds otherwise than Unicode
    // does (the Turkish dotted and dotless i): those are compared as
    // different names.
    bool ignoresCase = false;
    // The longest name of a file it takes, in bytes (NAME_MAX).
    qint64 longestName = 255;

    // The name as the file system compares it.
    QString key(const QString& name) const { return ignoresCase ? name.toCaseFolded() : name; }
};

// Examines the folder or, while it does not exist yet, the nearest folder
// above it, whose ways a folder made in it takes: creates a private file
// there, looks it up with its case changed and removes it again. Raises an
// AutomationError when no file can be created there: PermissionDenied "The
// target folder F cannot be written: REASON", or "The target folder F is not
// a folder".
FolderNames examineFolder(const QString& folder);

// The longest file name the file system of the folder (or of the nearest
// folder above it that exists) takes, in bytes; 255 when it does not say.
qint64 longestFileName(const QString& folder);

// What examines a target folder: examineFolder, or a stand-in in tests for
// file systems the machine cannot mount.
using FolderProbe = std::function<FolderNames(const QString& folder)>;

} // namespace qp
