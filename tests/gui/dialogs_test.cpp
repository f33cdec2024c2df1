// The window application's dialog provider, driven through the real Qt
// dialogs.

#include "GuiHarness.h"

#include "ui/QtDialogProvider.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

namespace qp::test {
namespace {

bool patternMatches(const QString& pattern, const QString& name) {
    return QRegularExpression::fromWildcard(pattern, Qt::CaseSensitive).match(name).hasMatch();
}

TEST(QtNameFilters, MatchTheExtensionInAnyLetterCase) {
    const QStringList open = qtNameFilters("All WordPerfect documents (*.doc)|*.DOC");
    EXPECT_EQ(open, QStringList{"All WordPerfect documents (*.[dD][oO][cC])"});
    const QStringList save = qtNameFilters("*.htm");
    EXPECT_EQ(save, QStringList{"*.[hH][tT][mM]"});
    for (const QString name : {"a.doc", "B.DOC", "c.Doc"})
        EXPECT_TRUE(patternMatches("*.[dD][oO][cC]", name)) << name.toStdString();
    EXPECT_FALSE(patternMatches("*.[dD][oO][cC]", "a.docx"));
    EXPECT_FALSE(patternMatches("*.[dD][oO][cC]", "a.doc.bak"));

    EXPECT_EQ(qtNameFilters("Documents|*.doc;*.RTF|All files (*.*)|*.*"),
              (QStringList{"Documents (*.[dD][oO][cC] *.[rR][tT][fF])", "All files (*.*)"}));
    EXPECT_TRUE(qtNameFilters("").isEmpty());
}

class QtDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(work.isValid());
        previous_ = Dialogs::setProvider(&provider);
    }
    void TearDown() override {
        Dialogs::setProvider(previous_);
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && !window->inherits("QMenu"))
                ADD_FAILURE() << "window left open: " << window->windowTitle().toStdString();
    }
    QString path(const QString& name) const { return QDir(work.path()).filePath(name); }

    QtDialogProvider provider;
    QTemporaryDir work;

private:
    DialogProvider* previous_ = nullptr;
};

TEST_F(QtDialogsTest, MessageBoxShowsTheRequestAndAnswersTheClickedButton) {
    whenModal<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.text(), QStringLiteral("Replace it?"));
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Quillpage - HTML"));
        EXPECT_EQ(box.icon(), QMessageBox::Question);
        EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
        box.button(QMessageBox::No)->click();
    });
    EXPECT_EQ(Dialogs::message("Replace it?", "Quillpage - HTML", MessageIcon::Question,
                               MessageButtons::YesNo),
              MessageAnswer::No);

    whenModal<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
        box.button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(Dialogs::message("Plain", "Title"), MessageAnswer::Ok);

    // Closed without a button: the negative choice.
    whenModal<QMessageBox>([](QMessageBox& box) { box.reject(); });
    EXPECT_EQ(
        Dialogs::message("Go on?", "Title", MessageIcon::Exclamation, MessageButtons::OkCancel),
        MessageAnswer::Cancel);
}

TEST_F(QtDialogsTest, OpenDialogRequiresAnExistingFileAndProposesTheGivenName) {
    const QString document = path("Report.DOC");
    writeFile(document);
    whenModal<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(dialog.nameFilters(), QStringList{"All WordPerfect documents (*.[dD][oO][cC])"});
        EXPECT_EQ(dialog.directory().absolutePath(), QDir(work.path()).absolutePath());
        static_cast<QDialog&>(dialog).accept();
    });
    FileRequest request;
    request.fileName = document;
    request.filter = "All WordPerfect documents (*.doc)|*.DOC";
    request.flags = FileMustExist;
    EXPECT_EQ(Dialogs::file(request), std::optional<QString>(document));

    whenModal<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(Dialogs::file(request), std::nullopt);
}

TEST_F(QtDialogsTest, SaveDialogAcceptsANewFile) {
    const QString page = path("new page.htm");
    whenModal<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog.fileMode(), QFileDialog::AnyFile);
        EXPECT_EQ(dialog.nameFilters(), QStringList{"*.[hH][tT][mM]"});
        static_cast<QDialog&>(dialog).accept();
    });
    FileRequest request;
    request.mode = FileRequest::Mode::Save;
    request.fileName = page;
    request.filter = "*.htm";
    request.flags = FileMustExist;
    EXPECT_EQ(Dialogs::file(request), std::optional<QString>(page));
}

TEST_F(QtDialogsTest, FolderChooserReturnsTheFolderWithoutTrailingSeparator) {
    const QString folder = path("in");
    QDir().mkpath(folder);
    whenModal<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select a Source Folder"));
        EXPECT_TRUE(dialog.testOption(QFileDialog::ShowDirsOnly));
        dialog.setDirectory(folder + "/");
        static_cast<QDialog&>(dialog).accept();
    });
    EXPECT_EQ(Dialogs::folder("Select a Source Folder"), folder);

    whenModal<QFileDialog>([](QFileDialog& dialog) {
        dialog.setDirectory("/");
        static_cast<QDialog&>(dialog).accept();
    });
    EXPECT_EQ(Dialogs::folder("Select a Target Folder"), QStringLiteral("/"));

    whenModal<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(Dialogs::folder("Select a Target Folder"), QString());
}

} // namespace
} // namespace qp::test
