#pragma once

#include <QByteArray>
#include <QString>

namespace qp {

// Makes a page appear whole or not at all. The word processor saves the page
// and its pictures into a private folder with an unpredictable name inside
// the target folder (so on the same file system); once the save has returned
// and every file it wrote is non-empty, each file is renamed into the target
// folder (an atomic replace), the pictures first and the page last. Whatever
// happens, the private folder is emptied when this object goes, and with it
// goes anything the word processor left there (lock files, half-written
// files).
//
// Making and removing a folder costs more than the rest of the safe save on
// many file systems, so an emptied folder is kept for the next document of
// the same target folder until the job ends (releaseAll).
class PageStaging {
public:
    // Creates the private folder. Raises an AutomationError when it cannot:
    // PathNotFound, PermissionDenied or DiskFull ("No space left on the
    // device").
    explicit PageStaging(const QString& targetFolder);
    ~PageStaging();
    PageStaging(const PageStaging&) = delete;
    PageStaging& operator=(const PageStaging&) = delete;

    QString folder() const { return folder_; }
    // Where the word processor is to save the page that will be named
    // pageName in the target folder.
    QString stagedPage(const QString& pageName) const;
    // A link in the private folder, under a name any program can be given,
    // to a document whose own name cannot be (see hasRawBytes). Returns the
    // link's file name; the link is never moved into the target folder.
    QString linkDocument(const QString& document);
    // Moves the page and the pictures the save wrote into the target folder,
    // the page as pageName. Raises an AutomationError, leaving the target
    // folder as it was, when the page is missing or a file is empty or the
    // file system ran out of space. Returns the bytes of the files moved.
    qint64 commit(const QString& pageName);
    // Whether the file system of the target folder has no space left (or
    // less than a megabyte): asked after a save failed or wrote nothing.
    bool diskFull() const;

    // The folder where a page saved into `folder` will be published: the
    // target folder of a staging folder of this process, else the folder
    // itself. The word processor computes the page's links for it.
    static QString publishedFolderOf(const QString& folder);

    // Removes the kept folders: at the end of every job.
    static void releaseAll();
    // Removes every staging folder of this process, also those in use: when
    // the program ends in the middle of a job.
    static void discardAll();
    // The same from a signal handler: only calls that are safe there.
    static void discardAllFromSignal();

private:
    QByteArray nativeTarget_;
    QString target_;
    QString folder_;
    QByteArray nativeFolder_;
    QString link_;
    bool empty_ = false; // nothing is left in the folder after the commit
};

} // namespace qp
