#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>
#include <utility>
#include <vector>

namespace qp {

// The folders of a tree, depth first: each folder before its subfolders,
// subfolders in the order in which FileList lists files. Hidden folders,
// symbolic links to folders and the folder `skip` (a target folder inside the
// source) are left out. Only the subfolders still to come of the folders on
// the way down are held, so memory does not grow with the tree.
class FolderWalk {
public:
    FolderWalk(const QString& root, const QString& skip);

    // The next folder's path; empty after the last one. Each path starts with
    // the root as given.
    QString next();

private:
    // The subfolders of a folder, the last one first.
    QStringList subfolders(const QString& folder) const;

    QString root_;
    std::vector<QStringList> pending_;
    std::pair<dev_t, ino_t> skip_{0, 0};
};

// Where the pages of a folder of the source tree go: the same place below
// the target folder.
QString targetFolderOf(const QString& folder, const QString& sourceRoot, const QString& targetRoot);

// Makes the folder and those above it that are missing; false when one
// cannot be made.
bool makeFolders(const QString& folder);

} // namespace qp
