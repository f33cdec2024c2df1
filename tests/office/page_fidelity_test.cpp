#include "OfficeTestServer.h"
#include "TestFiles.h"
#include "automation/AutomationRuntime.h"
#include "automation/PhaseClock.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qp;
using namespace qp::test;

namespace {

QString testDocument(const QString& name) {
    return QStringLiteral(QUILLPG_TEST_DATA_DIR "/") + name;
}

QString pageText(const QString& path) {
    return QString::fromUtf8(readFile(path)).remove(QRegularExpression("<[^>]*>")).simplified();
}

// The values of the page's page-number and page-count fields, in order.
QStringList pageFields(const QString& path) {
    QStringList values;
    static const QRegularExpression field("<sdfield type=(PAGE|DOCSTAT)[^>]*>([^<]*)</sdfield>");
    auto matches = field.globalMatch(QString::fromUtf8(readFile(path)));
    while (matches.hasNext())
        values << matches.next().captured(2);
    return values;
}

// A word processor of its own, loading documents the given way.
class Fidelity : public ::testing::Test {
protected:
    void bind(office::DocumentLayout layout) {
        server = office::registerWordServer(privateOfficeOptions());
        server->setDocumentLayout(layout);
        word = AutomationRuntime::createObject("Word.Application");
    }
    void TearDown() override {
        word.reset();
        if (server)
            server->shutdown();
        server.reset();
        AutomationRuntime::unregisterServer("Word.Application");
    }

    // The batch converter's calls for one document; returns SaveAs's warnings.
    QString convert(const QString& document, const QString& page, int format = 8) {
        word->call("ChangeFileOpenDirectory", {{{}, QFileInfo(document).absolutePath()}});
        word->object("Documents")->call("Open", {{"FileName", QFileInfo(document).fileName()}});
        const Variant warnings = saveActiveDocument(word, page, format);
        word->object("ActiveWindow")->call("Close");
        return warnings.isEmpty() ? QString() : warnings.toText();
    }
    QString page(const QString& name) const {
        return out.filePath(QFileInfo(name).completeBaseName() + ".htm");
    }
    int officeStarts() const { return server->session()->generation(); }

    std::shared_ptr<office::WordServer> server;
    ObjectRef word;
    QTemporaryDir out;
};

TEST_F(Fidelity, pageFieldsFloatingObjectsAndLinkedPicturesComeFromTheLayout) {
    bind(office::DocumentLayout::PagePreview);
    const QString fields = testDocument("page-fields.doc");
    convert(fields, page(fields));
    // Body: "3 pages", "page 2", "page 3 of 3"; the footer once: "page 3 of 3".
    EXPECT_EQ(pageFields(page(fields)), QStringList({"3", "2", "3", "3", "3", "3"}));

    // The watermark of a header sits on the page, not 0.57 in above it.
    const QString watermark = corpusFile("watermark.doc");
    convert(watermark, page(watermark));
    const QString html = QString::fromUtf8(readFile(page(watermark)));
    const auto top = QRegularExpression("position: absolute; top: (-?[0-9.]+)in").match(html);
    ASSERT_TRUE(top.hasMatch());
    EXPECT_GT(top.captured(1).toDouble(), 0.0) << top.captured(0).toStdString();

    // A document with comments is laid out without ending the office.
    const int starts = officeStarts();
    convert(corpusFile("footnote.doc"), page("footnote.doc"));
    EXPECT_EQ(officeStarts(), starts);
    EXPECT_TRUE(pageText(page("footnote.doc")).contains("footnote"));

    // Pictures linked outside the page's folder are reported, not linked.
    const QString linked = testDocument("linked-pictures.doc");
    EXPECT_EQ(convert(linked, page(linked)),
              "picture not found: C:\\Documents\\Pictures\\photo1234567.png");
    const QString linking = QString::fromUtf8(readFile(page(linked)));
    QStringList sources;
    auto matches = QRegularExpression("<img [^>]*?src=\"([^\"]*)\"").globalMatch(linking);
    while (matches.hasNext())
        sources << matches.next().captured(1);
    EXPECT_EQ(sources, QStringList{"http://www.example.com/images/web.png"});
    EXPECT_TRUE(linking.contains("name=\"Image1\"")) << "the picture's place is kept";

    // Without a layout the same fields are all 0.
    server->shutdown();
    TearDown();
    bind(office::DocumentLayout::ModelOnly);
    convert(fields, page(fields));
    EXPECT_EQ(pageFields(page(fields)), QStringList({"0", "0", "0", "0", "0", "0"}));

    // A model-only document whose office dies fails; the next one converts.
    word->object("Documents")->call("Open", {{"FileName", corpusFile("simple.doc")}});
    server->session()->killOfficeForTesting();
    try {
        word->object("ActiveDocument")
            ->call("SaveAs", {{"FileName", page("simple.doc")}, {"FileFormat", std::int16_t(8)}});
        ADD_FAILURE() << "SaveAs succeeded in a dead office";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::ServerStopped);
        EXPECT_TRUE(error.description().contains("stopped")) << error.description().toStdString();
    }
    EXPECT_NO_THROW(convert(corpusFile("simple.doc"), page("simple.doc")));
    EXPECT_TRUE(QFileInfo::exists(page("simple.doc")));
}

