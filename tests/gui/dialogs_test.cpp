// The window application's dialog provider, driven through the real Qt
// dialogs, and names shown as text, never as markup.

#include "GuiHarness.h"

#include <QFileDialog>
#include <QTextDocument>

namespace qp::test {
namespace {

TEST(QtNameFilters, ReadAsTheFilterIsWritten) {
    EXPECT_EQ(qtNameFilters("All WordPerfect documents (*.doc)|*.DOC"),
              QStringList{"All WordPerfect documents (*.doc)"});
    EXPECT_EQ(qtNameFilters("*.htm"), QStringList{"*.htm"});
    // A description that names other patterns, or none, gets the entry's.
    EXPECT_EQ(qtNameFilters("Documents|*.doc;*.RTF|Pages (*.htm)|*.htm;*.html|All files (*.*)|*.*"),
              (QStringList{"Documents (*.doc *.RTF)", "Pages (*.htm *.html)", "All files (*.*)"}));
}

TEST(NamesAsText, RowTooltipsAndTheStatusLineShowNamesAndReasonsAsTheyAre) {
    const QString name = "<h1>big</h1> & <b>x</b>.doc";
    const QString detail = name + "\nsecond line";
    DocumentListView list;
    list.addRow(name, name);
    list.setDetail(name, detail);
    list.flush();
    QTextDocument shown;
    shown.setHtml(list.topLevelItem(0)->toolTip(1));
    EXPECT_EQ(shown.toPlainText(), detail);

    JobStatusArea status;
    status.jobFinished(name);
    auto* line = status.findChild<QLabel*>(QStringLiteral("statusLine"));
    EXPECT_EQ(line->textFormat(), Qt::PlainText);
    shown.setHtml(line->toolTip());
    EXPECT_EQ(shown.toPlainText(), name);
}

// The Qt provider is asked instead of the scripted one of the fixture.
class QtDialogsTest : public WindowTest {
protected:
    QtDialogProvider provider;
};

TEST_F(QtDialogsTest, MessageBoxShowsTheRequestAsPlainTextAndAnswersTheClickedButton) {
    whenModal<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.text(), "Failed <h1>x.doc</h1>");
        EXPECT_EQ(box.icon(), QMessageBox::Question);
        EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box.textFormat(), Qt::PlainText);
        auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
        ASSERT_NE(informative, nullptr);
        EXPECT_EQ(informative->textFormat(), Qt::PlainText);
        box.button(QMessageBox::No)->click();
    });
    EXPECT_EQ(provider.message({"Failed <h1>x.doc</h1>", "Title", MessageIcon::Question,
                                MessageButtons::YesNo, nullptr, "<b>bold</b>"}),
              MessageAnswer::No);
    // Closed without a button: the negative choice.
    whenModal<QMessageBox>([](QMessageBox& box) { box.reject(); });
    EXPECT_EQ(Dialogs::message(provider, "Go on?", "Title", MessageIcon::Exclamation,
                               MessageButtons::OkCancel),
              MessageAnswer::Cancel);
}

TEST_F(QtDialogsTest, FileAndFolderDialogsStartInTheGivenFolderAndReturnWhatWasChosen) {
    FileRequest request;
    request.filter = "All WordPerfect documents (*.doc)|*.DOC";
    request.flags = FileMustExist;
    writeFile(work.filePath("Report.DOC"));
    for (const auto mode : {FileRequest::Mode::Open, FileRequest::Mode::Save}) {
        request.mode = mode;
        const bool open = mode == FileRequest::Mode::Open;
        request.fileName = work.filePath(open ? "Report.DOC" : "new page.htm");
        whenModal<QFileDialog>([&](QFileDialog& dialog) {
            EXPECT_EQ(dialog.acceptMode(),
                      open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
            EXPECT_EQ(dialog.fileMode(), open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
            EXPECT_EQ(dialog.nameFilters(), QStringList{"All WordPerfect documents (*.doc)"});
            EXPECT_EQ(dialog.directory().absolutePath(), QDir(work.path()).absolutePath());
            static_cast<QDialog&>(dialog).accept();
        });
        EXPECT_EQ(provider.file(request), std::optional<QString>(request.fileName));
    }
    whenModal<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(provider.file(request), std::nullopt);

    // A folder comes back without a trailing separator; cancelled, empty.
    const QString folder = work.filePath("in");
    QDir().mkpath(folder);
    for (const auto& [chosen, result] : std::vector<std::pair<QString, QString>>{
             {folder + "/", folder}, {"/", "/"}, {QString(), QString()}}) {
        whenModal<QFileDialog>([chosen](QFileDialog& dialog) {
            EXPECT_TRUE(dialog.testOption(QFileDialog::ShowDirsOnly));
            if (chosen.isNull())
                return dialog.reject();
            dialog.setDirectory(chosen);
            static_cast<QDialog&>(dialog).accept();
        });
        EXPECT_EQ(Dialogs::folder(provider, "Select a Source Folder"), result);
    }
    // A folder that is gone starts the chooser at its nearest parent.
    EXPECT_EQ(nearestExistingFolder(folder + "/gone/deeper"), folder);
    EXPECT_EQ(nearestExistingFolder(work.filePath("Report.DOC/x")), QDir(work.path()).path());
    EXPECT_EQ(nearestExistingFolder("relative/x"), "");
}

} // namespace
} // namespace qp::test
