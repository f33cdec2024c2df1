#include "ui/AboutLink.h"
#include "ui/LinkLabel.h"
#include "ui/Links.h"
#include "ui/frmAbout.h"

#include "ScriptedDialogs.h"
#include "StubPrograms.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using qp::frmAbout;
using qp::MessageAnswer;
using qp::MessageButtons;
using qp::MessageIcon;
using qp::MessageRequest;
using qp::test::PrivateDesktop;
using qp::test::ScriptedDialogs;

namespace {

// Every test starts with no About box loaded, a private PATH and private
// desktop entries, and scripted message boxes.
class AboutBox : public ::testing::Test {
protected:
    void TearDown() override {
        frmAbout::destroyInstance();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Shows the box as the "Info" menu item does and returns it.
    frmAbout* show() {
        qp::showAboutBox();
        frmAbout* box = frmAbout::loadedInstance();
        EXPECT_NE(box, nullptr);
        if (box) {
            EXPECT_TRUE(box->isVisible());
        }
        return box;
    }

    // The one message shown, owned by the box.
    void expectMessage(const frmAbout* box, const char* text, const char* title, MessageIcon icon) {
        ASSERT_EQ(dialogs.messages.size(), 1u);
        const MessageRequest& message = dialogs.messages[0];
        EXPECT_EQ(message.text, QString::fromUtf8(text));
        EXPECT_EQ(message.title, QString::fromUtf8(title));
        EXPECT_EQ(message.icon, icon);
        EXPECT_EQ(message.buttons, MessageButtons::Ok);
        EXPECT_EQ(message.owner, static_cast<const QObject*>(box));
    }

    // A browser on the private PATH, registered for web pages; returns the
    // file in which it records its arguments.
    QString installBrowser() {
        desktop.installXdgMime("stub-browser.desktop");
        PrivateDesktop::writeDesktopEntry(desktop.homeApplications(),
                                          QStringLiteral("stub-browser.desktop"),
                                          "[Desktop Entry]\nExec=stub-browser %u\n");
        return desktop.installRecorder(QStringLiteral("stub-browser"));
    }

    PrivateDesktop desktop;
    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(AboutBox, LoadsWithTitleVersionDescriptionAndLink) {
    frmAbout* box = show();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("About Quillpage - HTML"));
    EXPECT_EQ(box->lblTitle->text(), QStringLiteral("Quillpage - HTML"));
    EXPECT_EQ(box->lblVersion->text(), QStringLiteral("Version 2.0.7"));
    EXPECT_EQ(box->lblDescription->text(), QStringLiteral("Converts Word Documents to HTMLs"));
    EXPECT_EQ(box->Label3->text(), QStringLiteral("https://quillpage.org/html/"));
    EXPECT_EQ(box->Label3->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(box->cmdSysInfo->text(), QStringLiteral("&System Info..."));
    EXPECT_EQ(box->cmdOK->text(), QStringLiteral("OK"));
    EXPECT_TRUE(box->cmdOK->isDefault());

    // Modeless, without an owner, of fixed size (5610 x 4140 twips).
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(box->parentWidget(), nullptr);
    EXPECT_EQ(box->size(), QSize(374, 276));
    EXPECT_EQ(box->minimumSize(), box->maximumSize());

    // The etched separator: grey, with a white two-pixel line just below.
    EXPECT_EQ(box->Line1->height(), 1);
    EXPECT_EQ(box->Line2->height(), 2);
    EXPECT_EQ(box->Line2->y(), box->Line1->y() + 1);
    EXPECT_EQ(box->Line1->palette().color(QPalette::Window), QColor(128, 128, 128));
    EXPECT_EQ(box->Line2->palette().color(QPalette::Window), QColor(Qt::white));
}

TEST_F(AboutBox, InfoAgainShowsTheSameBoxAndOkUnloadsIt) {
    frmAbout* first = show();
    ASSERT_NE(first, nullptr);
    first->lblVersion->setText(QStringLiteral("changed"));
    EXPECT_EQ(show(), first);
    EXPECT_EQ(first->lblVersion->text(), QStringLiteral("changed"));

    QPointer<frmAbout> unloaded = first;
    QTest::mouseClick(first->cmdOK, Qt::LeftButton);
    EXPECT_EQ(frmAbout::loadedInstance(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(unloaded.isNull());

    // The next showing loads the box afresh.
    frmAbout* second = show();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->lblVersion->text(), QStringLiteral("Version 2.0.7"));
}

TEST_F(AboutBox, EnterAndEscapeCloseItAndTabGoesFromOkToSystemInfo) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        SCOPED_TRACE(key == Qt::Key_Return ? "Enter" : "Escape");
        frmAbout* box = show();
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(box));
        ASSERT_EQ(QApplication::focusWidget(), box->cmdOK);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), box->cmdSysInfo);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), box->cmdOK);

        QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_FALSE(box->isVisible());
        EXPECT_EQ(frmAbout::loadedInstance(), nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(AboutBox, TheCloseBoxUnloadsIt) {
    frmAbout* box = show();
    ASSERT_NE(box, nullptr);
    box->close();
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(frmAbout::loadedInstance(), nullptr);
}

TEST_F(AboutBox, ClickingTheTitleShowsTheAuthorshipNote) {
    frmAbout* box = show();
    ASSERT_NE(box, nullptr);
    dialogs.answerMessage(MessageAnswer::Ok);
    QTest::mouseClick(box->lblTitle, Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_FALSE(dialogs.messages[0].text.isEmpty());
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Quillpage - HTML"));
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::None);
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::Ok);
    EXPECT_TRUE(box->isVisible());
}

