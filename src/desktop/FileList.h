#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qp {

// A folder enumerator that stands in for a file-list control: the files of
// one folder (no subfolders, no hidden files), sorted by name ignoring case.
// Callers set the folder, read the count, select an entry by index and read
// the folder path and the selected file name.
//
// Every entry that is not a folder is listed, also one that cannot be
// converted (a FIFO, a socket, a device, a dangling link, a link loop, a link
// leading out of the folder): such an entry carries the reason, so that a
// batch reports it rather than skipping it without a word. The listing only
// looks at entries (lstat, stat, realpath), never opens one: opening a FIFO
// would wait for a writer forever. Folders, and links to folders, are left
// out.
//
// File names are bytes. A name that is not valid UTF-8 is listed all the same:
// see decodeFileName for how its bytes travel in a QString.
class FileList {
public:
    // Lists the folder. Raises an AutomationError naming the folder when it
    // cannot be listed (PathNotFound when it is not there, PermissionDenied
    // with the system's reason when it cannot be read); the list is then
    // empty.
    void setPath(const QString& folder);
    // Why the last listing failed: "cannot be read: Permission denied";
    // empty after one that worked.
    QString folderProblem() const { return folderProblem_; }
    // The folder as set, with a trailing separator only for the root folder.
    QString path() const { return path_; }
    int listCount() const { return int(files_.size()); }
    // Selects entry index (0-based); out of range raises InvalidArgument.
    void setListIndex(int index);
    int listIndex() const { return index_; }
    // The selected file's name without folder, empty when none is selected.
    QString fileName() const;
    // Why the selected entry cannot be converted ("not a regular file (a
    // FIFO)", "the link leads outside the source folder (TARGET)"); empty for
    // a regular file.
    QString fileProblem() const;

    // Where the files that symbolic links lead to may lie, all links
    // resolved: in `root` or below it (empty: the listed folder itself, the
    // default), or anywhere. Holds for every later listing.
    void setLinkScope(const QString& root, bool anywhere);

private:
    struct Entry {
        QString name;
        QString problem;
    };
    QString path_;
    QList<Entry> files_;
    int index_ = -1;
    QString folderProblem_;
    QString linkRoot_;
    bool linksAnywhere_ = false;
};

// The full path of a file in a folder: a separator goes between them unless
// the folder already ends with one (the root folder "/").
QString joinPath(const QString& folder, const QString& name);

// A file name's bytes as a QString: valid UTF-8 is decoded; every other byte
// becomes the lone surrogate U+DC80 + (byte - 0x80), which no valid UTF-8
// text can produce, so encodeFileName gives back the very same bytes.
QString decodeFileName(const QByteArray& bytes);
QByteArray encodeFileName(const QString& name);
// The path with every link resolved (realpath); empty when it cannot be
// resolved.
QByteArray resolvedPath(const QByteArray& path);
// Whether the name holds bytes that are not valid UTF-8. Qt's own file
// classes cannot reach such a file: use encodeFileName and the system calls.
bool hasRawBytes(const QString& name);
// The name with every raw byte written as "%XX": a name that any program,
// the word processor included, can be given.
QString portableFileName(const QString& name);

} // namespace qp
