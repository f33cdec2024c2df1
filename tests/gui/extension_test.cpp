#include "ui/frmExtension.h"

#include "pipeline/Chain.h"

#include "QtPrinters.h"
#include "ScriptedDialogs.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using qp::frmExtension;
using qp::MessageAnswer;

namespace {

QStringList entries(const frmExtension& form) {
    QStringList result;
    for (int i = 0; i < form.listCount(); ++i)
        result << form.list(i);
    return result;
}

bool accepts(QString extension) {
    qp::FilterChain chain(frmExtension::extensionList());
    return chain.accepts(extension);
}

// Every test starts from a run that has just loaded the window.
class ExtensionManager : public ::testing::Test {
protected:
    void SetUp() override {
        frmExtension::unloadInstance();
        form = &frmExtension::instance();
    }
    void TearDown() override { frmExtension::unloadInstance(); }

    void typeAndAdd(const QString& text) {
        form->txtExtension->clear();
        QTest::keyClicks(form->txtExtension, text);
        QTest::mouseClick(form->cmdAddMovie, Qt::LeftButton);
    }
    void clickEntry(int row, Qt::KeyboardModifiers modifiers = {}) {
        QListWidget* list = form->LstExt;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                          list->visualItemRect(list->item(row)).center());
    }

    QPointer<frmExtension> form;
};

} // namespace

TEST_F(ExtensionManager, AddStoresTheTextAsTyped) {
    form->show();
    typeAndAdd("DOC");
    typeAndAdd(".doc");
    typeAndAdd(" rtf");
    EXPECT_EQ(form->txtExtension->text(), " rtf"); // the input keeps its text
    QTest::mouseClick(form->cmdAddMovie, Qt::LeftButton);
    typeAndAdd(""); // adds nothing
    EXPECT_EQ(entries(*form), (QStringList{"doc", "DOC", ".doc", " rtf", " rtf"}));
}

TEST_F(ExtensionManager, RemoveTakesEverySelectedEntry) {
    form->show();
    typeAndAdd("rtf");
    typeAndAdd("txt");
    clickEntry(0);
    clickEntry(2, Qt::ControlModifier);
    ASSERT_EQ(form->LstExt->selectedItems().size(), 2);
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    EXPECT_EQ(entries(*form), QStringList{"rtf"});

    // Removing every entry leaves a list that accepts nothing.
    clickEntry(0);
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    EXPECT_EQ(form->listCount(), 0);
    EXPECT_FALSE(accepts("doc"));
}

TEST_F(ExtensionManager, RemoveWithoutACurrentEntryExplains) {
    qp::test::ScriptedDialogs dialogs;
    ASSERT_EQ(form->LstExt->currentRow(), -1);
    dialogs.answerMessage(MessageAnswer::Ok);
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "You did not select an extension to remove.");
    EXPECT_EQ(entries(*form), QStringList{"doc"});
}

TEST_F(ExtensionManager, ExitHidesAndKeepsTheEntriesTheCloseBoxUnloadsThem) {
    form->show();
    typeAndAdd("rtf");
    QTest::mouseClick(form->cmdExit, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(&frmExtension::instance(), form.data());
    EXPECT_TRUE(accepts("rtf"));

    // A chain built before the close reads the reloaded list afterwards.
    qp::FilterChain chain(frmExtension::extensionList());
    form->show();
    EXPECT_TRUE(form->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(entries(frmExtension::instance()), QStringList{"doc"});
    EXPECT_FALSE(frmExtension::instance().isVisible());
    QString ext = "rtf";
    EXPECT_FALSE(chain.accepts(ext));
}
