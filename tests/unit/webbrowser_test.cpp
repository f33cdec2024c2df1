// Starting the desktop's web browser from its desktop entry, on a private
// desktop of stub programs: the address always travels as one argument,
// never through a shell.

#include "desktop/ExecLine.h"
#include "desktop/ProgramSearch.h"
#include "desktop/WebBrowser.h"

#include "QtPrinters.h"
#include "StubPrograms.h"

#include <gtest/gtest.h>

namespace WebBrowser = qp::WebBrowser;
using qp::test::PrivateDesktop;
using qp::test::writeFile;

namespace {

const QString Url = QStringLiteral("https://quillpage.org/html/");

} // namespace

TEST(ExecLine, SplitsByTheQuotingRulesAndExpandsTheFieldCodesWithTheAddresses) {
    const QString other = QStringLiteral("https://example.org/b");
    qp::ExecLine line;
    const std::vector<std::tuple<QString, QStringList, QStringList>> cases{
        {"browser --url=%u --new", {Url}, {"browser", "--url=" + Url, "--new"}},
        {"browser %U", {Url, other}, {"browser", Url, other}},
        {"browser --new-window", {Url}, {"browser", "--new-window", Url}}, // no code: last
        {"browser 100%% %d %D %n %N %v %m \"\"", {Url}, {"browser", "100%", "", Url}},
        {" \"/opt/My Browser/run\"\t\"\\$HOME\" %u", {Url}, {"/opt/My Browser/run", "$HOME", Url}},
        {"\"/opt/broken %u", {Url}, {}},    // an unterminated quote names nothing
        {"browser %i %u", {}, {"browser"}}, // %i without an icon goes
    };
    for (const auto& [exec, addresses, command] : cases)
        EXPECT_EQ(line.expand(exec, addresses), command) << exec.toStdString();
}

TEST(DesktopEntries, AreFoundUserFolderFirstAndTheirExecReadFromTheMainGroupDecoded) {
    PrivateDesktop desktop;
    const QString entry =
        writeFile(desktop.path("entry.desktop"),
                  "# Exec=comment\n[Desktop Action private]\nExec=private %u\n"
                  "[Desktop Entry]\nExec = \"/opt/My\\sBrowser/a\\\\\\\\b\" %u\n");
    const QString exec = WebBrowser::execOfDesktopEntry(entry);
    EXPECT_EQ(exec, QStringLiteral("\"/opt/My Browser/a\\\\b\" %u"));
    EXPECT_EQ(WebBrowser::programOfExec(exec), QStringLiteral("/opt/My Browser/a\\b"));

    // The user's folder first, then the system folders; relative ones are ignored.
    const QString second = desktop.path("second/applications");
    desktop.setEnvironment("XDG_DATA_DIRS", "relative/share::" + desktop.path("system") + ":" +
                                                desktop.path("second"));
    EXPECT_EQ(WebBrowser::applicationFolders(),
              QStringList({desktop.homeApplications(), desktop.systemApplications(), second}));
    for (const QString& file : {desktop.systemApplications() + "/both.desktop",
                                desktop.homeApplications() + "/both.desktop",
                                desktop.systemApplications() + "/vendor/sub/browser.desktop"})
        writeFile(file, "[Desktop Entry]\nExec=x\n");
    EXPECT_EQ(WebBrowser::findDesktopEntry("both.desktop"),
              desktop.homeApplications() + "/both.desktop");
    EXPECT_EQ(WebBrowser::findDesktopEntry("vendor-sub-browser.desktop"),
              desktop.systemApplications() + "/vendor/sub/browser.desktop");
    // Ids never reach outside the applications folders.
    for (const char* id : {"vendor/sub/browser.desktop", "../applications/both.desktop", "both"})
        EXPECT_TRUE(WebBrowser::findDesktopEntry(id).isEmpty()) << id;
}

TEST(ProgramSearch, LooksOnlyInAbsolutePathFoldersForExecutableFiles) {
    PrivateDesktop desktop;
    const QString later = desktop.path("later");
    desktop.writeProgram("tool", "exit 0\n", later);
    writeFile(desktop.bin() + "/tool", "not executable");
    desktop.setEnvironment("PATH", ":.:bin:" + desktop.bin() + ":" + later);
    EXPECT_EQ(qp::findProgram("tool"), later + "/tool");
    EXPECT_EQ(qp::findProgram(later + "/tool"), later + "/tool");
    for (const QString& name : {QStringLiteral("later/tool"), QStringLiteral("missing")})
        EXPECT_TRUE(qp::findProgram(name).isEmpty()) << name.toStdString();
}

TEST(WebBrowserStart, TheAssociatedEntrysWholeLineRunsWithTheAddressAsOneArgumentOrNothingDoes) {
    PrivateDesktop desktop;
    const QString record = desktop.installBrowser();
    const QString entry = desktop.homeApplications() + "/stub-browser.desktop";
    EXPECT_EQ(WebBrowser::associatedBrowser(), desktop.bin() + "/stub-browser");
    // Shell syntax in the address stays part of the one argument.
    const QString address = QStringLiteral("https://quillpage.org/html/?a=1&b=$(echo x); c 'd'");
    ASSERT_EQ(WebBrowser::open(address), WebBrowser::Result::Started);
    EXPECT_EQ(PrivateDesktop::waitForRecord(record), QStringList{address});
    QFile::remove(record);

    // A sandbox launcher gets its whole line, the address in the code's place.
    const QString flatpak = desktop.installRecorder("flatpak");
    writeFile(entry, "[Desktop Entry]\nExec=flatpak run --command=browser org.Browser @@u %u @@\n");
    ASSERT_EQ(WebBrowser::open(Url), WebBrowser::Result::Started);
    EXPECT_EQ(PrivateDesktop::waitForRecord(flatpak),
              (QStringList{"run", "--command=browser", "org.Browser", "@@u", Url, "@@"}));

    // Whenever the search comes to nothing, no browser runs.
    writeFile(desktop.path("home") + "/evil.desktop", "[Desktop Entry]\nExec=stub-browser\n");
    const std::vector<std::pair<QByteArray, QByteArray>> cases{
        {"../evil.desktop", "Exec=stub-browser %u"}, // an id outside the applications folders
        {"other.desktop", "Exec=stub-browser %u"},   // entry missing
        {"stub-browser.desktop", "Name=Stub"},       // entry without Exec
        {"stub-browser.desktop", "Exec=no-such-browser %u"}};
    for (const auto& [id, line] : cases) {
        desktop.installXdgMime(id);
        writeFile(entry, "[Desktop Entry]\n" + line + "\n");
        EXPECT_EQ(WebBrowser::open(Url), WebBrowser::Result::NoBrowser) << id.data() << line.data();
    }
    EXPECT_FALSE(QFile::exists(record)) << "a browser ran";
}
