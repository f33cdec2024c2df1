#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qp {

// What became of the pictures of one saved web page.
struct PagePictures {
    QByteArray page;      // the page, with every picture link that left its folder removed
    QStringList warnings; // "picture not found: ..." for each one removed
    bool changed = false;
};

// Checks the picture links of a web page (img src, background) that lies in
// pageFolder. A link to the web or to a file in the page's folder or below is
// kept as it is; a local link that leaves the folder (an absolute path, a
// drive path such as C:\..., a file URL, or a relative path that climbs out)
// is removed, since it shows nothing once the page is published and tells
// where the source lived. Only the attribute's value is touched; the rest of
// the page stays byte for byte as the office wrote it.
PagePictures keepPicturesInFolder(const QByteArray& page, const QString& pageFolder);

// Applies keepPicturesInFolder to the page file in place (replacing it
// whole) and returns the warnings.
QStringList keepPicturesInFolderOfFile(const QString& pagePath);

} // namespace qp
