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

QString textOf(const QString& path) {
    return QString::fromUtf8(readFile(path));
}

QString withoutTags(QString page) {
    return page.remove(QRegularExpression("<[^>]*>")).simplified();
}

// The src of every picture of a page.
QStringList picturesOf(const QString& page) {
    QStringList sources;
    const QRegularExpression img("<img\\b[^>]*?\\bsrc=\"([^\"]*)\"");
    for (auto it = img.globalMatch(page); it.hasNext();)
        sources << it.next().captured(1);
    return sources;
}

struct ToolRun {
    int status = -1;
    QString output, errors;
};

ToolRun run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(300000))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// Hostile documents, named .doc like any other: the office chooses its reader
// by their content. A web page has links with every trick of writing a
// scheme, a form sending to javascript:, event handlers and a bookmark that
// looks like one; a flat ODF document has a script, a refresh to javascript:,
// a base target, names that look like markup, and active links and pictures.
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

const QByteArray odfStart = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:xlink="http://www.w3.org/1999/xlink" xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0" xmlns:script="urn:oasis:names:tc:opendocument:xmlns:script:1.0" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">
)";

const QByteArray hostileOdf = odfStart + R"odf(
<office:meta><dc:title>&lt;/title&gt;&lt;script&gt;alert(9)&lt;/script&gt;</dc:title>
<meta:auto-reload meta:delay="PT5S" xlink:href="javascript:alert(12)"/><meta:hyperlink-behaviour office:target-frame-name="_blank"/></office:meta>
<office:styles><style:style style:name="x&quot; onclick=&quot;alert(8)" style:family="paragraph"><style:text-properties fo:color="#ff0000"/></style:style></office:styles>
<office:body><office:text>
<text:p text:style-name="x&quot; onclick=&quot;alert(8)">Styled <text:bookmark text:name="x&quot; onmouseover=&quot;alert(7)"/><text:bookmark text:name="onclick=alert(17)"/>marks</text:p>
<text:p><text:a xlink:type="simple" xlink:href="JavaScript:alert(3)">case</text:a> <text:a xlink:type="simple" xlink:href="vbscript:msgbox(5)">vb</text:a> <text:a xlink:type="simple" xlink:href="data:text/html,&lt;script&gt;alert(6)&lt;/script&gt;">data</text:a> <text:a xlink:type="simple" xlink:href="jav&#x9;ascript:alert(1)">tab</text:a></text:p>
<text:p><text:script script:language="JavaScript">alert(11)</text:script>After the script <draw:frame draw:name="pic" text:anchor-type="as-char" svg:width="1cm" svg:height="1cm"><draw:image xlink:href="javascript:alert(13)"/></draw:frame></text:p>
</office:text></office:body></office:document>
)odf";

// What the office's web page loses of a document: numbering of three levels
// that restarts at each level, bullets of the document's own (the last a
// letter of Wingdings), a list in a table cell, a right and a centred table.
const QByteArray listsOdf = odfStart + R"(<office:automatic-styles>
<style:style style:name="Right" style:family="table"><style:table-properties style:width="6cm" table:align="right"/></style:style>
<style:style style:name="Centre" style:family="table"><style:table-properties style:width="6cm" table:align="center"/></style:style>
<text:list-style style:name="Nums"><text:list-level-style-number text:level="1" style:num-suffix="." style:num-format="1"/>
<text:list-level-style-number text:level="2" style:num-format="1" text:display-levels="2"/><text:list-level-style-number text:level="3" style:num-format="1" text:display-levels="3"/></text:list-style>
<text:list-style style:name="Bullets"><text:list-level-style-bullet text:level="1" text:bullet-char="✓"/><text:list-level-style-bullet text:level="2" text:bullet-char="❖"/>
<text:list-level-style-bullet text:level="3" text:bullet-char="➢"/><text:list-level-style-bullet text:level="4" text:bullet-char="u"><style:text-properties fo:font-family="Wingdings"/></text:list-level-style-bullet></text:list-style>
</office:automatic-styles><office:body><office:text><text:p>Before the lists.</text:p>
<text:list text:style-name="Nums"><text:list-item><text:p>Intro</text:p><text:list><text:list-item><text:p>Scope</text:p>
<text:list><text:list-item><text:p>Words</text:p></text:list-item></text:list></text:list-item></text:list></text:list-item>
<text:list-item><text:p>Method</text:p><text:list><text:list-item><text:p>Design</text:p><text:list><text:list-item><text:p>Sample</text:p></text:list-item>
<text:list-item><text:p>Tools</text:p></text:list-item></text:list></text:list-item></text:list></text:list-item></text:list>
<text:list text:style-name="Bullets"><text:list-item><text:p>Checked</text:p><text:list><text:list-item><text:p>Diamond</text:p><text:list><text:list-item><text:p>Arrow</text:p>
<text:list><text:list-item><text:p>Solid</text:p></text:list-item></text:list></text:list-item></text:list></text:list-item></text:list></text:list-item></text:list>
<table:table table:name="R" table:style-name="Right"><table:table-column/><table:table-row><table:table-cell><text:p>Right cell</text:p></table:table-cell></table:table-row></table:table>
<table:table table:name="C" table:style-name="Centre"><table:table-column/><table:table-row><table:table-cell><text:list text:style-name="Nums"><text:list-item><text:p>In cell</text:p></text:list-item></text:list></table:table-cell></table:table-row></table:table>
<text:p>After the tables.</text:p></office:text></office:body></office:document>
)";

