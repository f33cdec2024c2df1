// The real quillpg binary on a private virtual display: its windows come up
// and its office goes with it. (The binding failure's message box alone is
// the start-up window test's.)
#include "office/OfficeSandbox.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace {

// The offices that the quillpg with that process id started: they listen on
// pipes named after it.
QStringList officesOf(qint64 app) {
    QProcess pgrep;
    pgrep.start("pgrep", {"-f", QStringLiteral("pipe,name=quillpg-%1-").arg(app)});
    pgrep.waitForFinished();
    return QString::fromLocal8Bit(pgrep.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

TEST(AppSmoke, eachWindowComesUpUnderQuickStartWithAnOfficeOfItsOwnThatEndsWithIt) {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
        QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "needs Xvfb and xdotool";
    // A virtual X display of this test's own: Xvfb picks a free display and
    // writes its number once it is ready.
    QProcess display, first, second;
    display.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
    ASSERT_TRUE(display.waitForReadyRead(30000));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", ":" + QString::fromLatin1(display.readLine().trimmed()));
    env.insert("QT_QPA_PLATFORM", "xcb");
    // Waits until a window with exactly that title is mapped.
    const auto hasWindow = [&](const QString& title) {
        QProcess run;
        run.setProcessEnvironment(env);
        run.start("xdotool", {"search", "--sync", "--onlyvisible", "--name",
                              "^" + QRegularExpression::escape(title) + "$"});
        const bool found = run.waitForFinished(60000) && run.exitCode() == 0;
        run.kill();
        run.waitForFinished();
        return found;
    };
    const auto start = [&](QProcess& app) {
        app.setProcessEnvironment(env);
        app.start(QUILLPG_BINARY_DIR "/src/quillpg");
        return app.waitForStarted();
    };
    ASSERT_TRUE(start(first));
    EXPECT_TRUE(hasWindow("Quillpage - Word to HTML"));
    EXPECT_TRUE(hasWindow("Quick Start"));
    ASSERT_TRUE(start(second));
    // Each one's office, once it runs (a new profile has the office start twice).
    QStringList offices, before;
    for (int i = 0; i < 60 && (offices.isEmpty() || offices != before); ++i) {
        before = offices;
        QTest::qWait(1000);
        offices = officesOf(second.processId());
    }
    const qint64 firstPid = first.processId();
    ASSERT_EQ(officesOf(firstPid).size(), 1) << "no office was started";
    ASSERT_EQ(offices.size(), 1) << "the second window has no office of its own";
    // Killing the first one ends its office and leaves the second one's alone.
    ::kill(pid_t(firstPid), SIGKILL);
    first.waitForFinished();
    EXPECT_TRUE(QTest::qWaitFor([&] { return officesOf(firstPid).isEmpty(); }, 10000))
        << "an office outlived quillpg: " << officesOf(firstPid).join(' ').toStdString();
    EXPECT_TRUE(QFileInfo::exists("/proc/" + offices.first()));
    const qint64 secondPid = second.processId();
    EXPECT_EQ(officesOf(secondPid), offices);
    second.kill();
    second.waitForFinished();
    // What the killed windows' offices left, a later run removes.
    EXPECT_TRUE(QTest::qWaitFor([&] { return officesOf(secondPid).isEmpty(); }, 10000));
    qp::office::removeLitterOfDeadRuns();
    for (const qint64 pid : {firstPid, secondPid})
        EXPECT_EQ(QDir("/tmp").entryList({QStringLiteral("*quillpg-%1-*").arg(pid)},
                                         QDir::AllEntries | QDir::System | QDir::Hidden),
                  QStringList());
} // the display ends with its QProcess

} // namespace
