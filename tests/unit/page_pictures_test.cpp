#include "TestFiles.h"
#include "automation/AutomationError.h"
#include "webpage/PagePictures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qp;
using namespace qp::test;

namespace {

const QString folder = QStringLiteral("/pages/out");

PagePictures check(const QByteArray& page) {
    return keepPicturesInFolder(page, folder);
}

TEST(PagePictures, linksThatLeaveThePageFolderAreRemovedAndReported) {
    const QByteArray page =
        "<p><img src=\"/C:/Documents/Pictures/photo.png\" name=\"Image1\" width=\"76\"/>\n"
        "<img src=\"../C:%5CDocuments%5CPictures%5Clogo.png\" name=\"Image2\"/>\n"
        "<img name=\"Image3\" SRC='../../docs/pic.png'>\n"
        "<img src=file:///home/u/pic.png alt=x>\n"
        "<img src=\"C:\\Images\\a b.gif\">\n"
        "<img src=\"\\\\server\\share\\c.gif\">\n"
        "<table background=\"/etc/ground.png\"><tr><td>x</td></tr></table></p>\n";
    const PagePictures result = check(page);
    EXPECT_TRUE(result.changed);
    EXPECT_EQ(result.page, QByteArray("<p><img name=\"Image1\" width=\"76\"/>\n"
                                      "<img name=\"Image2\"/>\n"
                                      "<img name=\"Image3\">\n"
                                      "<img alt=x>\n"
                                      "<img>\n"
                                      "<img>\n"
                                      "<table><tr><td>x</td></tr></table></p>\n"));
    EXPECT_EQ(result.warnings,
              QStringList({"picture not found: C:\\Documents\\Pictures\\photo.png",
                           "picture not found: C:\\Documents\\Pictures\\logo.png",
                           "picture not found: /docs/pic.png", "picture not found: /home/u/pic.png",
                           "picture not found: C:\\Images\\a b.gif",
                           "picture not found: \\\\server\\share\\c.gif",
                           "picture not found: /etc/ground.png"}));
}

TEST(PagePictures, picturesBesideThePageOnTheWebOrOutsideMarkupStay) {
    const QByteArray page =
        "<html><head><style>img { src: url(../x.png) }</style>\n"
        "<script>var s = '<img src=\"/abs.png\">';</script></head>\n"
        "<body background=\"page_htm_1.gif\"><!-- <img src=\"/etc/passwd\"> -->\n"
        "<img src=\"page_htm_d15d8ba260d9d954.png\" name=\"a\"/>\n"
        "<img src=\"sub/../pictures/b.png\"><img src=\"http://www.example.com/w.png\">\n"
        "<img src=\"https://example.com/a?b=1&amp;c=../../d\"><img "
        "src=\"//cdn.example.com/e.png\">\n"
        "<img src=\"data:image/png;base64,iVBORw0KGgo=\"><img src=\"#top\">\n"
        "<a href=\"../../docs/other.doc\">link</a> 5 < 6 and a <b>bold</b> word\n"
        "<img src=\"%E5%9C%96.png\" alt=\"圖\"></body></html>\n";
    const PagePictures result = check(page);
    EXPECT_FALSE(result.changed);
    EXPECT_EQ(result.page, page);
    EXPECT_TRUE(result.warnings.isEmpty()) << result.warnings.join('\n').toStdString();
}

TEST(PagePictures, theFileIsRewrittenOnlyWhenALinkWasRemoved) {
    QTemporaryDir dir;
    const QByteArray kept = "<img src=\"kept_htm_1.png\">";
    const QString keptPage = writeFile(dir.filePath("kept.htm"), kept);
    EXPECT_TRUE(keepPicturesInFolderOfFile(keptPage).isEmpty());
    EXPECT_EQ(readFile(keptPage), kept);

    const QString page = writeFile(dir.filePath("page.htm"), "<img src=\"/C:/x.png\" alt=\"\">");
    EXPECT_EQ(keepPicturesInFolderOfFile(page), QStringList{"picture not found: C:\\x.png"});
    EXPECT_EQ(readFile(page), QByteArray("<img alt=\"\">"));

    // A page that cannot be read is not handed out unchecked.
    EXPECT_THROW(keepPicturesInFolderOfFile(dir.filePath("missing.htm")), AutomationError);
}

} // namespace
