#include "OfficeTestServer.h"
#include "PageChecks.h"
#include "TestFiles.h"
#include "automation/AutomationRuntime.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using namespace qp;
using namespace qp::test;

namespace {

const QStringList& unreadable = unreadableCorpusDocuments();

QString textOf(const QString& path) {
    return QString::fromUtf8(readFile(path));
}

// The src of every picture of a page.
QStringList picturesOf(const QString& page) {
    QStringList sources;
    const QRegularExpression img("<img\\b[^>]*?\\bsrc=\"([^\"]*)\"",
                                 QRegularExpression::CaseInsensitiveOption);
    for (auto it = img.globalMatch(page); it.hasNext();)
        sources << it.next().captured(1);
    return sources;
}

// The picture formats that every browser shows.
bool browserPicture(const QByteArray& data) {
    return data.startsWith("\x89PNG\r\n\x1a\n") || data.startsWith("\xff\xd8\xff") ||
           data.startsWith("GIF87a") || data.startsWith("GIF89a") ||
           (data.contains("<svg") && !data.contains("<script"));
}

struct ToolRun {
    int status = -1;
    QString output;
};

ToolRun run(const QString& program, const QStringList& arguments, int timeoutMs = 120000) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

// The text a browser engine shows in the page's body: the page loaded as it
// is loaded from disk, its DOM dumped after parsing, tags and the style sheet
// taken out.
QString textInBrowser(const QString& chromium, const QString& profile, const QString& page) {
    QProcess process;
    process.start(chromium,
                  {"--headless", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + profile,
                   "--dump-dom", QUrl::fromLocalFile(page).toString()});
    process.waitForFinished(120000);
    QString dom = QString::fromUtf8(process.readAllStandardOutput());
    const qsizetype body = dom.indexOf("<body");
    if (body < 0)
        return {};
    dom = dom.mid(body);
    dom.remove(QRegularExpression("<(style|script)\\b.*?</\\1>",
                                  QRegularExpression::DotMatchesEverythingOption));
    dom.remove(QRegularExpression("<[^>]*>"));
    dom.replace("&nbsp;", " ").replace("&lt;", "<").replace("&gt;", ">").replace("&amp;", "&");
    return dom.simplified();
}

class FilteredPages : public ::testing::Test {
protected:
    // Every readable document of the corpus, saved in both formats, each
    // format in a folder of its own so that the pictures beside a page are
    // its own.
    static void SetUpTestSuite() {
        server = office::registerWordServer(privateOfficeOptions());
        word = AutomationRuntime::createObject("Word.Application");
        folder = std::make_unique<QTemporaryDir>();
        QDir(folder->path()).mkdir("full");
        QDir(folder->path()).mkdir("filtered");
        for (const QString& name :
             QDir(corpusDir()).entryList({"*.doc", "*.DOC"}, QDir::Files, QDir::Name)) {
            if (unreadable.contains(name))
                continue;
            names << QFileInfo(name).completeBaseName();
            convert(corpusFile(name), full(names.last()), 8);
            convert(corpusFile(name), filtered(names.last()), 10);
        }
    }
    static void TearDownTestSuite() {
        word.reset();
        server->shutdown();
        server.reset();
        AutomationRuntime::unregisterServer("Word.Application");
        folder.reset();
    }

    static void convert(const QString& document, const QString& page, int format) {
        word->object("Documents")->call("Open", {{"FileName", document}});
        saveActiveDocument(word, page, format);
        word->object("ActiveWindow")->call("Close");
    }
    static QString full(const QString& base) { return folder->filePath("full/" + base + ".htm"); }
    static QString filtered(const QString& base) {
        return folder->filePath("filtered/" + base + ".htm");
    }

