// The windows with the real office behind them: one document through File ->
// Open, and the corpus folder as a batch through Quick Start.

#include "GuiHarness.h"
#include "OfficeTestServer.h"

#include "ui/DocumentListView.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/frmSettings.h"

#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace qp::test {
namespace {

QString text(const QString& page) {
    QFile file(page);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class OfficeWindows : public WindowTest {
protected:
    static void SetUpTestSuite() {
        office = std::make_shared<office::WordServer>(privateOfficeOptions());
    }
    static void TearDownTestSuite() {
        office->shutdown();
        office.reset();
    }

    void SetUp() override {
        WindowTest::SetUp();
        // The recording fake that the fixture installs gives way to the office.
        AutomationRuntime::registerServer(QStringLiteral("Word.Application"), office);
        whenModal<Form3>(
            [](Form3& quickStart) { QTest::mouseClick(quickStart.btnCancel, Qt::LeftButton); });
        ASSERT_TRUE(startUp());
    }

    // File -> Open with the document, then the save dialog answered with page.
    void open(const QString& document, const QString& page) {
        dialogs.answerFile(document);
        dialogs.answerFile(page);
        Form2& main = Form2::instance();
        clickMenu(main.menuBar(), main.mnuFile, main.mnuOpen);
    }

    QString copyOfCorpus(const QString& name) {
        const QString copy = path(name);
        EXPECT_TRUE(QFile::copy(corpusFile(name), copy));
        return copy;
    }

    static inline std::shared_ptr<office::WordServer> office;
};

TEST_F(OfficeWindows, OpenWritesThePageAtTheProposedOrTheChosenPathInEitherFormat) {
    const QString document = copyOfCorpus(QStringLiteral("simple.doc"));
    const QString proposed = path(QStringLiteral("simple.htm"));
    open(document, proposed);
    ASSERT_EQ(dialogs.files.size(), 2u);
    EXPECT_EQ(dialogs.files[1].fileName, proposed);
    EXPECT_TRUE(
        text(proposed).contains(QStringLiteral("This is a simple file created with Word 97-SR2")));
    EXPECT_FALSE(text(proposed).contains(QStringLiteral("xmlns")));
    DocumentListView& list = Form2::instance().documentList();
    EXPECT_EQ(list.status(document), QStringLiteral("Converted"));

    // " Filtered", chosen in the Settings dialog.
    whenModal<frmSettings>([](frmSettings& settings) {
        QTest::mouseClick(settings.optFiltered, Qt::LeftButton);
        QTest::mouseClick(settings.btnOK, Qt::LeftButton);
    });
    clickMenu(Form2::instance().menuBar(), Form2::instance().mnuSettings,
              Form2::instance().mnuMacroRun);
    dialogs.reset();
    QDir().mkpath(path(QStringLiteral("pages")));
    const QString chosen = path(QStringLiteral("pages/chosen #1.htm"));
    open(document, chosen);
    EXPECT_TRUE(text(chosen).contains(QStringLiteral("xmlns"))) << "not the filtered page";
    EXPECT_TRUE(text(chosen).contains(QStringLiteral("simple file")));
    EXPECT_EQ(list.status(document), QStringLiteral("Converted"));
    EXPECT_EQ(Form2::instance().statusText(), QStringLiteral("1 converted, 0 failed"));
}

TEST_F(OfficeWindows, ADocumentTheOfficeCannotOpenIsMarkedFailedWithTheOfficesReason) {
    const QString document = copyOfCorpus(QStringLiteral("PasswordProtected.doc"));
    open(document, path(QStringLiteral("PasswordProtected.htm")));
    DocumentListView& list = Form2::instance().documentList();
    EXPECT_EQ(list.status(document), QStringLiteral("Failed"));
    EXPECT_TRUE(list.detail(document).contains(QStringLiteral("could not be opened")))
        << list.detail(document).toStdString();
    EXPECT_TRUE(Form2::instance().statusText().contains(QStringLiteral("could not be opened")));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("PasswordProtected.htm"))));
    // The next document still converts.
    const QString next = copyOfCorpus(QStringLiteral("Word95.doc"));
    dialogs.reset();
    open(next, path(QStringLiteral("Word95.htm")));
    EXPECT_EQ(list.status(next), QStringLiteral("Converted"));
}

TEST_F(OfficeWindows, TheCorpusFolderAsABatchConvertsAllButTheUnreadableDocuments) {
    const QString out = path(QStringLiteral("out"));
    QDir().mkpath(out);
    Form2& main = Form2::instance();
    whenModal<Form1>([&](Form1& batch) {
        dialogs.answerFolder(corpusDir());
        QTest::mouseClick(batch.btnSource, Qt::LeftButton);
        EXPECT_EQ(batch.List1->count(), 30);
        dialogs.answerFolder(out);
        QTest::mouseClick(batch.btnTarget, Qt::LeftButton);
        QTest::mouseClick(batch.Command1, Qt::LeftButton);
    });
    clickMenu(main.menuBar(), main.mnuFile, main.mnuBatch);

    DocumentListView& list = main.documentList();
    EXPECT_EQ(list.rowCount(), 30);
    const QStringList unreadable{
        QStringLiteral("PasswordProtected.doc"),
        QStringLiteral("clusterfuzz-testcase-minimized-POIHWPFFuzzer-5074346559012864.doc")};
    for (const QString& name : QDir(corpusDir()).entryList(QDir::Files)) {
        if (!name.endsWith(QLatin1String(".doc"), Qt::CaseInsensitive))
            continue;
        const QString document = corpusDir() + QLatin1Char('/') + name;
        EXPECT_EQ(list.status(document), unreadable.contains(name) ? QStringLiteral("Failed")
                                                                   : QStringLiteral("Converted"))
            << name.toStdString();
    }
    EXPECT_TRUE(text(out + QStringLiteral("/footnote.htm")).contains(QStringLiteral("Test text")));
    EXPECT_TRUE(
        QFile::exists(out + QStringLiteral("/cn.orthodox.www_divenbog_APRIL_30-APRIL.htm")));
    EXPECT_TRUE(main.statusText().startsWith(QStringLiteral("28 converted, 2 failed")))
        << main.statusText().toStdString();
    EXPECT_TRUE(main.mnuOpen->isEnabled()) << "still busy after the batch";
}

// With no office to be found, start-up shows the binding failure and nothing else.
TEST(OfficeMissing, StartUpShowsCouldNotFindWordPerfectAndNoWindow) {
    auto options = privateOfficeOptions(QStringLiteral("-missing"));
    options.installation = QStringLiteral("/nonexistent");
    AutomationRuntime::registerServer(QStringLiteral("Word.Application"),
                                      std::make_shared<office::WordServer>(options));
    ScriptedDialogs dialogs;
    dialogs.answerMessage(MessageAnswer::Ok);
    EXPECT_FALSE(startUp());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("Could not find WordPerfect"));
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Error!"));
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Exclamation);
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_FALSE(window->isVisible()) << window->objectName().toStdString();
    releaseApplication();
    AutomationRuntime::unregisterServer(QStringLiteral("Word.Application"));
}

} // namespace
} // namespace qp::test
