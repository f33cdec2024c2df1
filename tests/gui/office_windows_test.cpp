// The windows with the real office behind them: one document through File ->
// Open, and the corpus folder as a batch through the Batch Documents dialog.

#include "GuiHarness.h"
#include "OfficeTestServer.h"

#include "ui/BatchDialog.h"
#include "ui/DocumentListView.h"
#include "ui/MainWindow.h"
#include "ui/SettingsDialog.h"

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
        // The recording fake that the fixture installs gives way to the
        // office, and the documents convert on the pool's thread.
        AutomationRuntime::registerServer(QStringLiteral("Word.Application"), office);
        windows.mediator().setEngineMaker({});
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
        EXPECT_TRUE(waitForJobs(windows.mediator()));
        return document;
    }

    MainWindow& main() { return windows.mainWindow(); }
    static inline std::shared_ptr<office::WordServer> office;
};

TEST_F(OfficeWindows, OpenWritesThePageInEitherFormatOrMarksAnUnreadableDocumentFailed) {
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

    // A document the office cannot open fails with the office's reason.
    const QString locked = open("PasswordProtected.doc", path("PasswordProtected.htm"));
    const QString detail = main().documentList().detail(locked);
    EXPECT_EQ(main().documentList().status(locked), "Failed");
    EXPECT_TRUE(detail.endsWith(locked + " is protected by a password")) << detail.toStdString();
    EXPECT_TRUE(main().statusText().contains("is protected by a password"));
    EXPECT_FALSE(QFile::exists(path("PasswordProtected.htm")));
}

TEST_F(OfficeWindows, StopOrCloseDuringABatchEndsItAfterTheCurrentDocumentAsThePagesShow) {
    const QString in = path("in");
    QDir().mkpath(in);
    // First a document the office cannot open, then twelve that it can.
    QFile::copy(corpusFile("PasswordProtected.doc"), in + "/a.doc");
    const int count = 13;
    for (int i = 0; i < count - 1; ++i)
        QFile::copy(corpusFile("simple.doc"),
                    in + QStringLiteral("/d%1.doc").arg(i, 2, 10, QChar('0')));
    for (const bool close : {false, true}) {
        const QString out = path(close ? "closed" : "stopped");
        QDir().mkpath(out);
        // Pressed while the office works on the third document it can open.
        QTimer press;
        QObject::connect(&press, &QTimer::timeout, [&] {
            if (!main().statusText().startsWith(QStringLiteral("Converting 4 of %1").arg(count)))
                return;
            press.stop();
            (close ? main().closeAction : main().stopAction)->trigger();
        });
        press.start(1);
        batchThroughMenu(windows, dialogs, in, out);
        press.stop();

        const QStringList pages = QDir(out).entryList({"*.htm"}, QDir::Files);
        EXPECT_EQ(pages, (QStringList{"d00.htm", "d01.htm", "d02.htm"}));
        EXPECT_TRUE(main().statusText().startsWith(
            QStringLiteral("3 converted, 1 failed, %1 not converted (%2)")
                .arg(count - 4)
                .arg(close ? "closed" : "stopped")))
            << main().statusText().toStdString();
        DocumentListView& list = main().documentList();
        EXPECT_EQ(list.rowCount(), close ? 0 : 4);
        if (!close) {
            EXPECT_EQ(list.status(in + "/a.doc"), "Failed");
            for (const char* name : {"/d00.doc", "/d01.doc", "/d02.doc"})
                EXPECT_EQ(list.status(in + name), "Converted") << name;
        }
        EXPECT_TRUE(main().openAction->isEnabled()) << "still busy after the job";
    }
}

} // namespace
} // namespace qp::test