    static inline std::shared_ptr<office::WordServer> server;
    static inline ObjectRef word;
    static inline std::unique_ptr<QTemporaryDir> folder;
    static inline QStringList names;
};

TEST_F(FilteredPages, areWellFormedXmlAndErrorFreeHtml5WithoutTheOfficesMarkup) {
    ASSERT_EQ(names.size(), 28);
    EXPECT_EQ(word->object("Documents")->get("Count").toInt(), 0) << "a document was left open";
    QStringList pages;
    for (const QString& name : names) {
        pages << filtered(name);
        const QString page = textOf(filtered(name));
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(selfClosedNonVoidElements(page), QStringList());
        EXPECT_TRUE(page.startsWith("<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" "
                                    "lang=\"en-US\">"));
        EXPECT_TRUE(textOf(full(name)).contains("<body")) << "no full page";
        EXPECT_FALSE(page.contains(QRegularExpression("<title>\\s*</title>")));
        for (const char* office : {"sdfield", "<font", "generator", "so-language", "<!--",
                                   "<center", "xml:lang", "data:;", "VkNMTVRG", "<math"})
            EXPECT_FALSE(page.contains(QLatin1String(office))) << office;
    }
    // Both readers accept every page: an XML parser, and an HTML5 parser that
    // fails on the first parse error.
    const ToolRun xml = run("xmllint", QStringList{"--noout"} + pages);
    EXPECT_EQ(xml.status, 0) << xml.output.toStdString();
    EXPECT_TRUE(xml.output.isEmpty()) << xml.output.toStdString();
    const ToolRun html5 =
        run("/usr/bin/python3",
            QStringList{"-c", "import sys, html5lib\n"
                              "for page in sys.argv[1:]:\n"
                              "    try:\n"
                              "        with open(page, 'rb') as f:\n"
                              "            html5lib.HTMLParser(strict=True).parse(f)\n"
                              "    except Exception as e:\n"
                              "        print(page, repr(e)); sys.exit(1)\n"} +
                pages);
    EXPECT_EQ(html5.status, 0) << html5.output.toStdString();
}

TEST_F(FilteredPages, keepEveryPictureAndEquationAsABrowserPictureBesideThePage) {
    int pictures = 0;
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString page = textOf(filtered(name));
        const QStringList sources = picturesOf(page);
        EXPECT_EQ(sources.size(), picturesOf(textOf(full(name))).size());
        for (const QString& src : sources) {
            // Relative, inside the page's folder, and a file a browser shows.
            EXPECT_FALSE(src.contains(':') || src.startsWith('/') || src.contains(".."))
                << src.toStdString();
            const QString file =
                QFileInfo(filtered(name)).dir().filePath(QUrl::fromPercentEncoding(src.toUtf8()));
            EXPECT_TRUE(browserPicture(readFile(file))) << src.toStdString();
            ++pictures;
        }
        EXPECT_EQ(page.count(QRegularExpression("<img\\b")),
                  page.count(QRegularExpression("<img\\b[^>]*\\balt=\"")));
    }
    EXPECT_GE(pictures, 6);
    // The full page keeps its pictures as files beside it too.
    EXPECT_FALSE(QDir(folder->filePath("full"))
                     .entryList({"two_images*.png", "two_images*.jpg", "two_images*.gif"})
                     .isEmpty());
    // The equation is a picture, not an empty formula.
    EXPECT_EQ(picturesOf(textOf(filtered("equation"))).size(), 1);
    EXPECT_EQ(picturesOf(textOf(filtered("two_images"))).size(), 2);
}

TEST_F(FilteredPages, keepHeadersAndFootersAndLeaveReviewersCommentsOut) {
    const QString page = textOf(filtered("HeaderFooterUnicode"));
    EXPECT_TRUE(page.contains("This\nis a simple header, with a € euro symbol in it.") ||
                page.contains(QRegularExpression("This\\s+is a simple header, with a € euro")));
    EXPECT_TRUE(page.contains("The footer, with Molière, has Unicode in it."));
    // footnote.doc carries a reviewer's comment "TestComment".
    const QString annotated = textOf(filtered("footnote"));
    EXPECT_TRUE(annotated.contains("Test text"));
    EXPECT_TRUE(annotated.contains("TestFootnote"));
    for (const char* comment : {"TestComment", "ANNOTATION", "2009-06-22T14:46"})
        EXPECT_FALSE(annotated.contains(QLatin1String(comment))) << comment;
}

