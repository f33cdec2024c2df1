// The real quillpg binary on a private virtual display: its windows come up
// and its office goes with it. (The binding failure's message box alone is
// the start-up window test's.)
#include "OfficeTestServer.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

namespace {

// A virtual X display of this test's own.
class Display {
public:
    Display() {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
            QStandardPaths::findExecutable("xdotool").isEmpty())
            return;
        // Xvfb picks a free display and writes its number once it is ready.
        server_.start("Xvfb",
                      {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        if (server_.waitForReadyRead(30000))
            name_ = ":" + QString::fromLatin1(server_.readLine().trimmed());
    }
    ~Display() {
        server_.kill();
        server_.waitForFinished();
    }
    QString name() const { return name_; }

    // Waits until a window with exactly that title is mapped.
    bool hasWindow(const QString& title) const {
        QProcess run;
        run.setProcessEnvironment(environment());
        run.start("xdotool", {"search", "--sync", "--onlyvisible", "--name",
                              "^" + QRegularExpression::escape(title) + "$"});
        if (run.waitForFinished(60000))
            return run.exitCode() == 0;
        run.kill();
        run.waitForFinished();
        return false;
    }
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", name_);
        env.insert("QT_QPA_PLATFORM", "xcb");
        return env;
    }

private:
    QProcess server_;
    QString name_;
};

// The offices that the quillpg with that process id started: they listen on
// pipes named after it.
QStringList officesOf(qint64 app) {
    QProcess pgrep;
    pgrep.start("pgrep", {"-f", QStringLiteral("pipe,name=quillpg-%1-").arg(app)});
    pgrep.waitForFinished();
    return QString::fromLocal8Bit(pgrep.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

// Starts quillpg on the display.
void start(QProcess& app, const Display& display) {
    app.setProcessEnvironment(display.environment());
    app.start(QUILLPG_BINARY_DIR "/src/quillpg");
    ASSERT_TRUE(app.waitForStarted());
}

TEST(AppSmoke, eachWindowComesUpUnderQuickStartWithAnOfficeOfItsOwnThatEndsWithIt) {
    Display display;
    if (display.name().isEmpty())
        GTEST_SKIP() << "needs Xvfb and xdotool";
    QProcess first, second;
    start(first, display);
    EXPECT_TRUE(display.hasWindow("Quillpage - Word to HTML"));
    EXPECT_TRUE(display.hasWindow("Quick Start"));
    const qint64 firstPid = first.processId();
    start(second, display);
    // Its office, once it runs (a new profile has the office start twice).
    QStringList offices, before;
    for (int i = 0; i < 60 && (offices.isEmpty() || offices != before); ++i) {
        before = offices;
        QThread::msleep(1000);
        offices = officesOf(second.processId());
    }
    ASSERT_EQ(officesOf(firstPid).size(), 1) << "no office was started";
    ASSERT_EQ(offices.size(), 1) << "the second window has no office of its own";
    // Killing the first one ends its office and leaves the second one's alone.
    ::kill(pid_t(firstPid), SIGKILL);
    first.waitForFinished();
    QStringList left;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            left = officesOf(firstPid);
            return left.isEmpty();
        },
        10000))
        << "an office outlived quillpg: " << left.join(' ').toStdString();
    EXPECT_TRUE(QFileInfo::exists("/proc/" + offices.first()));
    EXPECT_EQ(officesOf(second.processId()), offices);
    second.kill();
    second.waitForFinished();
}

} // namespace
