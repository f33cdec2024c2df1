#include "desktop/ExecLine.h"
#include "desktop/FileManager.h"
#include "desktop/ProgramSearch.h"
#include "desktop/WebBrowser.h"

#include "QtPrinters.h"
#include "StubPrograms.h"

#include <gtest/gtest.h>

#include <functional>

namespace WebBrowser = qp::WebBrowser;
using qp::test::PrivateDesktop;
using qp::test::writeFile;
using Result = qp::WebBrowser::Result;

namespace {

const QString Url = QStringLiteral("https://quillpage.org/html/");

// A browser on the private PATH, registered for web pages.
class BrowserDesktop : public ::testing::Test {
protected:
    PrivateDesktop desktop;
    QString record = desktop.installBrowser();
};

} // namespace

TEST(ExecLine, SplitsByTheQuotingRulesAndExpandsTheFieldCodesWithTheAddressesAndKeys) {
    const QString other = QStringLiteral("https://example.org/b");
    qp::ExecLine line;
    const std::vector<std::tuple<QString, QStringList, QStringList>> cases{
        {"browser %u", {Url}, {"browser", Url}},
        {"browser --url=%u --new", {Url}, {"browser", "--url=" + Url, "--new"}},
        {"browser %U", {Url, other}, {"browser", Url, other}},
        // Without a code for addresses they come last.
        {"browser --new-window", {Url}, {"browser", "--new-window", Url}},
        {"browser 100%% %d %D %n %N %v %m \"\"", {Url}, {"browser", "100%", "", Url}},
        // Quoting and escapes by the desktop entry rules.
        {"  \"/opt/My Browser/run\"\t--flag  %u ", {Url}, {"/opt/My Browser/run", "--flag", Url}},
        {R"(x "say \"hi\"" "\$HOME" "back\\slash" "\`x\`" pre"fix rest")",
         {},
         {"x", "say \"hi\"", "$HOME", "back\\slash", "`x`", "prefix rest"}},
        {"\"/opt/broken %u", {Url}, {}}, // an unterminated quote names nothing
    };
    for (const auto& [exec, addresses, command] : cases)
        EXPECT_EQ(line.expand(exec, addresses), command) << exec.toStdString();

    // %i, %c and %k come from the entry's other keys; %i without an icon goes.
    EXPECT_EQ(line.expand("browser %i %u"), QStringList{"browser"});
    line.icon = "web-browser";
    line.name = "Web Browser";
    line.entryFile = "/usr/share/applications/browser.desktop";
    EXPECT_EQ(line.expand("browser %i --class=%c %k %u", {Url}),
              (QStringList{"browser", "--icon", "web-browser", "--class=Web Browser",
                           "/usr/share/applications/browser.desktop", Url}));
}

TEST(DesktopEntries, AreFoundUserFolderFirstAndTheirExecReadFromTheMainGroupDecoded) {
    PrivateDesktop desktop;
    const QString entry = desktop.path("entry.desktop");
    writeFile(entry, "# Exec=comment\n"
                     "[Desktop Action private]\nExec=private-window %u\n"
                     "[Desktop Entry]\nTryExec=other\nName=Browser\n"
                     "Exec = \"/opt/My\\sBrowser/a\\\\\\\\b\" %u\n"
                     "[Desktop Action new]\nExec=new-window\n");
    const QString exec = WebBrowser::execOfDesktopEntry(entry);
    EXPECT_EQ(exec, QStringLiteral("\"/opt/My Browser/a\\\\b\" %u"));
    EXPECT_EQ(WebBrowser::programOfExec(exec), QStringLiteral("/opt/My Browser/a\\b"));
    EXPECT_TRUE(WebBrowser::execOfDesktopEntry(desktop.path("missing")).isEmpty());

    // Entries are searched in the user's folder first, then the system folders.
    const QString second = desktop.path("second/applications");
    desktop.setEnvironment("XDG_DATA_DIRS", "relative/share::" + desktop.path("system") + ":" +
                                                desktop.path("second"));
    EXPECT_EQ(WebBrowser::applicationFolders(),
              QStringList({desktop.homeApplications(), desktop.systemApplications(), second}));

    const QByteArray plain = "[Desktop Entry]\nExec=x\n";
    writeFile(second + "/only-second.desktop", plain);
    writeFile(desktop.systemApplications() + "/both.desktop", plain);
    writeFile(desktop.homeApplications() + "/both.desktop", plain);
    writeFile(desktop.systemApplications() + "/vendor/sub/browser.desktop", plain);
    EXPECT_EQ(WebBrowser::findDesktopEntry("both.desktop"),
              desktop.homeApplications() + "/both.desktop");
    EXPECT_EQ(WebBrowser::findDesktopEntry("only-second.desktop"), second + "/only-second.desktop");
    EXPECT_EQ(WebBrowser::findDesktopEntry("vendor-sub-browser.desktop"),
              desktop.systemApplications() + "/vendor/sub/browser.desktop");
    // Ids never reach outside the applications folders.
    for (const char* id :
         {"missing.desktop", "vendor/sub/browser.desktop", "../applications/both.desktop", "both"})
        EXPECT_TRUE(WebBrowser::findDesktopEntry(id).isEmpty()) << id;
}