TEST_F(FilteredPages, areWebReadyAndKeepTheDocumentsTextInBothFormats) {
    // The title: the document's title property, else its first heading, else its name.
    EXPECT_TRUE(textOf(filtered("TestGermanWord90")).contains("<title>Titel</title>"));
    EXPECT_TRUE(textOf(filtered("HeaderFooterUnicode")).contains("<title>Molière</title>"));
    EXPECT_TRUE(textOf(filtered("equation")).contains("<title>equation</title>"));
    // German text in both formats.
    for (const QString& page : {full("TestGermanWord90"), filtered("TestGermanWord90")})
        EXPECT_TRUE(textOf(page).contains(QString::fromUtf8("Test (Stichwörter)")))
            << page.toStdString();
    EXPECT_TRUE(textOf(full("TestGermanWord90")).contains("de-DE"));
    // The full page is UTF-8 too, and carries the text of documents of every age.
    for (const QString& name : names)
        EXPECT_TRUE(textOf(full(name)).contains("charset=utf-8")) << name.toStdString();
    const QList<QPair<QString, QString>> phrases{
        {"simple", "This is a simple file created with Word 97-SR2"},
        {"footnote", "Test text"},
        {"Word95", "The quick brown fox jumps over the lazy dog"},
        {"TestChineseProperties", "參考資料"},
        // Text beyond ASCII in both formats: Chinese, French.
        {"TestChineseProperties", "世界雅虎"},
        {"TestChineseProperties", "亞太："},
        {"HeaderFooterUnicode", "Les Précieuses ridicules."},
        {"HeaderFooterUnicode", "L'Avare ou l'École"},
        {"HeaderFooterUnicode", "EUR - €"},
    };
    for (const auto& [name, phrase] : phrases)
        for (const QString& page : {full(name), filtered(name)})
            EXPECT_TRUE(textOf(page)
                            .remove(QRegularExpression("<[^>]*>"))
                            .simplified()
                            .contains(phrase, Qt::CaseInsensitive))
                << page.toStdString() << " " << phrase.toStdString();
}

// Hostile documents, named .doc like any other: the office chooses its reader
// by their content. A web page (the office reads it as one) has links with
// every trick of writing a scheme, a form sending to javascript:, event
// handlers and a bookmark that looks like one; a flat ODF document has a
// script, a refresh to javascript:, a base target, a title and style and
// bookmark names that look like markup, and active links and pictures.
const QByteArray hostileWebPage =
    R"page(<html><head><title>&lt;/title&gt;&lt;script&gt;alert(9)&lt;/script&gt;</title>
<meta http-equiv="refresh" content="5;url=javascript:alert(12)"></head><body onload="alert(20)"><p>
<a href="jav&#x09;ascript:alert(1)">tab</a> <a href="java
script:alert(2)">line</a> <a href=JAVASCRIPT:alert(3)>case</a> <a href=" &#1;javascript:alert(4)">lead</a>
<a href="vbscript:msgbox(5)">vb</a> <a href="data:text/html,x">data</a> <a href="jav&#x61;script:alert(10)">ref</a>
<a href="http://example.com/" onclick="alert(19)">event</a> <a name='x" onmouseover="alert(7)'>mark</a></p>
<form action="javascript:alert(21)"><input type="submit" value="Send"></form>
<script>alert(11)</script><img src="javascript:alert(13)" onerror="alert(23)"></body></html>
)page";

const QByteArray hostileOdf = R"page(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:xlink="http://www.w3.org/1999/xlink" xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0" xmlns:script="urn:oasis:names:tc:opendocument:xmlns:script:1.0" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">
<office:meta><dc:title>&lt;/title&gt;&lt;script&gt;alert(9)&lt;/script&gt;</dc:title>
<meta:auto-reload meta:delay="PT5S" xlink:href="javascript:alert(12)"/><meta:hyperlink-behaviour office:target-frame-name="_blank"/></office:meta>
<office:styles><style:style style:name="x&quot; onclick=&quot;alert(8)" style:family="paragraph"><style:text-properties fo:color="#ff0000"/></style:style></office:styles>
<office:body><office:text>
<text:p text:style-name="x&quot; onclick=&quot;alert(8)">Styled <text:bookmark text:name="x&quot; onmouseover=&quot;alert(7)"/><text:bookmark text:name="onclick=alert(17)"/>marks</text:p>
<text:p><text:a xlink:type="simple" xlink:href="JavaScript:alert(3)">case</text:a> <text:a xlink:type="simple" xlink:href="vbscript:msgbox(5)">vb</text:a> <text:a xlink:type="simple" xlink:href="data:text/html,&lt;script&gt;alert(6)&lt;/script&gt;">data</text:a> <text:a xlink:type="simple" xlink:href="jav&#x9;ascript:alert(1)">tab</text:a></text:p>
<text:p><text:script script:language="JavaScript">alert(11)</text:script>After the script <draw:frame draw:name="pic" text:anchor-type="as-char" svg:width="1cm" svg:height="1cm"><draw:image xlink:href="javascript:alert(13)"/></draw:frame></text:p>
</office:text></office:body></office:document>
)page";

