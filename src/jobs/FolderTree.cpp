#include "FolderTree.h"

#include "desktop/FileList.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace qp {

FolderWalk::FolderWalk(const QString& root, const QString& skip) : root_(root) {
    struct stat info {};
    if (!skip.isEmpty() && ::stat(encodeFileName(skip).constData(), &info) == 0)
        skip_ = {info.st_dev, info.st_ino};
}

QString FolderWalk::next() {
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

QStringList FolderWalk::subfolders(const QString& folder) const {
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

QString targetFolderOf(const QString& folder, const QString& sourceRoot,
                       const QString& targetRoot) {
    return folder == sourceRoot ? targetRoot
                                : joinPath(targetRoot, folder.mid(joinPath(sourceRoot, {}).size()));
}

bool makeFolders(const QString& folder) {
    const QByteArray native = encodeFileName(folder);
    for (qsizetype end = native.indexOf('/', 1);; end = native.indexOf('/', end + 1)) {
        const QByteArray part = end < 0 ? native : native.left(end);
        if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST)
            return false;
        if (end < 0)
            return true;
    }
}

} // namespace qp
