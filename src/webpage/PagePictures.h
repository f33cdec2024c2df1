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

// Where the office read a document and wrote its page, computing its links
// for the folder where the page will lie.
struct PagePlaces {
    QString pageFolder;    // where the page will lie
    QString writtenFolder; // where the office wrote the page and its pictures
    QString mirrorFolder;  // where it read the document: a path below it stands
                           // for the same path from the root
};

// The same for a page that the office wrote elsewhere than where it will
// lie, from a copy of its document: a link to a file in the written folder is
// made one to the same file beside the page, a link into the mirror folder
// one to the file it stands for, and the mirror folder's path in the text
// goes. Links are then checked as above.
PagePictures keepPicturesInFolder(const QByteArray& page, const PagePlaces& places);

// Applies keepPicturesInFolder to the page file in place (replacing it
// whole) and returns the warnings. Without places the page lies in its own
// folder.
QStringList keepPicturesInFolderOfFile(const QString& pagePath, const PagePlaces& places = {});

} // namespace qp