// The independent sanitizer (tests/oracle) run over pages: what it found that
// can run, one a line, else "checked N pages"; its exit status.
ToolRun runOracle(const QStringList& pages) {
    const QString node = QStandardPaths::findExecutable("node");
    const QString modules = QStringLiteral(QUILLPG_BINARY_DIR "/oracle/node_modules");
    if (node.isEmpty() || !QFileInfo::exists(modules + "/dompurify"))
        return {-1, "node or the npm packages are missing (scripts/setup.sh installs them)"};
    QProcess oracle;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("NODE_PATH", modules);
    oracle.setProcessEnvironment(environment);
    oracle.setProcessChannelMode(QProcess::MergedChannels);
    oracle.start(node,
                 QStringList{QStringLiteral(QUILLPG_TEST_DATA_DIR "/../oracle/active-content.js")} +
                     pages);
    if (!oracle.waitForFinished(300000))
        oracle.kill();
    return {oracle.exitStatus() == QProcess::NormalExit ? oracle.exitCode() : -1,
            QString::fromUtf8(oracle.readAll())};
}

// The sanitizer finds each way a page can run something, however it is written.
TEST(PageOracle, flagsEachTrickOfAHandMadePage) {
    QTemporaryDir folder;
    const QString page = writeFile(folder.filePath("tricks.htm"), R"page(<html><head>
<base href="http://example.com/"><meta http-equiv="refresh" content="0;url=http://example.com/">
</head><body onload="alert(1)"><script>alert(2)</script><iframe src="http://example.com/f"></iframe>
<object data="http://example.com/o"></object><embed src="http://example.com/e"><applet code="A.class"></applet>
<a href="jav&#x09;ascript:alert(3)">tab</a> <a href="vbscript:msgbox(4)">vb</a> <a href="data:text/html,a5">data</a>
<img src="data:text/html,i6"><img src="data:image/svg+xml,&lt;svg onload=alert(7)&gt;">
<form action="javascript:alert(8)"><button formaction="javascript:alert(9)">b</button></form>
<table background="javascript:alert(10)"><tr><td>t</td></tr></table><video poster="javascript:alert(11)"></video>
<blockquote cite="javascript:alert(12)">q</blockquote><img src="data:image/png;base64,iVBORw0KGgo=">
</body></html>
)page");
    const ToolRun found = runOracle({page});
    EXPECT_EQ(found.status, 1) << found.output.toStdString();
    const QStringList tricks{"<base>",
                             "<meta http-equiv=\"refresh\">",
                             "<body onload>",
                             "<script>",
                             "<iframe>",
                             "<object>",
                             "<embed>",
                             "<applet>",
                             "<a href=\"jav\tascript:alert(3)\">",
                             "<a href=\"vbscript:msgbox(4)\">",
                             "<a href=\"data:text/html,a5\">",
                             "<img src=\"data:text/html,i6\">",
                             "<img src=\"data:image/svg+xml,<svg onload=alert(7)>\">",
                             "<form action=\"javascript:alert(8)\">",
                             "<button formaction=\"javascript:alert(9)\">",
                             "<table background=\"javascript:alert(10)\">",
                             "<video poster=\"javascript:alert(11)\">",
                             "<blockquote cite=\"javascript:alert(12)\">"};
    for (const QString& trick : tricks)
        EXPECT_TRUE(found.output.contains(page + ": " + trick + "\n")) << trick.toStdString();
    // Nothing else: a PNG picture inline is no finding.
    EXPECT_EQ(found.output.count('\n'), tricks.size()) << found.output.toStdString();
}

TEST_F(FilteredPages, carryNothingThatCanRunInEitherFormatAsAnIndependentSanitizerSeesIt) {
    QStringList pages;
    for (const auto& [name, content, text] : {std::tuple{"hostile-web", hostileWebPage, "Send"},
                                              std::tuple{"hostile-odf", hostileOdf, "marks"}}) {
        const QString document = writeFile(folder->filePath(QString(name) + ".doc"), content);
        convert(document, full(name), 8);
        convert(document, filtered(name), 10);
        pages << full(name) << filtered(name);
        for (const QString& page : {full(name), filtered(name)})
            EXPECT_TRUE(textOf(page).contains(text)) << page.toStdString();
    }
    EXPECT_TRUE(textOf(full("hostile-web")).contains("<form"));
    for (const QString& name : std::as_const(names))
        pages << full(name) << filtered(name);
    const ToolRun checked = runOracle(pages);
    EXPECT_EQ(checked.output.toStdString(), "checked " + std::to_string(pages.size()) + " pages\n");
    EXPECT_EQ(checked.status, 0);
}