TEST_F(AboutBox, TheLinkOpensTheProductPageInTheAssociatedBrowser) {
    const QString record = installBrowser();
    frmAbout* box = show();
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box->Label3, Qt::LeftButton);
    const auto arguments = PrivateDesktop::waitForRecord(record);
    ASSERT_TRUE(arguments.has_value()) << "the browser never ran";
    EXPECT_EQ(*arguments, QStringList{qp::Links::productPage()});
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(box->isVisible());
}

TEST_F(AboutBox, TheLinkReportsAMissingBrowser) {
    // No xdg-mime on the private PATH: nothing is associated with web pages.
    frmAbout* box = show();
    ASSERT_NE(box, nullptr);
    dialogs.answerMessage(MessageAnswer::Ok);
    QTest::mouseClick(box->Label3, Qt::LeftButton);
    expectMessage(box, "Could not find associated Browser", "Browser Not Found",
                  MessageIcon::Exclamation);
    EXPECT_TRUE(box->isVisible());
}

TEST_F(AboutBox, TheLinkReportsABrowserThatCannotStart) {
    installBrowser();
    PrivateDesktop::writeText(desktop.bin() + QStringLiteral("/stub-browser"),
                              "#!/nonexistent/interpreter\n");
    frmAbout* box = show();
    ASSERT_NE(box, nullptr);
    dialogs.answerMessage(MessageAnswer::Ok);
    QTest::mouseClick(box->Label3, Qt::LeftButton);
    expectMessage(box, "Web Page not Opened", "URL Failed", MessageIcon::Exclamation);
    EXPECT_TRUE(box->isVisible());
}

TEST_F(AboutBox, SystemInfoIsUnavailableWithoutATool) {
    desktop.setEnvironment("PATH", QString());
    frmAbout* box = show();
    ASSERT_NE(box, nullptr);
    dialogs.answerMessage(MessageAnswer::Ok);
    QTest::mouseClick(box->cmdSysInfo, Qt::LeftButton);
    expectMessage(box, "System Information Is Unavailable At This Time", "Quillpage - HTML",
                  MessageIcon::None);
    EXPECT_TRUE(box->isVisible());
}

TEST_F(AboutBox, SystemInfoStartsTheToolFoundOnPath) {
    const QString record = desktop.installRecorder(QStringLiteral("kinfocenter"));
    frmAbout* box = show();
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box->cmdSysInfo, Qt::LeftButton);
    const auto arguments = PrivateDesktop::waitForRecord(record);
    ASSERT_TRUE(arguments.has_value()) << "the tool never ran";
    EXPECT_TRUE(arguments->isEmpty());
    EXPECT_TRUE(dialogs.messages.empty());
}
