#include "ui/ExtensionListDialog.h"

#include "jobs/ExtensionFilter.h"
#include "ui/WidgetWindows.h"

#include "QtPrinters.h"
#include "ScriptedDialogs.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using qp::ExtensionListDialog;
using qp::MessageAnswer;

namespace {

QStringList entries(const ExtensionListDialog& form) {
    QStringList result;
    for (int i = 0; i < form.listCount(); ++i)
        result << form.list(i);
    return result;
}

// Every test starts from a run that has just loaded the window.
class ExtensionManager : public ::testing::Test {
protected:
    void SetUp() override { form = &windows.extensionListDialog(); }
    void TearDown() override { windows.unloadAll(); }

    bool accepts(QString extension) {
        qp::ExtensionFilter chain(windows.extensionList());
        return chain.accepts(extension);
    }

    void typeAndAdd(const QString& text) {
        form->extensionEdit->clear();
        QTest::keyClicks(form->extensionEdit, text);
        QTest::mouseClick(form->addButton, Qt::LeftButton);
    }
    void clickEntry(int row, Qt::KeyboardModifiers modifiers = {}) {
        QListWidget* list = form->extensionBox;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                          list->visualItemRect(list->item(row)).center());
    }

    qp::test::ScriptedDialogs dialogs;
    qp::WidgetWindows windows{dialogs};
    QPointer<ExtensionListDialog> form;
};

} // namespace

TEST_F(ExtensionManager, AddStoresTheTextAsTypedRemoveTakesEverySelectedEntry) {
    form->show();
    typeAndAdd("DOC");
    typeAndAdd(".doc");
    typeAndAdd(" rtf");
    EXPECT_EQ(form->extensionEdit->text(), " rtf"); // the input keeps its text
    QTest::mouseClick(form->addButton, Qt::LeftButton);
    typeAndAdd(""); // adds nothing
    EXPECT_EQ(entries(*form), (QStringList{"doc", "DOC", ".doc", " rtf", " rtf"}));

    // Remove takes every selected entry.
    clickEntry(0);
    clickEntry(2, Qt::ControlModifier);
    clickEntry(4, Qt::ControlModifier);
    ASSERT_EQ(form->extensionBox->selectedItems().size(), 3);
    QTest::mouseClick(form->removeButton, Qt::LeftButton);
    EXPECT_EQ(entries(*form), (QStringList{"DOC", " rtf"}));
    clickEntry(0);
    QTest::mouseClick(form->removeButton, Qt::LeftButton);
    EXPECT_EQ(entries(*form), QStringList{" rtf"});

    // Removing every entry leaves a list that accepts nothing.
    clickEntry(0);
    QTest::mouseClick(form->removeButton, Qt::LeftButton);
    EXPECT_EQ(form->listCount(), 0);
    EXPECT_FALSE(accepts("doc"));
}

TEST_F(ExtensionManager, ExitHidesAndKeepsTheEntriesTheCloseBoxUnloadsThem) {
    form->show();
    typeAndAdd("rtf");
    QTest::mouseClick(form->exitButton, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(&windows.extensionListDialog(), form.data());
    EXPECT_TRUE(accepts("rtf"));

    // A chain built before the close reads the reloaded list afterwards.
    qp::ExtensionFilter chain(windows.extensionList());
    form->show();
    EXPECT_TRUE(form->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(entries(windows.extensionListDialog()), QStringList{"doc"});
    EXPECT_FALSE(windows.extensionListDialog().isVisible());
    QString ext = "rtf";
    EXPECT_FALSE(chain.accepts(ext));
}
