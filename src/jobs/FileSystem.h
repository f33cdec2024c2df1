#pragma once

#include "desktop/Dialogs.h"

#include <QDateTime>
#include <QString>

namespace qp {

// Stateless path-string operations and small file operations. Callers create
// an instance wherever they need one and drop it afterwards.
//
// The path operations are pure string work on the platform's separator ("/"
// here, "\" on Windows, where a drive prefix ending in ":" also ends a file
// name). The file operations never raise: failures either show a message box
// (through the dialog provider given at construction) or are skipped
// silently, as each member says. An instance made without a provider serves
// the path operations; its questions answer Ok and it reports no failure.
//
// Attributes on this platform use the classic values of the attribute table:
//   1  ReadOnly   no write permission for anyone (owner, group, others)
//   2  Hidden     the file's name starts with a dot
//   4  System     never reported: there is no such attribute here
//   8  Volume     never reported
//   16 Directory  the path is a folder
//   32 Archive    never reported: there is no archive bit here
//   64 Alias      the path itself is a symbolic link
// Hidden depends on the name alone, so the Set... members cannot change it
// (they would have to rename the file under the caller's feet); they only set
// or clear the read-only part.
class FileSystem {
public:
    enum Attribute {
        Normal = 0,
        ReadOnly = 1,
        Hidden = 2,
        System = 4,
        Volume = 8,
        Directory = 16,
        Archive = 32,
        Alias = 64,
    };

    FileSystem() = default;
    explicit FileSystem(DialogProvider& dialogs) : dialogs_(&dialogs) {}

    // The folder separator of path strings on this platform.
    static QChar separator();

    // Creates a new empty file with an unpredictable unique name in folder
    // (when it has at least two characters after trimming spaces) or in the
    // system's temporary folder, the name starting with at most the first
    // three characters of prefix. Returns the file's full path. On failure
    // shows the error report ("You have a Problem!") and returns "".
    QString fnGetTempPath(const QString& prefix, const QString& folder);
    // True when the path (file or folder) exists.
    bool FileExist(const QString& path);
    // When a file of that name exists, asks "Overwrite File?" (Yes/No) and on
    // Yes deletes it.
    void Save(const QString& fileName);
    // True when a regular file of that name exists (folders do not count).
    bool FileReal(const QString& name);
    // The size as text: "<n>B" below 1 KiB, then KB and MB with up to four
    // decimals. "0B" when there is no such file.
    QString GetFileSize(const QString& name);
    // The attribute name ("Normal", "ReadOnly", ...) for a single attribute,
    // the decimal value for a combination, "Unknown" when the path is missing.
    QString GetAttrib(const QString& name);
    // Replace the attributes by exactly hidden, read-only, system or none.
    // Only the read-only part can be changed here (see above). Failures are
    // ignored.
    void SetHidden(const QString& fileName);
    void SetReadOnly(const QString& fileName);
    void SetSystem(const QString& fileName);
    void SetNormal(const QString& fileName);
    // The extension without its dot (case kept), looking for the dot among
    // the last five characters only; "Unknown" when there is none there.
    QString GetFileExtension(const QString& fileName);
    // Last-modified date and time in the general date format; "" on failure.
    QString GetFileDate(const QString& fileName);
    // The following show an OK-only message box on failure and return.
    void DeleteFile(const QString& fileName);
    void CopyFile(const QString& source, const QString& target);
    // Copies, then deletes the source; a failed copy leaves the source alone.
    void MoveFile(const QString& source, const QString& target);
    void MakeDIR(const QString& folder);
    void RemoveDIR(const QString& folder);
    // Closes the files the application holds open through this class. Every
    // file the application opens is closed by its owner when it goes out of
    // scope, so there is never anything left to close.
    void CloseAllFiles();
    // The name without its last extension; with keepFolder the folder part
    // stays in front of it.
    QString GetFileBaseName(const QString& name, bool keepFolder);
    // The last path component (empty when the path ends with a separator).
    QString GetFileName(const QString& path);
    // The folder part with its trailing separator; the separator alone for a
    // bare name.
    QString GetPath(const QString& path);

    // Date and time in the general date format of the system's locale: the
    // short date, followed by the time with seconds unless it is midnight.
    static QString generalDate(const QDateTime& when);

private:
    MessageAnswer tell(const QString& text, const QString& title, MessageIcon icon,
                       MessageButtons buttons);
    void showFailure(const QString& text);

    DialogProvider* dialogs_ = nullptr;
};

} // namespace qp