TEST_F(FilteredPages, showTheDocumentsTextInABrowserEngine) {
    const QString chromium = QStandardPaths::findExecutable("chromium");
    ASSERT_FALSE(chromium.isEmpty()) << "chromium is not installed (scripts/setup.sh installs it)";
    QTemporaryDir profile;
    // A sample: a title, headers and footers, Chinese text, notes and a
    // reviewer's comment, lists, tables, pictures, links and fields.
    for (const char* name :
         {"simple", "HeaderFooterUnicode", "TestChineseProperties", "footnote", "Lists",
          "table-merges", "two_images", "hyperlink", "Bug53380_2", "watermark"}) {
        SCOPED_TRACE(name);
        const QString shown = textInBrowser(chromium, profile.path(), filtered(name));
        EXPECT_FALSE(shown.isEmpty());
        EXPECT_EQ(shown, textInBrowser(chromium, profile.path(), full(name)));
    }
}

// A document with what the office's web page loses of it: numbering of three
// levels that restarts at each level, bullets of the document's own, a list
// in a table cell (one bullet a letter of Wingdings), a right and a centred
// table; and one with highlighting.
const QByteArray listsOdf = R"odf(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">
<office:automatic-styles>
<style:style style:name="Right" style:family="table"><style:table-properties style:width="6cm" table:align="right"/></style:style>
<style:style style:name="Centre" style:family="table"><style:table-properties style:width="6cm" table:align="center"/></style:style>
<text:list-style style:name="Nums"><text:list-level-style-number text:level="1" style:num-suffix="." style:num-format="1"/>
<text:list-level-style-number text:level="2" style:num-format="1" text:display-levels="2"/><text:list-level-style-number text:level="3" style:num-format="1" text:display-levels="3"/></text:list-style>
<text:list-style style:name="Bullets"><text:list-level-style-bullet text:level="1" text:bullet-char="✓"/><text:list-level-style-bullet text:level="2" text:bullet-char="❖"/>
<text:list-level-style-bullet text:level="3" text:bullet-char="➢"/><text:list-level-style-bullet text:level="4" text:bullet-char="u"><style:text-properties fo:font-family="Wingdings"/></text:list-level-style-bullet></text:list-style>
</office:automatic-styles><office:body><office:text>
<text:p>Before the lists.</text:p>
<text:list text:style-name="Nums"><text:list-item><text:p>Intro</text:p><text:list><text:list-item><text:p>Scope</text:p></text:list-item><text:list-item><text:p>Terms</text:p>
<text:list><text:list-item><text:p>Words</text:p></text:list-item></text:list></text:list-item></text:list></text:list-item>
<text:list-item><text:p>Method</text:p><text:list><text:list-item><text:p>Design</text:p><text:list><text:list-item><text:p>Sample</text:p></text:list-item><text:list-item><text:p>Tools</text:p></text:list-item></text:list></text:list-item>
<text:list-item><text:p>Analysis</text:p><text:list><text:list-item><text:p>Tests</text:p></text:list-item></text:list></text:list-item></text:list></text:list-item></text:list>
<text:p>Between the lists.</text:p>
<text:list text:style-name="Bullets"><text:list-item><text:p>Checked</text:p><text:list><text:list-item><text:p>Diamond</text:p><text:list><text:list-item><text:p>Arrow</text:p>
<text:list><text:list-item><text:p>Solid</text:p></text:list-item></text:list></text:list-item></text:list></text:list-item></text:list></text:list-item>
<text:list-item><text:p>Checked again</text:p></text:list-item></text:list>
<table:table table:name="R" table:style-name="Right"><table:table-column/><table:table-row><table:table-cell><text:p>Right cell</text:p></table:table-cell></table:table-row></table:table>
<table:table table:name="C" table:style-name="Centre"><table:table-column/><table:table-row><table:table-cell><text:list text:style-name="Nums"><text:list-item><text:p>In cell</text:p></text:list-item></text:list></table:table-cell></table:table-row></table:table>
<text:p>After the tables.</text:p>
</office:text></office:body></office:document>
)odf";
const QByteArray marksRtf = "{\\rtf1\\ansi{\\colortbl;\\red255\\green255\\blue0;\\red0\\green255"
                            "\\blue0;}\\pard Plain {\\highlight1 yellow mark} and {\\highlight2 "
                            "green mark}.\\par}";

