#include "ui/AboutDialog.h"
#include "ui/AboutLink.h"
#include "ui/LinkLabel.h"
#include "ui/Links.h"
#include "ui/WidgetWindows.h"

#include "QtPrinters.h"
#include "ScriptedDialogs.h"
#include "StubPrograms.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

namespace qp::test {
namespace {

// Every test starts with no About box loaded, a private PATH and private
// desktop entries, and scripted message boxes.
class AboutBox : public ::testing::Test {
protected:
    void TearDown() override {
        windows.unloadAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Shows the box as the "Info" menu item does and returns it.
    AboutDialog& show() {
        windows.aboutDialog().showBox();
        AboutDialog* box = windows.loaded<AboutDialog>();
        if (!box)
            throw std::runtime_error("no About box");
        EXPECT_TRUE(box->isVisible());
        return *box;
    }

    // Clicks the widget and expects the one message box, owned by the box,
    // with that text, title and icon; the box stays.
    void expectMessage(QWidget* widget, const char* text, const char* title, MessageIcon icon) {
        dialogs.answerMessage(MessageAnswer::Ok);
        QTest::mouseClick(widget, Qt::LeftButton);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        const MessageRequest& message = dialogs.messages[0];
        EXPECT_EQ(message.text, QString::fromUtf8(text));
        EXPECT_EQ(message.title, QString::fromUtf8(title));
        EXPECT_EQ(message.icon, icon);
        EXPECT_EQ(message.owner, static_cast<const QObject*>(windows.loaded<AboutDialog>()));
        EXPECT_TRUE(widget->window()->isVisible());
    }

    PrivateDesktop desktop;
    ScriptedDialogs dialogs;
    WidgetWindows windows{dialogs};
};

TEST_F(AboutBox, InfoShowsTheVersionAndAgainTheSameBoxWhichOkEnterEscapeOrTheCloseBoxUnloads) {
    AboutDialog& first = show();
    EXPECT_EQ(first.versionLabel->text(), "Version " QUILLPG_VERSION);
    EXPECT_FALSE(first.isModal());
    EXPECT_EQ(&show(), &first);

    QPointer<AboutDialog> unloaded = &first;
    QTest::mouseClick(first.okButton, Qt::LeftButton);
    EXPECT_EQ(windows.loaded<AboutDialog>(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(unloaded.isNull());
    // The next showing loads the box afresh.
    EXPECT_EQ(show().versionLabel->text(), "Version " QUILLPG_VERSION);

    // Enter, Escape and the close box close it too.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_unknown}) {
        SCOPED_TRACE(key);
        AboutDialog& box = show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
        ASSERT_EQ(QApplication::focusWidget(), box.okButton);
        if (key == Qt::Key_unknown)
            box.close();
        else
            QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_FALSE(box.isVisible());
        EXPECT_EQ(windows.loaded<AboutDialog>(), nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(AboutBox, TheLinkOpensTheProductPageInTheAssociatedBrowserOrSaysWhyNot) {
    // No xdg-mime on the private PATH: nothing is associated with web pages.
    expectMessage(show().Label3, "Could not find associated Browser", "Browser Not Found",
                  MessageIcon::Exclamation);
    dialogs.reset();
    const QString record = desktop.installBrowser();
    QTest::mouseClick(show().Label3, Qt::LeftButton);
    EXPECT_EQ(PrivateDesktop::waitForRecord(record), QStringList{Links::productPage()});
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(show().isVisible());
    writeFile(desktop.bin() + "/stub-browser", "#!/nonexistent/interpreter\n");
    expectMessage(show().Label3, "Web Page not Opened", "URL Failed", MessageIcon::Exclamation);
}

TEST_F(AboutBox, SystemInfoStartsTheToolFoundOnPathOrIsUnavailable) {
    desktop.setEnvironment("PATH", QString());
    expectMessage(show().systemInfoButton, "System Information Is Unavailable At This Time",
                  "Quillpage - HTML", MessageIcon::None);
    dialogs.reset();
    desktop.setEnvironment("PATH", desktop.bin());
    const QString record = desktop.installRecorder("kinfocenter");
    QTest::mouseClick(show().systemInfoButton, Qt::LeftButton);
    EXPECT_EQ(PrivateDesktop::waitForRecord(record), QStringList());
    EXPECT_TRUE(dialogs.messages.empty());
}

} // namespace
} // namespace qp::test
