#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

// Every test executable runs inside an offscreen application object, so that
// widgets, event loops and the automation layer's waiting all work. Settings
// and standard folders are the test mode's own (below ~/.qttest), never the
// user's, also when a test binary is run by hand.
int main(int argc, char** argv) {
    QStandardPaths::setTestModeEnabled(true);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillpg"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