// Each line of the text as its label and its item: "2.1" and "Design" for
// "   2.1 Design", for the items named.
QMap<QString, QString> labelsIn(const QString& text, const QStringList& items) {
    QMap<QString, QString> labels;
    for (const QString& line : text.split('\n')) {
        const QString shown = line.simplified();
        for (const QString& item : items)
            if (shown == item || shown.endsWith(' ' + item))
                labels.insert(item, shown.chopped(item.size()).trimmed());
    }
    return labels;
}

int indentOf(const QString& text, const QString& phrase) {
    for (const QString& line : text.split('\n'))
        if (line.contains(phrase))
            return int(line.indexOf(phrase));
    return -1;
}

TEST_F(FilteredPages, showTheDocumentsListLabelsTablePlacesAndHighlightsInABrowserEngine) {
    const QString chromium = QStandardPaths::findExecutable("chromium");
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    ASSERT_FALSE(chromium.isEmpty() || pdftotext.isEmpty())
        << "chromium or pdftotext is missing (scripts/setup.sh installs them)";
    const QString lists = writeFile(folder->filePath("lists.fodt"), listsOdf);
    const QString marks = writeFile(folder->filePath("marks.rtf"), marksRtf);
    for (const QString& document : {lists, marks}) {
        convert(document, full(QFileInfo(document).baseName()), 8);
        convert(document, filtered(QFileInfo(document).baseName()), 10);
    }
    // The office's plain text of the lists, made by an office of its own
    // without network.
    QTemporaryDir text;
    ToolRun plain = run(
        "unshare",
        {"-rn", "soffice",
         "-env:UserInstallation=" + QUrl::fromLocalFile(text.filePath("profile")).toString(),
         "--headless", "--convert-to", "txt:Text (encoded):UTF8", "--outdir", text.path(), lists});
    const QString plainText = textOf(text.filePath("lists.txt"));
    ASSERT_FALSE(plainText.isEmpty()) << plain.output.toStdString();
    // The page as a browser engine prints it.
    const QString printed = [&] {
        const QString pdf = text.filePath("lists.pdf");
        run(chromium,
            {"--headless", "--no-sandbox", "--disable-gpu",
             "--user-data-dir=" + text.filePath("chromium"), "--print-to-pdf=" + pdf,
             "--no-pdf-header-footer", QUrl::fromLocalFile(filtered("lists")).toString()});
        return run(pdftotext, {"-layout", pdf, "-"}).output;
    }();

    const QStringList numbered{"Intro",  "Scope", "Terms",    "Words", "Method", "Design",
                               "Sample", "Tools", "Analysis", "Tests", "In cell"};
    const QMap<QString, QString> bullets{
        {"Checked", "✓"}, {"Diamond", "❖"}, {"Arrow", "➢"}, {"Solid", "◆"}, {"Checked again", "✓"}};
    const auto inPlainText = labelsIn(plainText, numbered + bullets.keys());
    const auto onPage = labelsIn(printed, numbered + bullets.keys());
    EXPECT_EQ(inPlainText.value("Words"), "1.2.1") << plainText.toStdString();
    for (const QString& item : numbered)
        EXPECT_EQ(onPage.value(item), inPlainText.value(item)) << item.toStdString();
    // The plain text shows a bullet of its own choice; the page, the document's.
    for (const auto& [item, bullet] : bullets.asKeyValueRange()) {
        EXPECT_FALSE(inPlainText.value(item).isEmpty()) << item.toStdString();
        EXPECT_EQ(onPage.value(item), bullet) << item.toStdString();
    }
    // The right table at the right, the centred one in between.
    const int body = indentOf(printed, "After the tables.");
    EXPECT_GT(indentOf(printed, "Right cell"), indentOf(printed, "In cell"))
        << printed.toStdString();
    EXPECT_GT(indentOf(printed, "In cell"), body + 20) << printed.toStdString();
    // Highlighting keeps its colour.
    const QString marked = textOf(filtered("marks"));
    EXPECT_TRUE(marked.contains(QRegularExpression("background[^\"]*#ffff00[^>]*>yellow mark")))
        << marked.toStdString();
    EXPECT_TRUE(marked.contains(QRegularExpression("background[^\"]*#00ff00[^>]*>green\\s+mark")))
        << marked.toStdString();
    EXPECT_EQ(runOracle({filtered("lists"), filtered("marks")}).status, 0);
}

} // namespace
