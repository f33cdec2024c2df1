// What the user is given when a job ends: a desktop notification while the
// window is not active, the job's report to save and the batch's target
// folder to open.

#include "GuiHarness.h"

#include "desktop/Notifications.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace qp::test {
namespace {

class RecordedNotifications : public Notifications {
public:
    void notify(const QString& summary, const QString& body) override {
        shown << summary + (body.isEmpty() ? QString() : "|" + body);
    }
    QStringList shown;
};

class JobEnd : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        windows.setNotifications(&notifications);
        startIdle();
        main = &windows.mainWindow();
        writeFile(in + "/a.doc");
        writeFile(in + "/b.doc");
        QDir().mkpath(out);
    }

    // The Batch Documents dialog's buttons, pressed without showing it: the
    // folders "in" and "out", then Start; returns when the batch has run.
    void batchUnseen() {
        BatchDialog& dialog = windows.batchDialog();
        dialogs.answerFolder(in);
        dialog.sourceButton->click();
        dialogs.answerFolder(out);
        dialog.targetButton->click();
        dialog.startButton->click();
        ASSERT_TRUE(waitForJobs(windows.mediator()));
    }

    RecordedNotifications notifications;
    MainWindow* main = nullptr;
};

TEST_F(JobEnd, theEndIsToldOutsideTheInactiveWindowAndLeavesItsReportAndTargetFolder) {
    PrivateDesktop desktop;
    const QString opener = desktop.installRecorder("xdg-open");
    // The user works in another window.
    auto other = std::make_unique<QWidget>();
    other->show();
    activate(other.get());
    server->saveWarnings = "a picture was left out";
    server->failCall("ActiveDocument.SaveAs", "b.htm");
    batchUnseen();
    EXPECT_EQ(notifications.shown, QStringList{main->statusText()});
    EXPECT_TRUE(main->statusText().startsWith("1 converted, 1 failed"));

    // The report, as the batch tool writes it: one line per document, then
    // the counts; proposed in the target folder.
    const QString report = path("report.jsonl");
    dialogs.answerFile(report);
    main->saveReportAction->trigger();
    ASSERT_EQ(dialogs.files.size(), 1u);
    EXPECT_EQ(dialogs.files[0].fileName, out + "/report.jsonl");
    QList<QJsonObject> lines;
    for (const QByteArray& line : readFile(report).split('\n'))
        if (!line.isEmpty())
            lines << QJsonDocument::fromJson(line).object();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0]["page"].toString(), out + "/a.htm");
    EXPECT_EQ(lines[0]["warnings"].toString(), "a picture was left out");
    EXPECT_EQ(lines[1]["status"].toString(), "failed");
    EXPECT_TRUE(lines[1]["reason"].toString().contains("refused ActiveDocument.SaveAs"));
    EXPECT_EQ(lines[2], (QJsonObject{{"converted", 1},
                                     {"failed", 1},
                                     {"unchanged", 0},
                                     {"not_converted", 0},
                                     {"folders_not_read", 0},
                                     {"ended_by", QJsonValue::Null}}));

    ASSERT_TRUE(main->targetFolderAction->isVisible());
    main->targetFolderAction->trigger();
    EXPECT_EQ(PrivateDesktop::waitForRecord(opener), QStringList{out});

    // Watched in the active window, the end is not told again.
    other.reset();
    activate(main);
    batchUnseen();
    EXPECT_EQ(notifications.shown.size(), 1);
    // The second time, the folder choosers started at their boxes' folders.
    ASSERT_EQ(dialogs.folders.size(), 4u);
    EXPECT_EQ(dialogs.folders[2].startFolder, in);
    EXPECT_EQ(dialogs.folders[3].startFolder, out);

    // xdg-open is there, but xdg-mime names nothing that opens folders.
    desktop.writeProgram("xdg-mime", "exit 0\n");
    dialogs.answerMessage(MessageAnswer::Ok);
    main->targetFolderAction->trigger();
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.messages.back().text,
              "No file manager is set up to show folders (xdg-open found none)");
}

} // namespace
} // namespace qp::test
