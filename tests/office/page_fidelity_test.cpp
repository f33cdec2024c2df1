#include "OfficeTestServer.h"
#include "TestFiles.h"
#include "automation/AutomationRuntime.h"
#include "automation/PhaseClock.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qp;
using namespace qp::test;

namespace {

// The values of the page's page-number and page-count fields, in order.
QStringList pageFields(const QString& path) {
    QStringList values;
    static const QRegularExpression field("<sdfield type=(PAGE|DOCSTAT)[^>]*>([^<]*)</sdfield>");
    for (auto it = field.globalMatch(QString::fromUtf8(readFile(path))); it.hasNext();)
        values << it.next().captured(2);
    return values;
}

// A word processor of its own, laying documents out in pages as by default.
class Fidelity : public ::testing::Test {
protected:
    void bind(int restartAfterDocuments = 0,
              office::DocumentLayout layout = office::DocumentLayout::PagePreview) {
        auto options = privateOfficeOptions();
        options.restartAfterDocuments = restartAfterDocuments;
        server = office::registerWordServer(options);
        server->setDocumentLayout(layout);
        word = AutomationRuntime::createObject("Word.Application");
    }
    void TearDown() override {
        word.reset();
        server->shutdown();
        AutomationRuntime::unregisterServer("Word.Application");
    }

    // The batch converter's calls for one document into its page; returns
    // the page's path and SaveAs's warnings.
    QString convert(const QString& document, QString* warnings = nullptr) {
        const QString page = out.filePath(QFileInfo(document).completeBaseName() + ".htm");
        word->call("ChangeFileOpenDirectory", {{{}, QFileInfo(document).absolutePath()}});
        word->object("Documents")->call("Open", {{"FileName", QFileInfo(document).fileName()}});
        const Variant said = saveActiveDocument(word, page, 8);
        word->object("ActiveWindow")->call("Close");
        if (warnings)
            *warnings = said.isEmpty() ? QString() : said.toText();
        return page;
    }
    int officeStarts() const { return server->session()->generation(); }

