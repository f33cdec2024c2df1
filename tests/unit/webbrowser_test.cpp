#include "platform/ProgramSearch.h"
#include "platform/SystemInformation.h"
#include "platform/WebBrowser.h"

#include "StubPrograms.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace WebBrowser = qp::WebBrowser;
namespace SystemInformation = qp::SystemInformation;
using qp::test::PrivateDesktop;
using Result = qp::WebBrowser::Result;

namespace {

const QString Url = QStringLiteral("https://quillpage.org/html/");

QStringList list(std::initializer_list<const char*> items) {
    QStringList result;
    for (const char* item : items)
        result << QString::fromUtf8(item);
    return result;
}

// A browser on the private PATH, registered for web pages.
class BrowserDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        desktop.installXdgMime("stub-browser.desktop");
        record = desktop.installRecorder(QStringLiteral("stub-browser"));
        PrivateDesktop::writeDesktopEntry(desktop.homeApplications(),
                                          QStringLiteral("stub-browser.desktop"),
                                          "[Desktop Entry]\nType=Application\nName=Stub\n"
                                          "Exec=stub-browser %u\n");
    }

    PrivateDesktop desktop;
    QString record;
};

} // namespace

TEST(ExecLine, SplitsByTheDesktopEntryQuotingRulesAndDropsFieldCodes) {
    EXPECT_EQ(WebBrowser::splitExec(QStringLiteral("firefox %u")), list({"firefox"}));
    EXPECT_EQ(WebBrowser::splitExec(QStringLiteral("  browser\t--new-window  %U %f %F %i %c %k ")),
              list({"browser", "--new-window"}));
    EXPECT_EQ(WebBrowser::splitExec(QStringLiteral("\"/opt/My Browser/run\" --flag %u")),
              list({"/opt/My Browser/run", "--flag"}));
    EXPECT_EQ(
        WebBrowser::splitExec(QStringLiteral(R"("say \"hi\"" "\$HOME" "back\\slash" "\`x\`")")),
        list({"say \"hi\"", "$HOME", "back\\slash", "`x`"}));
    EXPECT_EQ(WebBrowser::splitExec(QStringLiteral("prog 100%% \"\"")), list({"prog", "100%", ""}));
    EXPECT_EQ(WebBrowser::splitExec(QStringLiteral("pre\"fix rest\" %u")), list({"prefix rest"}));

    EXPECT_EQ(WebBrowser::programOfExec(QStringLiteral("\"/opt/My Browser/run\" %u")),
              QStringLiteral("/opt/My Browser/run"));
    // An unterminated quote names no program; field codes alone neither.
    EXPECT_TRUE(WebBrowser::splitExec(QStringLiteral("\"/opt/broken %u")).isEmpty());
    EXPECT_TRUE(WebBrowser::programOfExec(QStringLiteral("%u")).isEmpty());
    EXPECT_TRUE(WebBrowser::programOfExec(QString()).isEmpty());
}

TEST(ExecLine, IsReadFromTheMainGroupWithItsStringEscapesDecoded) {
    PrivateDesktop desktop;
    const QString entry = desktop.path(QStringLiteral("entry.desktop"));
    PrivateDesktop::writeText(entry, "# Exec=comment\n"
                                     "[Desktop Action private]\nExec=private-window %u\n"
                                     "[Desktop Entry]\nTryExec=other\nName=Browser\n"
                                     "Exec = \"/opt/My\\sBrowser/a\\\\\\\\b\" %u\n"
                                     "[Desktop Action new]\nExec=new-window\n");
    const QString exec = WebBrowser::execOfDesktopEntry(entry);
    EXPECT_EQ(exec, QStringLiteral("\"/opt/My Browser/a\\\\b\" %u"));
    EXPECT_EQ(WebBrowser::programOfExec(exec), QStringLiteral("/opt/My Browser/a\\b"));

    PrivateDesktop::writeText(entry, "[Desktop Action x]\nExec=x\n[Desktop Entry]\nName=None\n");
    EXPECT_TRUE(WebBrowser::execOfDesktopEntry(entry).isEmpty());
    EXPECT_TRUE(WebBrowser::execOfDesktopEntry(desktop.path(QStringLiteral("missing"))).isEmpty());
}

TEST(DesktopEntries, AreSearchedInTheUserFolderFirstThenTheSystemFolders) {
    PrivateDesktop desktop;
    const QString second = desktop.path(QStringLiteral("second"));
    desktop.setEnvironment("XDG_DATA_DIRS", QStringLiteral("relative/share::") +
                                                desktop.path(QStringLiteral("system")) +
                                                QLatin1Char(':') + second);
    EXPECT_EQ(WebBrowser::applicationFolders(),
              QStringList({desktop.homeApplications(), desktop.systemApplications(),
                           second + QStringLiteral("/applications")}));

    const QByteArray entry = "[Desktop Entry]\nExec=x\n";
    PrivateDesktop::writeDesktopEntry(second + QStringLiteral("/applications"),
                                      QStringLiteral("only-second.desktop"), entry);
    PrivateDesktop::writeDesktopEntry(desktop.systemApplications(), QStringLiteral("both.desktop"),
                                      entry);
    PrivateDesktop::writeDesktopEntry(desktop.homeApplications(), QStringLiteral("both.desktop"),
                                      entry);
    PrivateDesktop::writeDesktopEntry(desktop.systemApplications(),
                                      QStringLiteral("vendor/sub/browser.desktop"), entry);

    EXPECT_EQ(WebBrowser::findDesktopEntry(QStringLiteral("both.desktop")),
              desktop.homeApplications() + QStringLiteral("/both.desktop"));
    EXPECT_EQ(WebBrowser::findDesktopEntry(QStringLiteral("only-second.desktop")),
              second + QStringLiteral("/applications/only-second.desktop"));
    EXPECT_EQ(WebBrowser::findDesktopEntry(QStringLiteral("vendor-sub-browser.desktop")),
              desktop.systemApplications() + QStringLiteral("/vendor/sub/browser.desktop"));
    EXPECT_TRUE(WebBrowser::findDesktopEntry(QStringLiteral("missing.desktop")).isEmpty());
    // Ids never reach outside the applications folders.
    EXPECT_TRUE(
        WebBrowser::findDesktopEntry(QStringLiteral("vendor/sub/browser.desktop")).isEmpty());
    EXPECT_TRUE(
        WebBrowser::findDesktopEntry(QStringLiteral("../applications/both.desktop")).isEmpty());
    EXPECT_TRUE(WebBrowser::findDesktopEntry(QStringLiteral("both")).isEmpty());
}

TEST(DesktopEntries, UnsetOrEmptyDataFoldersFallBackToTheDefaults) {
    PrivateDesktop desktop;
    desktop.setEnvironment("XDG_DATA_HOME", QString());
    qunsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(WebBrowser::applicationFolders(),
              QStringList({QDir::homePath() + QStringLiteral("/.local/share/applications"),
                           QStringLiteral("/usr/local/share/applications"),
                           QStringLiteral("/usr/share/applications")}));
}

TEST(ProgramSearch, LooksOnlyInAbsolutePathFoldersForExecutableFiles) {
    PrivateDesktop desktop;
    QDir(desktop.path(QString())).mkpath(QStringLiteral("later"));
    const QString later = desktop.path(QStringLiteral("later"));
    desktop.writeProgram(QStringLiteral("tool"), "exit 0\n", later);
    PrivateDesktop::writeText(desktop.bin() + QStringLiteral("/tool"), "not executable");
    desktop.setEnvironment("PATH",
                           QStringLiteral(":.:bin:") + desktop.bin() + QLatin1Char(':') + later);

    EXPECT_EQ(qp::findProgram(QStringLiteral("tool")), later + QStringLiteral("/tool"));
    EXPECT_EQ(qp::findProgram(later + QStringLiteral("/tool")), later + QStringLiteral("/tool"));
    EXPECT_TRUE(qp::findProgram(QStringLiteral("later/tool")).isEmpty());
    EXPECT_TRUE(qp::findProgram(QStringLiteral("missing")).isEmpty());
    EXPECT_TRUE(qp::findProgram(QString()).isEmpty());

    desktop.setEnvironment("PATH", QString());
    EXPECT_TRUE(qp::findProgram(QStringLiteral("tool")).isEmpty());
}

TEST_F(BrowserDesktop, StartsTheAssociatedProgramWithTheAddressAsItsOnlyArgument) {
    EXPECT_EQ(WebBrowser::associatedBrowser(), desktop.bin() + QStringLiteral("/stub-browser"));
    // Shell syntax in the address stays part of the one argument.
    const QString address = QStringLiteral("https://quillpage.org/html/?a=1&b=$(echo x); c 'd'");
    ASSERT_EQ(WebBrowser::open(address), Result::Started);
    const auto arguments = PrivateDesktop::waitForRecord(record);
    ASSERT_TRUE(arguments.has_value()) << "the browser never ran";
    EXPECT_EQ(*arguments, QStringList{address});
}

TEST_F(BrowserDesktop, StartsAQuotedAbsoluteProgramOutsidePath) {
    QDir(desktop.path(QString())).mkpath(QStringLiteral("My Browser"));
    const QString folder = desktop.path(QStringLiteral("My Browser"));
    const QString other = desktop.installRecorder(QStringLiteral("run"), folder);
    PrivateDesktop::writeDesktopEntry(
        desktop.homeApplications(), QStringLiteral("stub-browser.desktop"),
        "[Desktop Entry]\nExec=\"" + folder.toUtf8() + "/run\" --new-tab %U\n");
    ASSERT_EQ(WebBrowser::open(Url), Result::Started);
    const auto arguments = PrivateDesktop::waitForRecord(other);
    ASSERT_TRUE(arguments.has_value()) << "the browser never ran";
    EXPECT_EQ(*arguments, QStringList{Url});
}

TEST_F(BrowserDesktop, ReportsNoBrowserWheneverTheSearchComesToNothing) {
    const QString entry = desktop.homeApplications() + QStringLiteral("/stub-browser.desktop");

    {
        SCOPED_TRACE("xdg-mime missing");
        PrivateDesktop other;
        EXPECT_EQ(WebBrowser::open(Url), Result::NoBrowser);
    }
    {
        SCOPED_TRACE("xdg-mime fails");
        desktop.writeProgram(QStringLiteral("xdg-mime"),
                             "printf 'stub-browser.desktop\\n'\nexit 3\n");
        EXPECT_EQ(WebBrowser::open(Url), Result::NoBrowser);
    }
    {
        SCOPED_TRACE("nothing associated");
        desktop.installXdgMime("");
        EXPECT_EQ(WebBrowser::open(Url), Result::NoBrowser);
    }
    {
        SCOPED_TRACE("an id that points outside the applications folders");
        PrivateDesktop::writeDesktopEntry(desktop.path(QStringLiteral("home")),
                                          QStringLiteral("evil.desktop"),
                                          "[Desktop Entry]\nExec=stub-browser\n");
        desktop.installXdgMime("../evil.desktop");
        EXPECT_EQ(WebBrowser::open(Url), Result::NoBrowser);
    }
    {
        SCOPED_TRACE("entry missing");
        desktop.installXdgMime("other.desktop");
        EXPECT_EQ(WebBrowser::open(Url), Result::NoBrowser);
    }
    desktop.installXdgMime("stub-browser.desktop");
    {
        SCOPED_TRACE("entry without Exec");
        PrivateDesktop::writeText(entry, "[Desktop Entry]\nName=Stub\n");
        EXPECT_EQ(WebBrowser::open(Url), Result::NoBrowser);
    }
    {
        SCOPED_TRACE("program not on PATH");
        PrivateDesktop::writeText(entry, "[Desktop Entry]\nExec=no-such-browser %u\n");
        EXPECT_EQ(WebBrowser::open(Url), Result::NoBrowser);
    }
    {
        SCOPED_TRACE("program not executable");
        PrivateDesktop::writeText(entry, "[Desktop Entry]\nExec=stub-browser %u\n");
        QFile::setPermissions(desktop.bin() + QStringLiteral("/stub-browser"), QFile::ReadOwner);
        EXPECT_EQ(WebBrowser::open(Url), Result::NoBrowser);
    }
    EXPECT_FALSE(QFile::exists(record)) << "a browser ran";
}

TEST_F(BrowserDesktop, ReportsAStartFailureWhenTheProgramCannotRun) {
    PrivateDesktop::writeText(desktop.bin() + QStringLiteral("/stub-browser"),
                              "#!/nonexistent/interpreter\n");
    EXPECT_EQ(WebBrowser::open(Url), Result::StartFailed);
}

TEST(SystemInformationTool, IsTheFirstCandidateFoundOnPath) {
    PrivateDesktop desktop;
    EXPECT_TRUE(SystemInformation::toolPath().isEmpty());
    EXPECT_FALSE(SystemInformation::start());

    const QStringList candidates = SystemInformation::candidates();
    ASSERT_GE(candidates.size(), 3);
    EXPECT_EQ(candidates.first(), QStringLiteral("hardinfo2"));
    // A file that cannot run is passed over; of two tools the earlier wins.
    PrivateDesktop::writeText(desktop.bin() + QLatin1Char('/') + candidates[0], "not a program");
    const QString later = desktop.installRecorder(candidates[2]);
    const QString earlier = desktop.installRecorder(candidates[1]);
    EXPECT_EQ(SystemInformation::toolPath(), desktop.bin() + QLatin1Char('/') + candidates[1]);

    ASSERT_TRUE(SystemInformation::start());
    const auto arguments = PrivateDesktop::waitForRecord(earlier);
    ASSERT_TRUE(arguments.has_value()) << "the tool never ran";
    EXPECT_TRUE(arguments->isEmpty());
    EXPECT_FALSE(QFile::exists(later));
}
