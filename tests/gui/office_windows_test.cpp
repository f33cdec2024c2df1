// The windows with the real office behind them, on the pool's thread: one
// document through File -> Open. (Stopping and closing a job are the fake
// window tests' and the batch tool's; the filtered format is the filtered
// page tests'.)

#include "GuiHarness.h"
#include "OfficeTestServer.h"

namespace qp::test {
namespace {

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

TEST_F(OfficeWindows, OpenWritesThePageOrMarksAnUnreadableDocumentFailedWithTheOfficesReason) {
    const QString proposed = path("simple.htm");
    const QString document = open("simple.doc", proposed);
    EXPECT_EQ(dialogs.files.at(1).fileName, proposed);
    EXPECT_TRUE(readFile(proposed).contains("This is a simple file created with Word 97-SR2"));
    EXPECT_FALSE(readFile(proposed).contains("xmlns"));
    EXPECT_EQ(main().documentList().status(document), "Converted");

    // A document the office cannot open fails with the office's reason.
    const QString locked = open("PasswordProtected.doc", path("PasswordProtected.htm"));
    const QString detail = main().documentList().detail(locked);
    EXPECT_EQ(main().documentList().status(locked), "Failed");
    EXPECT_TRUE(detail.endsWith(locked + " is protected by a password")) << detail.toStdString();
    EXPECT_TRUE(main().statusText().contains("is protected by a password"));
    EXPECT_FALSE(QFile::exists(path("PasswordProtected.htm")));
}

} // namespace
} // namespace qp::test
