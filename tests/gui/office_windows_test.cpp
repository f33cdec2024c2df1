// The windows with the real office behind them: one document through File ->
// Open, and the corpus folder as a batch through the Batch Documents dialog.

#include "GuiHarness.h"
#include "OfficeTestServer.h"

#include "ui/BatchDialog.h"
#include "ui/DocumentListView.h"
#include "ui/MainWindow.h"
#include "ui/SettingsDialog.h"

#include <QListWidget>
#include <QRadioButton>

namespace qp::test {
namespace {

QString text(const QString& page) {
    return QString::fromUtf8(readFile(page));
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
        startIdle();
    }

    // A copy of the corpus document, opened with File -> Open and saved as page.
    QString open(const QString& name, const QString& page) {
        const QString document = path(name);
        QFile::copy(corpusFile(name), document);
        dialogs.reset();
        dialogs.answerFile(document);
        dialogs.answerFile(page);
        clickMenu(main().menuBar(), main().fileMenu, main().openAction);
        return document;
    }

    MainWindow& main() { return windows.mainWindow(); }
    static inline std::shared_ptr<office::WordServer> office;
};

TEST_F(OfficeWindows, OpenWritesThePageAtTheProposedOrTheChosenPathInEitherFormat) {
    const QString proposed = path("simple.htm");
    const QString document = open("simple.doc", proposed);
    EXPECT_EQ(dialogs.files.at(1).fileName, proposed);
    EXPECT_TRUE(text(proposed).contains("This is a simple file created with Word 97-SR2"));
    EXPECT_FALSE(text(proposed).contains("xmlns"));
    EXPECT_EQ(main().documentList().status(document), "Converted");

    // "Filtered", chosen in the Settings dialog.
    whenModal<SettingsDialog>([](SettingsDialog& settings) {
        QTest::mouseClick(settings.filteredOption, Qt::LeftButton);
        QTest::mouseClick(settings.okButton, Qt::LeftButton);
    });
    clickMenu(main().menuBar(), main().optionsMenu, main().settingsAction);
    QDir().mkpath(path("pages"));
    const QString chosen = path("pages/chosen #1.htm");
    open("simple.doc", chosen);
    EXPECT_TRUE(text(chosen).contains("xmlns")) << "not the filtered page";
    EXPECT_TRUE(text(chosen).contains("simple file"));
    EXPECT_EQ(main().documentList().status(document), "Converted");
    EXPECT_EQ(main().statusText(), "1 converted, 0 failed");
}

TEST_F(OfficeWindows, ADocumentTheOfficeCannotOpenIsMarkedFailedWithTheOfficesReason) {
    const QString document = open("PasswordProtected.doc", path("PasswordProtected.htm"));
    const QString detail = main().documentList().detail(document);
    EXPECT_EQ(main().documentList().status(document), "Failed");
    EXPECT_TRUE(detail.contains("could not be opened")) << detail.toStdString();
    EXPECT_TRUE(main().statusText().contains("could not be opened"));
    EXPECT_FALSE(QFile::exists(path("PasswordProtected.htm")));
    // The next document still converts.
    const QString next = open("Word95.doc", path("Word95.htm"));
    EXPECT_EQ(main().documentList().status(next), "Converted");
}

TEST_F(OfficeWindows, TheCorpusFolderAsABatchConvertsAllButTheUnreadableDocuments) {
    const QString out = path("out");
    QDir().mkpath(out);
    whenModal<BatchDialog>([&](BatchDialog& batch) {
        dialogs.answerFolder(corpusDir());
        QTest::mouseClick(batch.sourceButton, Qt::LeftButton);
        EXPECT_EQ(batch.foundList->count(), 30);
        dialogs.answerFolder(out);
        QTest::mouseClick(batch.targetButton, Qt::LeftButton);
        QTest::mouseClick(batch.startButton, Qt::LeftButton);
    });
    clickMenu(main().menuBar(), main().fileMenu, main().batchAction);

    DocumentListView& list = main().documentList();
    EXPECT_EQ(list.rowCount(), 30);
    const QStringList unreadable{
        "PasswordProtected.doc",
        "clusterfuzz-testcase-minimized-POIHWPFFuzzer-5074346559012864.doc"};
    for (const QString& name : QDir(corpusDir()).entryList({"*.doc", "*.DOC"}, QDir::Files))
        EXPECT_EQ(list.status(corpusFile(name)), unreadable.contains(name) ? "Failed" : "Converted")
            << name.toStdString();
    EXPECT_TRUE(text(out + "/footnote.htm").contains("Test text"));
    EXPECT_TRUE(QFile::exists(out + "/cn.orthodox.www_divenbog_APRIL_30-APRIL.htm"));
    EXPECT_TRUE(main().statusText().startsWith("28 converted, 2 failed"))
        << main().statusText().toStdString();
    EXPECT_TRUE(main().openAction->isEnabled()) << "still busy after the batch";
}

TEST_F(OfficeWindows, StopOrCloseDuringABatchEndsItAfterTheCurrentDocumentAsThePagesShow) {
    const QString in = path("in");
    QDir().mkpath(in);
    const int count = 12;
    for (int i = 0; i < count; ++i)
        QFile::copy(corpusFile("simple.doc"),
                    in + QStringLiteral("/d%1.doc").arg(i, 2, 10, QChar('0')));
    for (const bool close : {false, true}) {
        const QString out = path(close ? "closed" : "stopped");
        QDir().mkpath(out);
        // Pressed while the office works on the third document.
        QTimer press;
        QObject::connect(&press, &QTimer::timeout, [&] {
            if (!main().statusText().startsWith(QStringLiteral("Converting 3 of %1").arg(count)))
                return;
            press.stop();
            (close ? main().closeAction : main().stopAction)->trigger();
        });
        press.start(1);
        batchThroughMenu(main(), dialogs, in, out);
        press.stop();

        const QStringList pages = QDir(out).entryList({"*.htm"}, QDir::Files);
        EXPECT_EQ(pages, (QStringList{"d00.htm", "d01.htm", "d02.htm"}));
        EXPECT_EQ(main().statusText(),
                  QStringLiteral("3 converted, 0 failed, %1 not converted (%2)")
                      .arg(count - 3)
                      .arg(close ? "closed" : "stopped"));
        DocumentListView& list = main().documentList();
        EXPECT_EQ(list.rowCount(), close ? 0 : 3);
        for (int i = 0; i < list.rowCount(); ++i)
            EXPECT_EQ(list.topLevelItem(i)->text(1), "Converted");
        EXPECT_TRUE(main().openAction->isEnabled()) << "still busy after the job";
    }
}

} // namespace
} // namespace qp::test