class FilteredPages : public ::testing::Test {
protected:
    // Every readable document of the corpus and the made ones, saved in both
    // formats, each in a folder of its own so that the pictures beside a page
    // are its own.
    static void SetUpTestSuite() {
        server = office::registerWordServer(privateOfficeOptions());
        word = AutomationRuntime::createObject("Word.Application");
        QDir(folder.path()).mkdir("full");
        QDir(folder.path()).mkdir("filtered");
        QStringList documents;
        for (const QString& name :
             QDir(corpusDir()).entryList({"*.doc", "*.DOC"}, QDir::Files, QDir::Name))
            if (!unreadableCorpusDocuments().contains(name))
                documents << corpusFile(name);
        const std::pair<const char*, QByteArray> made[]{
            {"hostile-web.doc", hostileWebPage},
            {"hostile-odf.doc", hostileOdf},
            {"lists.fodt", listsOdf},
            {"marks.rtf", "{\\rtf1\\ansi{\\colortbl;\\red255\\green255\\blue0;\\red0\\green255"
                          "\\blue0;}\\pard Plain {\\highlight1 yellow mark} and {\\highlight2 "
                          "green mark}.\\par}"}};
        for (const auto& [name, content] : made)
            documents << writeFile(folder.filePath(name), content);
        for (const QString& document : documents) {
            names << QFileInfo(document).completeBaseName();
            for (const auto& [page, format] :
                 {std::pair{full(names.last()), 8}, std::pair{filtered(names.last()), 10}}) {
                word->object("Documents")->call("Open", {{"FileName", document}});
                saveActiveDocument(word, page, format);
                word->object("ActiveWindow")->call("Close");
            }
        }
    }
    static void TearDownTestSuite() {
        word.reset();
        server->shutdown();
        AutomationRuntime::unregisterServer("Word.Application");
    }

    static QString full(const QString& base) { return folder.filePath("full/" + base + ".htm"); }
    static QString filtered(const QString& base) {
        return folder.filePath("filtered/" + base + ".htm");
    }

    static inline std::shared_ptr<office::WordServer> server;
    static inline ObjectRef word;
    static inline QTemporaryDir folder;
    static inline QStringList names; // the corpus's, then the made ones
};