TEST_F(Fidelity, onlyDocumentsWhosePageDependsOnTheLayoutAreLaidOut) {
    bind(office::DocumentLayout::PagePreview);
    struct Kind {
        const char* name;
        const char* styles;
        const char* body;
        bool laidOut;
    };
    const char* const para = "<text:p>Text.</text:p>";
    const char* const note =
        "<text:p>A<text:note text:id=\"n1\" text:note-class=\"footnote\"><text:note-citation>1"
        "</text:note-citation><text:note-body><text:p>Note.</text:p></text:note-body></text:note>"
        "</text:p>";
    const Kind kinds[] = {
        {"date-author", "",
         "<text:p>On <text:date>2024-01-01</text:date> by <text:author-name>A</text:author-name>"
         "</text:p>",
         false},
        {"word-field", "",
         "<text:p>By <field:fieldmark-start text:name=\"f\" "
         "field:type=\"vnd.oasis.opendocument.field.UNHANDLED\"><field:param "
         "field:name=\"vnd.oasis.opendocument.field.code\" field:value=\" USERNAME \"/>"
         "</field:fieldmark-start><field:fieldmark-separator/>A<field:fieldmark-end/></text:p>",
         false},
        {"text-reference", "",
         "<text:p><text:bookmark text:name=\"b\"/>Here.</text:p><text:p>See <text:bookmark-ref "
         "text:reference-format=\"text\" text:ref-name=\"b\">Here.</text:bookmark-ref></text:p>",
         false},
        {"page-reference", "",
         "<text:p><text:bookmark text:name=\"b\"/>Here.</text:p><text:p>See page "
         "<text:bookmark-ref "
         "text:reference-format=\"page\" text:ref-name=\"b\">1</text:bookmark-ref></text:p>",
         true},
        {"chapter", "",
         "<text:h text:outline-level=\"1\">Intro</text:h><text:p><text:chapter "
         "text:display=\"name\" text:outline-level=\"1\">Intro</text:chapter></text:p>",
         true},
        {"statistics", "", "<text:p><text:word-count>2</text:word-count> words</text:p>", true},
        {"contents", "",
         "<text:table-of-content text:name=\"C\"><text:table-of-content-source "
         "text:outline-level=\"1\"/><text:index-body><text:p>Intro 1</text:p></text:index-body>"
         "</text:table-of-content><text:h text:outline-level=\"1\">Intro</text:h>",
         true},
        {"footnotes", "", note, true},
        {"line-numbers",
         "<text:linenumbering-configuration text:number-lines=\"true\" style:num-format=\"1\" "
         "text:increment=\"1\"/>",
         para, true},
        {"in-line", "",
         "<text:p><draw:frame text:anchor-type=\"as-char\" svg:width=\"2cm\" svg:height=\"1cm\">"
         "<draw:text-box><text:p>Box</text:p></draw:text-box></draw:frame></text:p>",
         false},
        {"page-relative", "",
         "<text:p><draw:frame text:anchor-type=\"as-char\" svg:width=\"2cm\" "
         "style:rel-width=\"50%\" "
         "svg:height=\"1cm\"><draw:text-box><text:p>Box</text:p></draw:text-box></draw:frame>"
         "</text:p>",
         true},
        {"floating", "",
         "<text:p><draw:frame text:anchor-type=\"paragraph\" svg:width=\"2cm\" svg:height=\"1cm\">"
         "<draw:text-box><text:p>Box</text:p></draw:text-box></draw:frame>Text.</text:p>",
         true},
    };
    for (const Kind& kind : kinds) {
        const QString file = out.filePath(QStringLiteral("%1.fodt").arg(kind.name));
        QFile document(file);
        ASSERT_TRUE(document.open(QIODevice::WriteOnly));
        document.write(
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
                .arg(QLatin1String(kind.styles), QLatin1String(kind.body))
                .toUtf8());
        document.close();
        const int layouts = phaseTotal(Phase::Layout).times;
        convert(file, page(file));
        EXPECT_TRUE(QFileInfo::exists(page(file))) << kind.name;
        EXPECT_EQ(phaseTotal(Phase::Layout).times - layouts, kind.laidOut ? 1 : 0) << kind.name;
    }
}

TEST_F(Fidelity, anOfficeThatDiesLayingOutCostsNoDocument) {
    // The editing view of a document with comments ends an office without
    // its user interface files; the document is loaded again, and when the
    // office ends again it is converted without a layout, saying so. (The
    // second load may survive when the office is slow, so either outcome is
    // right.) The next document is laid out as usual.
    bind(office::DocumentLayout::EditingView);
    const QStringList documents{corpusFile("simple.doc"), corpusFile("footnote.doc"),
                                testDocument("page-fields.doc")};
    QStringList warnings;
    for (const QString& document : documents)
        EXPECT_NO_THROW(warnings << convert(document, page(document))) << document.toStdString();
    EXPECT_GE(officeStarts(), 2) << "footnote.doc no longer ends the office laying it out";
    ASSERT_EQ(warnings.size(), 3);
    EXPECT_EQ(warnings[0], "");
    EXPECT_TRUE(warnings[1].isEmpty() ||
                warnings[1].startsWith("converted without its page layout"))
        << warnings[1].toStdString();
    EXPECT_EQ(warnings[2], "");
    EXPECT_TRUE(pageText(page("footnote.doc")).contains("footnote"));
    EXPECT_EQ(pageFields(page("page-fields.doc")), QStringList({"3", "2", "3", "3", "3", "3"}));
    EXPECT_EQ(word->object("Documents")->get("Count").toInt(), 0);
}

} // namespace