TEST(ProgramSearch, LooksOnlyInAbsolutePathFoldersForExecutableFiles) {
    PrivateDesktop desktop;
    const QString later = desktop.path("later");
    QDir().mkpath(later);
    desktop.writeProgram("tool", "exit 0\n", later);
    writeFile(desktop.bin() + "/tool", "not executable");
    desktop.setEnvironment("PATH", ":.:bin:" + desktop.bin() + ":" + later);

    EXPECT_EQ(qp::findProgram("tool"), later + "/tool");
    EXPECT_EQ(qp::findProgram(later + "/tool"), later + "/tool");
    for (const QString& name : {QStringLiteral("later/tool"), QStringLiteral("missing"), QString()})
        EXPECT_TRUE(qp::findProgram(name).isEmpty()) << name.toStdString();
    desktop.setEnvironment("PATH", QString());
    EXPECT_TRUE(qp::findProgram("tool").isEmpty());
}

TEST_F(BrowserDesktop, StartsTheAssociatedProgramWithTheAddressAsItsOnlyArgument) {
    EXPECT_EQ(WebBrowser::associatedBrowser(), desktop.bin() + "/stub-browser");
    // Shell syntax in the address stays part of the one argument.
    const QString address = QStringLiteral("https://quillpage.org/html/?a=1&b=$(echo x); c 'd'");
    ASSERT_EQ(WebBrowser::open(address), Result::Started);
    EXPECT_EQ(PrivateDesktop::waitForRecord(record), QStringList{address});
}

TEST_F(BrowserDesktop, RunsTheEntrysWholeCommandLineSoThatWrappersWork) {
    const QString entry = desktop.homeApplications() + "/stub-browser.desktop";
    // An env-like wrapper that sets the variable and starts the browser.
    desktop.writeProgram("env", "export \"$1\"\nshift\nexec \"$@\"\n");
    writeFile(entry, "[Desktop Entry]\nExec=env MOZ_ENABLE_WAYLAND=1 stub-browser %u\n");
    ASSERT_EQ(WebBrowser::open(Url), Result::Started);
    EXPECT_EQ(PrivateDesktop::waitForRecord(record), QStringList{Url});

    // A sandbox launcher gets its whole line, the address in the code's place.
    const QString flatpak = desktop.installRecorder("flatpak");
    writeFile(entry, "[Desktop Entry]\nName=Browser\nExec=flatpak run --branch=stable "
                     "--command=browser org.example.Browser @@u %u @@\n");
    ASSERT_EQ(WebBrowser::open(Url), Result::Started);
    EXPECT_EQ(PrivateDesktop::waitForRecord(flatpak),
              (QStringList{"run", "--branch=stable", "--command=browser", "org.example.Browser",
                           "@@u", Url, "@@"}));
}

TEST_F(BrowserDesktop, ReportsNoBrowserWheneverTheSearchComesToNothing) {
    const QString entry = desktop.homeApplications() + "/stub-browser.desktop";
    const std::vector<std::pair<const char*, std::function<void()>>> cases{
        {"an id outside the applications folders",
         [&] {
             writeFile(desktop.path("home") + "/evil.desktop",
                       "[Desktop Entry]\nExec=stub-browser\n");
             desktop.installXdgMime("../evil.desktop");
         }},
        {"entry missing",
         [&] {
             desktop.installXdgMime("other.desktop");
         }},
        {"entry without Exec",
         [&] {
             desktop.installXdgMime("stub-browser.desktop");
             writeFile(entry, "[Desktop Entry]\nName=Stub\n");
         }},
        {"program not on PATH",
         [&] {
             writeFile(entry, "[Desktop Entry]\nExec=no-such-browser %u\n");
         }},
        {"xdg-mime missing",
         [&] {
             writeFile(entry, "[Desktop Entry]\nExec=stub-browser %u\n");
             desktop.setEnvironment("PATH", desktop.path("home"));
         }},
    };
    for (const auto& [label, setUp] : cases) {
        setUp();
        EXPECT_EQ(WebBrowser::open(Url), Result::NoBrowser) << label;
    }
    EXPECT_FALSE(QFile::exists(record)) << "a browser ran";
}

TEST(FileManager, ShowsTheFolderThroughXdgOpenFoundOnPath) {
    PrivateDesktop desktop;
    const QString folder = desktop.path("pages with spaces");
    EXPECT_EQ(qp::FileManager::showFolder(folder), qp::FileManager::Result::NoFileManager);
    const QString record = desktop.installRecorder("xdg-open");
    ASSERT_EQ(qp::FileManager::showFolder(folder), qp::FileManager::Result::Started);
    EXPECT_EQ(PrivateDesktop::waitForRecord(record), QStringList{folder});
}