// One pass over the corpus's pages: both readers accept them, the office's
// own markup is gone, pictures and equations are browser pictures beside the
// page, and the text is kept, headers and footers with it, reviewers'
// comments left out.
TEST_F(FilteredPages, areWellFormedHtml5KeepingTheDocumentWithoutTheOfficesMarkup) {
    ASSERT_EQ(names.size(), 32);
    EXPECT_EQ(word->object("Documents")->get("Count").toInt(), 0) << "a document was left open";
    QStringList pages;
    int pictures = 0;
    for (const QString& name : names.first(28)) {
        SCOPED_TRACE(name.toStdString());
        const QString page = textOf(filtered(name));
        pages << filtered(name);
        EXPECT_EQ(selfClosedNonVoidElements(page), QStringList());
        EXPECT_TRUE(page.startsWith("<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" "
                                    "lang=\"en-US\">"));
        EXPECT_TRUE(textOf(full(name)).contains("charset=utf-8"));
        EXPECT_FALSE(page.contains(QRegularExpression("<title>\\s*</title>")));
        for (const char* office : {"sdfield", "<font", "generator", "so-language", "<!--",
                                   "<center", "xml:lang", "data:;", "VkNMTVRG", "<math"})
            EXPECT_FALSE(page.contains(QLatin1String(office))) << office;
        const QStringList sources = picturesOf(page);
        EXPECT_EQ(sources.size(), picturesOf(textOf(full(name))).size());
        EXPECT_EQ(sources.size(), page.count(QRegularExpression("<img\\b[^>]*\\balt=\"")));
        for (const QString& src : sources) {
            // Relative, inside the page's folder, and a file a browser shows.
            EXPECT_FALSE(src.contains(':') || src.startsWith('/') || src.contains(".."));
            const QByteArray data =
                readFile(folder.filePath("filtered/" + QUrl::fromPercentEncoding(src.toUtf8())));
            EXPECT_TRUE(data.startsWith("\x89PNG\r\n\x1a\n") || data.startsWith("\xff\xd8\xff") ||
                        data.startsWith("GIF8") ||
                        (data.contains("<svg") && !data.contains("<script")))
                << src.toStdString();
            ++pictures;
        }
    }
    EXPECT_GE(pictures, 6);
    EXPECT_EQ(picturesOf(textOf(filtered("equation"))).size(), 1); // not an empty formula
    EXPECT_EQ(picturesOf(textOf(filtered("two_images"))).size(), 2);
    const ToolRun xml = run("xmllint", QStringList{"--noout"} + pages);
    EXPECT_TRUE(xml.status == 0 && xml.errors.isEmpty()) << xml.errors.toStdString();
    // An HTML5 parser that fails on the first parse error.
    const ToolRun html5 =
        run("/usr/bin/python3",
            QStringList{"-c", "import sys, html5lib\n"
                              "for page in sys.argv[1:]:\n"
                              "    try: html5lib.HTMLParser(strict=True).parse(open(page, 'rb'))\n"
                              "    except Exception as e: sys.exit(page + ' ' + repr(e))\n"} +
                pages);
    EXPECT_EQ(html5.status, 0) << html5.errors.toStdString();

    // The title: the document's title property, else its first heading, else its name.
    const std::pair<const char*, const char*> titles[]{{"TestGermanWord90", "Titel"},
                                                       {"HeaderFooterUnicode", "Molière"},
                                                       {"equation", "equation"}};
    for (const auto& [name, title] : titles)
        EXPECT_TRUE(textOf(filtered(name)).contains(QString("<title>%1</title>").arg(title)));
    const std::pair<const char*, const char*> phrases[]{
        {"simple", "This is a simple file created with Word 97-SR2"},
        {"Word95", "The quick brown fox jumps over the lazy dog"},
        {"TestGermanWord90", "Test (Stichwörter)"},
        {"TestChineseProperties", "參考資料"},
        {"HeaderFooterUnicode", "Les Précieuses ridicules."},
        {"HeaderFooterUnicode", "This is a simple header, with a € euro symbol in it."},
        {"HeaderFooterUnicode", "The footer, with Molière, has Unicode in it."},
        {"footnote", "Test text"},
        {"footnote", "TestFootnote"}};
    for (const auto& [name, phrase] : phrases)
        for (const QString& page : {full(name), filtered(name)})
            EXPECT_TRUE((textOf(page) + withoutTags(textOf(page)))
                            .contains(QString(phrase), Qt::CaseInsensitive))
                << page.toStdString() << " " << phrase;
    // footnote.doc carries a reviewer's comment.
    for (const char* comment : {"TestComment", "ANNOTATION", "2009-06-22T14:46"})
        EXPECT_FALSE(textOf(filtered("footnote")).contains(QLatin1String(comment))) << comment;
}