    std::shared_ptr<office::WordServer> server;
    ObjectRef word;
    QTemporaryDir out;
};

TEST_F(Fidelity, pageFieldsFloatingObjectsAndLinkedPicturesComeFromTheLayout) {
    bind();
    // Body: "3 pages", "page 2", "page 3 of 3"; the footer once: "page 3 of 3".
    EXPECT_EQ(pageFields(convert(QUILLPG_TEST_DATA_DIR "/page-fields.doc")),
              QStringList({"3", "2", "3", "3", "3", "3"}));

    // The watermark of a header sits on the page, not 0.57 in above it.
    const auto top = QRegularExpression("position: absolute; top: (-?[0-9.]+)in")
                         .match(QString::fromUtf8(readFile(convert(corpusFile("watermark.doc")))));
    EXPECT_GT(top.captured(1).toDouble(), 0.0) << top.captured(0).toStdString();

    // A document with comments is laid out without ending the office.
    const int starts = officeStarts();
    EXPECT_TRUE(readFile(convert(corpusFile("footnote.doc"))).contains("footnote"));
    EXPECT_EQ(officeStarts(), starts);

    // Pictures linked outside the page's folder are reported, not linked.
    QString warnings;
    const QString linking = QString::fromUtf8(
        readFile(convert(QUILLPG_TEST_DATA_DIR "/linked-pictures.doc", &warnings)));
    EXPECT_EQ(warnings, "picture not found: C:\\Documents\\Pictures\\photo1234567.png");
    QStringList sources;
    for (auto it = QRegularExpression("<img [^>]*?src=\"([^\"]*)\"").globalMatch(linking);
         it.hasNext();)
        sources << it.next().captured(1);
    EXPECT_EQ(sources, QStringList{"http://www.example.com/images/web.png"});
    EXPECT_TRUE(linking.contains("name=\"Image1\"")) << "the picture's place is kept";
}

// Here the office is also restarted after every fifth document, as the batch
// tool has each of its offices do after many.
TEST_F(Fidelity, onlyDocumentsWhosePageDependsOnTheLayoutAreLaidOut) {
    bind(5);
    struct Kind {
        const char* name;
        bool laidOut;
        const char* body;
        const char* styles = "";
    };
    const char* const box = "<draw:text-box><text:p>Box</text:p></draw:text-box></draw:frame>";
    const char* const mark = "<text:p><text:bookmark text:name=\"b\"/>Here.</text:p><text:p>See ";
    const Kind kinds[] = {
        {"date-author", false,
         "<text:p>On <text:date>2024-01-01</text:date> by <text:author-name>A</text:author-name>"
         "</text:p>"},
        {"word-field", false,
         "<text:p>By <field:fieldmark-start text:name=\"f\" "
         "field:type=\"vnd.oasis.opendocument.field.UNHANDLED\"><field:param "
         "field:name=\"vnd.oasis.opendocument.field.code\" field:value=\" USERNAME \"/>"
         "</field:fieldmark-start><field:fieldmark-separator/>A<field:fieldmark-end/></text:p>"},
        {"text-reference", false,
         "%1<text:bookmark-ref text:reference-format=\"text\" text:ref-name=\"b\">Here."
         "</text:bookmark-ref></text:p>"},
        {"page-reference", true,
         "%1page <text:bookmark-ref text:reference-format=\"page\" text:ref-name=\"b\">1"
         "</text:bookmark-ref></text:p>"},
        {"chapter", true,
         "<text:h text:outline-level=\"1\">Intro</text:h><text:p><text:chapter "
         "text:display=\"name\" text:outline-level=\"1\">Intro</text:chapter></text:p>"},
        {"statistics", true, "<text:p><text:word-count>2</text:word-count> words</text:p>"},
        {"contents", true,
         "<text:table-of-content text:name=\"C\"><text:table-of-content-source "
         "text:outline-level=\"1\"/><text:index-body><text:p>Intro 1</text:p></text:index-body>"
         "</text:table-of-content><text:h text:outline-level=\"1\">Intro</text:h>"},
        {"footnotes", true,
         "<text:p>A<text:note text:id=\"n1\" text:note-class=\"footnote\"><text:note-citation>1"
         "</text:note-citation><text:note-body><text:p>Note.</text:p></text:note-body></text:note>"
         "</text:p>"},
        {"line-numbers", true, "<text:p>Text.</text:p>",
         "<text:linenumbering-configuration text:number-lines=\"true\" style:num-format=\"1\" "
         "text:increment=\"1\"/>"},
        {"in-line", false,
         "<text:p><draw:frame text:anchor-type=\"as-char\" svg:width=\"2cm\" svg:height=\"1cm\">"
         "%2</text:p>"},
        {"page-relative", true,
         "<text:p><draw:frame text:anchor-type=\"as-char\" svg:width=\"2cm\" "
         "style:rel-width=\"50%\" svg:height=\"1cm\">%2</text:p>"},
        {"floating", true,
         "<text:p><draw:frame text:anchor-type=\"paragraph\" svg:width=\"2cm\" svg:height=\"1cm\">"
         "%2Text.</text:p>"},
    };
    for (const Kind& kind : kinds) {
        const QString file = writeFile(
            out.filePath(QStringLiteral("%1.fodt").arg(kind.name)),
            QStringLiteral(
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document "
                "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
                "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
                "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
                "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
                "xmlns:field=\"urn:openoffice:names:experimental:ooo-ms-interop:xmlns:field:1.0\" "
                "office:version=\"1.3\" "
                "office:mimetype=\"application/vnd.oasis.opendocument.text\">"
                "<office:styles>%1</office:styles><office:body><office:text>%2</office:text>"
                "</office:body></office:document>")
                .arg(QLatin1String(kind.styles),
                     QString::fromLatin1(kind.body).replace("%1", mark).replace("%2", box))
                .toUtf8());
        const int layouts = phaseTotal(Phase::Layout).times;
        EXPECT_TRUE(QFileInfo::exists(convert(file))) << kind.name;
        EXPECT_EQ(phaseTotal(Phase::Layout).times - layouts, kind.laidOut ? 1 : 0) << kind.name;
    }
    // Started for the first, the sixth and the eleventh document.
    EXPECT_EQ(officeStarts(), 3);
}

// The editing view of a document with comments can end the office: the
// document is loaded again and, if the office ends again, converted without
// its layout, saying so. The next document is laid out as usual.
TEST_F(Fidelity, anOfficeThatDiesLayingOutCostsNoDocument) {
    bind(0, office::DocumentLayout::EditingView);
    const QStringList documents{corpusFile("simple.doc"), corpusFile("footnote.doc"),
                                QUILLPG_TEST_DATA_DIR "/page-fields.doc"};
    QStringList pages, warnings(3);
    for (int i = 0; i < 3; ++i)
        ASSERT_NO_THROW(pages << convert(documents[i], &warnings[i])) << i;
    EXPECT_GE(officeStarts(), 2) << "footnote.doc no longer ends the office laying it out";
    EXPECT_EQ(warnings[0] + warnings[2], "");
    EXPECT_TRUE(warnings[1].isEmpty() ||
                warnings[1].startsWith("converted without its page layout"))
        << warnings[1].toStdString();
    EXPECT_TRUE(readFile(pages[1]).contains("footnote"));
    EXPECT_EQ(pageFields(pages[2]), QStringList({"3", "2", "3", "3", "3", "3"}));
}

} // namespace
