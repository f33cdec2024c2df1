#include "OfficeTestServer.h"
#include "PageChecks.h"
#include "TestFiles.h"
#include "automation/AutomationRuntime.h"

#include <QBuffer>
#include <QImage>
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

// The page's size with the pictures it links beside it.
qint64 sizeWithPictures(const QString& path) {
    qint64 size = QFileInfo(path).size();
    for (const QString& src : picturesOf(textOf(path)))
        size += QFileInfo(QFileInfo(path).dir().filePath(src)).size();
    return size;
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

TEST_F(FilteredPages, withTheirPicturesAreNoLargerThanTheFullPages) {
    qint64 fullTotal = 0, filteredTotal = 0;
    for (const QString& name : names) {
        EXPECT_LE(sizeWithPictures(filtered(name)), sizeWithPictures(full(name)))
            << name.toStdString();
        fullTotal += sizeWithPictures(full(name));
        filteredTotal += sizeWithPictures(filtered(name));
    }
    EXPECT_LT(filteredTotal, fullTotal);
}

TEST_F(FilteredPages, areWebReadyAndKeepTheDocumentsTextInBothFormats) {
    // The title: the document's title property, else its first heading, else its name.
    EXPECT_TRUE(textOf(filtered("TestGermanWord90")).contains("<title>Titel</title>"));
    EXPECT_TRUE(textOf(filtered("HeaderFooterUnicode")).contains("<title>Molière</title>"));
    EXPECT_TRUE(textOf(filtered("equation")).contains("<title>equation</title>"));
    // Text beyond ASCII in both formats: Chinese, French, German.
    for (const QString& page : {full("TestChineseProperties"), filtered("TestChineseProperties")})
        for (const char* chinese : {"世界雅虎", "亞太：", "亞洲"})
            EXPECT_TRUE(textOf(page).contains(QString::fromUtf8(chinese)))
                << page.toStdString() << " " << chinese;
    for (const QString& page : {full("HeaderFooterUnicode"), filtered("HeaderFooterUnicode")})
        for (const char* french : {"Les Précieuses ridicules.", "L'Avare ou l'École", "EUR - €"})
            EXPECT_TRUE(textOf(page).simplified().contains(QString::fromUtf8(french)))
                << page.toStdString() << " " << french;
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
    };
    for (const auto& [name, phrase] : phrases)
        for (const QString& page : {full(name), filtered(name)})
            EXPECT_TRUE(textOf(page)
                            .remove(QRegularExpression("<[^>]*>"))
                            .simplified()
                            .contains(phrase, Qt::CaseInsensitive))
                << page.toStdString() << " " << phrase.toStdString();
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

// A Windows metafile of a red square, as documents from Word carry them.
QByteArray windowsMetafile() {
    QByteArray records;
    auto record = [&](quint16 function, std::initializer_list<qint16> words) {
        const quint32 size = 3 + quint32(words.size());
        records.append(reinterpret_cast<const char*>(&size), 4);
        records.append(reinterpret_cast<const char*>(&function), 2);
        for (const qint16 w : words)
            records.append(reinterpret_cast<const char*>(&w), 2);
    };
    record(0x020B, {0, 0});            // window origin
    record(0x020C, {100, 100});        // window extent
    record(0x02FC, {0, 0x00FF, 0, 0}); // solid red brush
    record(0x012D, {0});               // select it
    record(0x041B, {90, 90, 10, 10});  // rectangle
    record(0x0000, {});                // end
    const quint16 placeable[10] = {0xCDD7, 0x9AC6, 0, 0, 0, 100, 100, 1440, 0, 0};
    quint16 checksum = 0;
    for (const quint16 w : placeable)
        checksum ^= w;
    const quint32 words = quint32(18 + records.size()) / 2;
    const quint16 header[9] = {1, 9, 0x0300, quint16(words & 0xFFFF), quint16(words >> 16), 1,
                               7, 0, 0};
    QByteArray wmf(reinterpret_cast<const char*>(placeable), sizeof placeable);
    wmf.append(reinterpret_cast<const char*>(&checksum), 2);
    wmf.append(reinterpret_cast<const char*>(header), sizeof header);
    return wmf + records;
}

QByteArray pngSquare() {
    QImage square(8, 8, QImage::Format_RGB32);
    square.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    square.save(&buffer, "PNG");
    return png;
}

// A picture of a document made for the test, with a title and a description.
QByteArray frame(const char* name, const QByteArray& picture, const char* title,
                 const char* description) {
    return QByteArray("<draw:frame draw:name=\"") + name +
           "\" text:anchor-type=\"as-char\" svg:width=\"1cm\" svg:height=\"1cm\"><draw:image>"
           "<office:binary-data>" +
           picture.toBase64() + "</office:binary-data></draw:image><svg:title>" + title +
           "</svg:title><svg:desc>" + description + "</svg:desc></draw:frame>";
}

// A document made for the test: a title and a language of its own, letters of
// the Symbol font, a picture with a title and a description, and a Windows
// metafile.
TEST_F(FilteredPages, mapSymbolFontLettersTakeTitleLanguageAndAltFromTheDocumentAndDrawMetafiles) {
    const QByteArray document =
        R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:xlink="http://www.w3.org/1999/xlink" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.text">
<office:meta><dc:title>Winkel &amp; Größen</dc:title></office:meta>
<office:font-face-decls><style:font-face style:name="Symbol" svg:font-family="Symbol" style:font-charset="x-symbol"/></office:font-face-decls>
<office:styles><style:default-style style:family="paragraph"><style:text-properties fo:language="de" fo:country="DE"/></style:default-style></office:styles>
<office:automatic-styles><style:style style:name="T1" style:family="text"><style:text-properties style:font-name="Symbol"/></style:style></office:automatic-styles>
<office:body><office:text><text:p>Der Winkel <text:span text:style-name="T1">&#xF071;</text:span> ist <text:span text:style-name="T1">a+b</text:span> groß. )" +
        frame("Square", pngSquare(), "Red", "A red square") + " " +
        frame("Metafile", windowsMetafile(), "", "") +
        "</text:p></office:text></office:body></office:document>\n";
    QTemporaryDir dir;
    const QString source = writeFile(dir.filePath("angles.fodt"), document);
    convert(source, dir.filePath("angles.htm"), 10);
    const QString page = textOf(dir.filePath("angles.htm"));
    EXPECT_TRUE(page.contains("<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"de-DE\">"));
    EXPECT_TRUE(page.contains(QString::fromUtf8("<title>Winkel &amp; Größen</title>")));
    EXPECT_TRUE(page.contains(QString::fromUtf8("Der Winkel θ ist α+β"))) << page.toStdString();
    EXPECT_FALSE(page.contains(QChar(0xF071)));
    // The description is the alt text, not the title; no description, no text.
    EXPECT_TRUE(page.contains("alt=\"A red square\"")) << page.toStdString();
    EXPECT_FALSE(page.contains("alt=\"Red\""));
    const QStringList sources = picturesOf(page);
    ASSERT_EQ(sources.size(), 2) << page.toStdString();
    for (const QString& src : sources)
        EXPECT_TRUE(browserPicture(readFile(dir.filePath(src)))) << src.toStdString();
    EXPECT_TRUE(page.contains(QRegularExpression("<img [^>]*alt=\"\"")));
}

} // namespace