// The independent sanitizer (tests/oracle) finds nothing that can run in any
// page, the hostile documents' included; it does find a javascript: link.
TEST_F(FilteredPages, carryNothingThatCanRunInEitherFormatAsAnIndependentSanitizerSeesIt) {
    const QString modules = QStringLiteral(QUILLPG_BINARY_DIR "/oracle/node_modules");
    ASSERT_TRUE(QFileInfo::exists(modules + "/dompurify")) << "scripts/setup.sh installs them";
    qputenv("NODE_PATH", QFile::encodeName(modules));
    const QString oracle = QStringLiteral(QUILLPG_TEST_DATA_DIR "/../oracle/active-content.js");
    const QString tricks =
        writeFile(folder.filePath("tricks.htm"), "<a href=' javascript:x'>a</a>");
    EXPECT_EQ(run("node", {oracle, tricks}).output, tricks + ": <a href=\" javascript:x\">\n");

    for (const auto& [name, text] :
         {std::pair{"hostile-web", "Send"}, std::pair{"hostile-odf", "marks"}})
        for (const QString& page : {full(name), filtered(name)})
            EXPECT_TRUE(textOf(page).contains(text)) << page.toStdString();
    EXPECT_TRUE(textOf(full("hostile-web")).contains("<form"));
    QStringList pages;
    for (const QString& name : std::as_const(names))
        pages << full(name) << filtered(name);
    const ToolRun checked = run("node", QStringList{oracle} + pages);
    EXPECT_EQ(checked.output.toStdString(), "checked " + std::to_string(pages.size()) + " pages\n");
    EXPECT_EQ(checked.status, 0) << checked.errors.toStdString();
}

// A browser engine shows the same text of a sample of documents in both
// formats (the DOM it parsed), and prints the lists' labels and the tables'
// places as the document has them. Highlighting keeps its colour.
TEST_F(FilteredPages, showTheDocumentsTextListLabelsTablesAndHighlightsInABrowserEngine) {
    QTemporaryDir profile;
    auto browser = [&](const QString& action, const QString& page) {
        return run("chromium", {"--headless", "--no-sandbox", "--disable-gpu",
                                "--user-data-dir=" + profile.path(), action,
                                QUrl::fromLocalFile(page).toString()})
            .output;
    };
    auto shown = [&](const QString& page) {
        QString dom = browser("--dump-dom", page);
        dom = dom.mid(dom.indexOf("<body"))
                  .remove(QRegularExpression("<(style|script)\\b.*?</\\1>",
                                             QRegularExpression::DotMatchesEverythingOption));
        return withoutTags(dom.replace("&nbsp;", " "));
    };
    for (const char* name :
         {"simple", "HeaderFooterUnicode", "TestChineseProperties", "footnote", "Lists",
          "table-merges", "two_images", "hyperlink", "Bug53380_2", "watermark"}) {
        EXPECT_FALSE(shown(filtered(name)).isEmpty()) << name;
        EXPECT_EQ(shown(filtered(name)), shown(full(name))) << name;
    }

    browser("--print-to-pdf=" + profile.filePath("lists.pdf"), filtered("lists"));
    const QString printed =
        run("pdftotext", {"-layout", profile.filePath("lists.pdf"), "-"}).output;
    ASSERT_TRUE(printed.contains("After the tables."))
        << "chromium and pdftotext (scripts/setup.sh)";
    const std::pair<const char*, const char*> labels[]{
        {"1.", "Intro"},   {"1.1", "Scope"},    {"1.1.1", "Words"}, {"2.", "Method"},
        {"2.1", "Design"}, {"2.1.1", "Sample"}, {"2.1.2", "Tools"}, {"1.", "In cell"},
        {"✓", "Checked"},  {"❖", "Diamond"},    {"➢", "Arrow"},     {"◆", "Solid"}};
    for (const auto& [label, item] : labels)
        EXPECT_TRUE(printed.contains(QRegularExpression(
            QString("^[ \\t]*%1[ \\t]+%2[ \\t]*$").arg(QRegularExpression::escape(label), item),
            QRegularExpression::MultilineOption)))
            << label << " " << item << "\n"
            << printed.toStdString();
    auto indentOf = [&](const char* phrase) {
        return printed.indexOf(phrase) - printed.lastIndexOf('\n', printed.indexOf(phrase));
    };
    EXPECT_GT(indentOf("Right cell"), indentOf("In cell"));
    EXPECT_GT(indentOf("In cell"), indentOf("After the tables.") + 20);
    const QString marked = textOf(filtered("marks"));
    EXPECT_TRUE(marked.contains(QRegularExpression("background[^\"]*#ffff00[^>]*>yellow mark")));
    EXPECT_TRUE(marked.contains(QRegularExpression("background[^\"]*#00ff00[^>]*>green\\s+mark")))
        << marked.toStdString();
}

} // namespace
