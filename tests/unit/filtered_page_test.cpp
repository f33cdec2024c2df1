// The pages made from what the office writes, without an office: the
// filtered page, active content cut out, pictures embedded or kept inside
// the page's folder.

#include "PageChecks.h"
#include "QtPrinters.h"
#include "TestFiles.h"
#include "webpage/ActiveContent.h"
#include "webpage/FilteredPage.h"
#include "webpage/PagePictures.h"

#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace qp;
using namespace qp::webpage;
using namespace qp::test;

namespace {

// A page as the office's full web-page export writes it, with the markup of
// its own that a filtered page must not keep.
const QByteArray officePage = R"page(<!DOCTYPE html>
<html>
<head>
	<meta http-equiv="content-type" content="text/html; charset=utf-8"/>
	<title></title>
	<meta name="generator" content="LibreOffice 7.4.7.2 (Linux)"/>
	<meta name="author" content="Nick Burch"/>
	<meta name="created" content="2008-08-09T17:33:00"/>
	<style type="text/css">
		@page { size: 8.5in 11in; margin-right: 1in }
		p.western { font-family: "Calibri", sans-serif; font-size: 11pt; so-language: en-US }
		/* a comment */ h1 { color: #000000 }
	</style>
	<script type="text/javascript">alert(1)</script>
</head>
<body lang="de-DE" text="#000000" link="#000080" vlink="#800000" dir="ltr">
<h1 class="western" align="center"><a name="__RefHeading__8 x"></a>Überschrift &amp; Co</h1>
<p class="western" style="margin-bottom: 0.14in; so-language: de-DE">Seite <sdfield type=PAGE subtype=RANDOM format=PAGE>3</sdfield>
<font face="Courier New, monospace" size="2">Code</font> <font face="Courier New, monospace" size="2">again</font>
<font face="Symbol">&#xf071;a</font> <span style="font-family: Symbol">p</span> q
<a href="#__RefHeading__8 x" onclick="evil()">link</a> <a href="javascript:evil()">bad</a>
<img src="page_htm_1.gif" name="Object1" align="absmiddle" width="108" height="20"/>
<img src="page_htm_2.png" alt="A red square" hspace="12" border="0"/>
<!-- ANNOTATION by a reviewer --><br/>中文 עברית</p>
<table width="643" cellpadding="7" cellspacing="0"><col width="218"><tr valign="top"><td width="230" bgcolor="#c0c0c0">cell</td></tr></table>
<center><strike>old</strike></center>
<p><font face="x} img { display: none } p {" color="red;background:url(http://x/)">injected</font></p>
</body>
</html>
)page";

DocumentFacts named(const QString& name) {
    return {name, {}, {}};
}

TEST(FilteredPage, officeMarkupBecomesStandardMarkupThatXmlAndHtmlReadersAgreeOn) {
    const QByteArray page = filteredPage(officePage, {"report", {{"Object1", "An equation"}}, {}});
    const QString text = QString::fromUtf8(page);
    // Well-formed XML, and no non-void element written empty ("<title/>"),
    // which an HTML reader takes as an open one.
    QXmlStreamReader xml(page);
    while (!xml.atEnd())
        xml.readNext();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString() << "\n" << page.toStdString();
    EXPECT_EQ(selfClosedNonVoidElements(text), QStringList());

    EXPECT_TRUE(text.startsWith("<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" "
                                "lang=\"de-DE\">"));
    for (const char* kept :
         {"<meta charset=\"utf-8\"/>", "<meta name=\"viewport\" content=\"width=device-width",
          "<meta name=\"author\" content=\"Nick Burch\"/>", "img { max-width: 100%; height: auto }",
          "p.western { font-family: \"Calibri\", sans-serif; font-size: 11pt }",
          "@page { size: 8.5in 11in; margin-right: 1in }", "a:visited { color: #800000 }",
          // Text and fields' values stay.
          "Überschrift &amp; Co", "Seite 3", "中文 עברית",
          // Fonts become classes; anchors get ids that links can reach.
          "<span class=\"font1\">Code</span> <span class=\"font1\">again",
          ".font1 { font-family: Courier New, monospace; font-size: small }",
          "<a id=\"__RefHeading__8_x\"></a>", "<a href=\"#__RefHeading__8_x\">link</a> <a>bad</a>",
          // Pictures keep their files and get alt texts; presentation moves to CSS.
          "<img src=\"page_htm_1.gif\" width=\"108\" height=\"20\" alt=\"An equation\" "
          "style=\"vertical-align:middle\"/>",
          "<img src=\"page_htm_2.png\" alt=\"A red square\" "
          "style=\"margin-left:12px;margin-right:12px\"/>",
          "<table style=\"width:643px;border-spacing:0px\"><colgroup><col style=\"width:218px\"/>"
          "</colgroup><tbody><tr style=\"vertical-align:top\"><td style=\"width:230px;"
          "background-color:#c0c0c0;padding:7px\">cell</td></tr></tbody></table>",
          "<div style=\"text-align:center\"><s>old</s></div>",
          "<h1 class=\"western\" style=\"text-align:center\">",
          // What the document names (fonts, colours) never becomes CSS of its own.
          "<p>injected</p>",
          // Letters of the Symbol font become Unicode letters.
          "θα <span>π</span> q"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(kept))) << kept;
    for (const char* office :
         {"generator",        "created",    "so-language", "sdfield",       "<font",   "face=",
          "reviewer",         "ANNOTATION", "<!--",        "script",        "alert",   "onclick",
          "javascript",       "align=",     "bgcolor",     "cellpadding",   "<center", "<strike",
          "name=\"Object1\"", "http-equiv", "comment",     "display: none", "url(http"})
        EXPECT_FALSE(text.contains(QLatin1String(office))) << office;
}

TEST(FilteredPage, textIsEscapedCharactersXmlForbidsLeftOutAndListsGetTheDocumentsLabels) {
    const QByteArray page = filteredPage("<html><body><p>a\x01"
                                         "b &lt;i&gt; &quot;q&quot;</p>"
                                         "<p title='x\"y'>c</p></body></html>",
                                         named("x"));
    EXPECT_TRUE(page.contains("<p>ab &lt;i&gt; \"q\"</p><p title=\"x&quot;y\">c</p>"))
        << page.toStdString();
    // Not even a page: still a complete, empty one.
    const QByteArray empty = filteredPage("", named("a < b"));
    EXPECT_TRUE(empty.contains("<title>a &lt; b</title>"));
    EXPECT_TRUE(empty.contains("<body></body>"));

    // The document's labels go to the items of the page's lists, list by
    // list, as CSS strings that no label can end; a list whose items do not
    // match its labels in number keeps the page's markers.
    const QByteArray lists = filteredPage(
        "<html><body><ol><li><p>a</p><ol><li>b</li></ol></li></ol><p>x</p>"
        "<ul><li>c</li><li>d</li></ul><ol><li style=\"list-style-type:disc\">e</li></ol>"
        "</body></html>",
        {"x", {}, {{"1.", "1.1"}, {"\u2713", "\u2713"}, {"it's \\ <a>", ""}}});
    const QString text = QString::fromUtf8(lists);
    for (const char* kept : {"<ol><li style=\"list-style-type:'1. '\"><p>a</p><ol><li "
                             "style=\"list-style-type:'1.1 '\">b",
                             "<ul><li style=\"list-style-type:'\u2713 '\">c</li>",
                             // One label for two items: the page's markers stay.
                             "<ol><li style=\"list-style-type:disc\">e</li></ol>"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(kept))) << kept << "\n" << lists.toStdString();
    const QByteArray escaped =
        filteredPage("<ol><li>e</li><li>f</li></ol>", {"x", {}, {{"it's \\ <a>", ""}}});
    EXPECT_TRUE(escaped.contains("<li style=\"list-style-type:'it\\'s \\\\ &lt;a&gt; '\">e</li>"
                                 "<li style=\"list-style-type:none\">f</li>"))
        << escaped.toStdString();
    // Lists whose number differs from the document's: every list keeps its markers.
    EXPECT_FALSE(
        filteredPage("<ol><li>a</li></ol>", {"x", {}, {{"1."}, {"2."}}}).contains("list-style"));
}

// Active content as an HTML5 parser reads it: references, tabs, line breaks,
// controls and case in schemes, unquoted and run-together attributes.
const QByteArray activePage =
    "<html><head><title>a&lt;b</title><base href=\"http://x/\">"
    "<meta http-equiv=\" Refresh\" content=\"0;url=x\"><style>p { color: red }</style>"
    "<script>alert(1)</script></head>\n"
    "<body onload=\"alert(2)\"><p class=x ONclick=alert(3)>"
    "<a href=\"jav&#x09;ascript:alert(4)\">1</a><a href=\"java\nscript:alert(5)\">2</a>"
    "<a href=' &#1;JaVaScRiPt&colon;alert(6)'>3</a><a href=vbscript:x>4</a>"
    "<a href=\"data:text/html,x\">5</a>"
    "<a title=\"x\"onmouseover=\"alert(7)\" href=\"http://ok/?a=1&amp;b\">6</a>"
    "<a href=\"#top\" name=\"onclick=x\">7</a><a href=\"file:///tmp/x.txt\">8</a>"
    "<form action=\"javascript:alert(8)\"><button formaction=\"&#106avascript:9\">b</button></form>"
    "<img src=\"data:image/png;base64,AAAA\"><img src=\"data:image/svg+xml,x\" alt=\"\">"
    "<iframe src=\"x\"><a href=javascript:in-iframe></iframe>"
    "<object data=\"x.swf\"><embed src=\"x.swf\"></object>"
    "<!-- <a href=\"javascript:in-comment\"> --></p></body></html>";

TEST(ActiveContent, isCutFromTheFullPageByteByByteAndNeverEntersTheFilteredOne) {
    EXPECT_EQ(removeActiveContent(activePage),
              QByteArray("<html><head><title>a&lt;b</title><style>p { color: red }</style>"
                         "</head>\n<body><p class=x>"
                         "<a>1</a><a>2</a><a>3</a><a>4</a><a>5</a>"
                         "<a title=\"x\" href=\"http://ok/?a=1&amp;b\">6</a>"
                         "<a href=\"#top\" name=\"onclick=x\">7</a>"
                         "<a href=\"file:///tmp/x.txt\">8</a><form><button>b</button></form>"
                         "<img src=\"data:image/png;base64,AAAA\"><img alt=\"\">"
                         "<!-- <a href=\"javascript:in-comment\"> --></p></body></html>"));
    // A page without active content is not touched; markup in a style sheet
    // or title is escaped for readers that take it for markup.
    EXPECT_EQ(removeActiveContent(activePage.left(33)), activePage.left(33));
    EXPECT_EQ(removeActiveContent("<style>/*<img src=x onerror=alert(1)>*/</style>"
                                  "<title><b onclick=x></title>"),
              QByteArray("<style>/*\\3C img src=x onerror=alert(1)>*/</style>"
                         "<title>&lt;b onclick=x></title>"));

    // The filtered page keeps addresses of an allowed scheme only.
    const QString filtered = QString::fromUtf8(filteredPage(activePage, named("x")));
    for (const char* active :
         {"<script", "javascript:", "vbscript", "data:text", "svg", "iframe", "object", "embed",
          "<base", "refresh", " onclick=", " onmouseover=", " onload=", "file:"})
        EXPECT_FALSE(filtered.contains(QLatin1String(active), Qt::CaseInsensitive)) << active;
    for (const char* kept :
         {"<a title=\"x\" href=\"http://ok/?a=1&amp;b\">6</a>",
          "<a href=\"#top\" id=\"onclick=x\">7</a><a>8</a>", "<form><button>b</button></form>",
          "<img src=\"data:image/png;base64,AAAA\""})
        EXPECT_TRUE(filtered.contains(QLatin1String(kept))) << kept << "\n"
                                                            << filtered.toStdString();
}

TEST(FilteredPage, embeddingTakesOnlyThePagesOwnPicturesFromBesideIt) {
    QTemporaryDir dir;
    const QByteArray png("\x89PNG\r\n\x1a\nrest", 12);
    writeFile(dir.filePath("page_htm_1.png"), png);                // the office's picture
    writeFile(dir.filePath("page_htm_2.wmf"), "\xd7\xcd\xc6\x9a"); // not a browser format
    writeFile(dir.filePath("other.png"), png);                     // a linked picture
    writeFile(dir.filePath("sub/page_htm_3.png"), png);
    writeFile(dir.filePath("page.htm"), "<html><body><p title=\"src=&quot;page_htm_1.png&quot;\">"
                                        "<img src=\"page_htm_1.png\"/><img src=\"page_htm_1.png\"/>"
                                        "<img src=\"page_htm_2.wmf\"/><img src=\"other.png\"/>"
                                        "<img src=\"sub/page_htm_3.png\"/></p></body></html>");
    EXPECT_EQ(embedPictures(dir.filePath("page.htm")), QString());
    const QByteArray page = readFile(dir.filePath("page.htm"));
    EXPECT_EQ(page.count("src=\"data:image/png;base64," + png.toBase64() + '"'), 2);
    EXPECT_FALSE(QFile::exists(dir.filePath("page_htm_1.png")));
    for (const char* kept : {"page_htm_2.wmf", "other.png", "sub/page_htm_3.png"}) {
        EXPECT_TRUE(page.contains(QByteArray("<img src=\"") + kept + '"')) << kept;
        EXPECT_TRUE(QFile::exists(dir.filePath(kept))) << kept;
    }
    EXPECT_FALSE(embedPictures(dir.filePath("missing.htm")).isEmpty());
}

TEST(PagePictures, linksThatLeaveThePageFolderAreRemovedAndReportedOthersStay) {
    const PagePictures result = keepPicturesInFolder(
        "<p><img src=\"/C:/Documents/Pictures/photo.png\" name=\"Image1\" width=\"76\"/>\n"
        "<img src=\"../C:%5CDocuments%5CPictures%5Clogo.png\" name=\"Image2\"/>\n"
        "<img name=\"Image3\" SRC='../../docs/pic.png'>\n"
        "<img src=file:///home/u/pic.png alt=x>\n"
        "<img src=\"C:\\Images\\a b.gif\">\n"
        "<img src=\"\\\\server\\share\\c.gif\">\n"
        "<table background=\"/etc/ground.png\"><tr><td>x</td></tr></table></p>\n",
        "/pages/out");
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

    // Pictures beside the page, on the web or outside markup stay.
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
    const PagePictures kept = keepPicturesInFolder(page, "/pages/out");
    EXPECT_FALSE(kept.changed);
    EXPECT_EQ(kept.page, page);
    EXPECT_EQ(kept.warnings, QStringList());
}

} // namespace
