// The real quillpg binary on a private virtual display: its windows come up,
// the binding failure shows alone, and its office goes with it.
#include "OfficeTestServer.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

namespace {

const QString binary = QStringLiteral(QUILLPG_BINARY_DIR "/src/quillpg");

// A virtual X display of this test's own.
class Display {
public:
    Display() {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            return;
        for (int number = 90 + ::getpid() % 100; number < 400 && name_.isEmpty(); number += 7) {
            if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
                continue;
            server_.start(QStringLiteral("Xvfb"),
                          {QStringLiteral(":%1").arg(number), QStringLiteral("-screen"),
                           QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                           QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            server_.waitForStarted();
            for (int i = 0; i < 100 && server_.state() == QProcess::Running; ++i) {
                if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number))) {
                    name_ = QStringLiteral(":%1").arg(number);
                    break;
                }
                QThread::msleep(50);
            }
        }
    }
    ~Display() {
        server_.kill();
        server_.waitForFinished();
    }
    QString name() const { return name_; }

    // Waits until a window with exactly that title is mapped.
    bool hasWindow(const QString& title, int timeoutMs = 60000) const {
        QProcess search;
        search.setProcessEnvironment(environment());
        search.start(QStringLiteral("xdotool"),
                     {QStringLiteral("search"), QStringLiteral("--sync"),
                      QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                      QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')});
        if (!search.waitForFinished(timeoutMs)) {
            search.kill();
            search.waitForFinished();
            return false;
        }
        return search.exitCode() == 0;
    }
    bool key(const QString& keys) const {
        QProcess press;
        press.setProcessEnvironment(environment());
        press.start(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
        return press.waitForFinished(10000) && press.exitCode() == 0;
    }
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), name_);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return env;
    }

private:
    QProcess server_;
    QString name_;
};

QStringList officesOf(const QString& profileFolder) {
    QProcess pgrep;
    pgrep.start(QStringLiteral("pgrep"),
                {QStringLiteral("-f"), QStringLiteral("UserInstallation=file://") + profileFolder});
    pgrep.waitForFinished();
    return QString::fromLocal8Bit(pgrep.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

TEST(AppSmoke, theMainWindowComesUpUnderQuickStartAndTheOfficeEndsWithTheProgram) {
    Display display;
    if (display.name().isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "needs Xvfb and xdotool";
    QProcess app;
    app.setProcessEnvironment(display.environment());
    app.start(binary);
    ASSERT_TRUE(app.waitForStarted());
    EXPECT_TRUE(display.hasWindow(QStringLiteral("Quillpage - Word to HTML")));
    EXPECT_TRUE(display.hasWindow(QStringLiteral("Quick Start")));
    const QString profiles =
        qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/quillpg/office/");
    EXPECT_FALSE(officesOf(profiles).isEmpty()) << "no office was started";
    ::kill(pid_t(app.processId()), SIGKILL);
    app.waitForFinished();
    QStringList left;
    for (int i = 0; i < 100; ++i) {
        left = officesOf(profiles);
        if (left.isEmpty())
            break;
        QThread::msleep(100);
    }
    EXPECT_TRUE(left.isEmpty()) << "an office outlived quillpg";
}

TEST(AppSmoke, withoutAnOfficeOnlyTheBindingFailureShows) {
    Display display;
    if (display.name().isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "needs Xvfb and xdotool";
    QProcess app;
    QProcessEnvironment env = display.environment();
    env.insert(QStringLiteral("QUILLPG_OFFICE_DIR"), QStringLiteral("/nonexistent"));
    app.setProcessEnvironment(env);
    app.start(binary);
    ASSERT_TRUE(display.hasWindow(QStringLiteral("Error!")));
    EXPECT_FALSE(display.hasWindow(QStringLiteral("Quillpage - Word to HTML"), 1000));
    EXPECT_TRUE(display.key(QStringLiteral("Return")));
    ASSERT_TRUE(app.waitForFinished(30000));
    EXPECT_EQ(app.exitCode(), 1);
}

} // namespace
