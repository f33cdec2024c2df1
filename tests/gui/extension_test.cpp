#include "ui/frmExtension.h"

#include "pipeline/Chain.h"

#include "ScriptedDialogs.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using qp::frmExtension;
using qp::MessageAnswer;
using qp::MessageButtons;
using qp::MessageIcon;
using qp::test::ScriptedDialogs;

namespace {

QStringList entries(const frmExtension& form) {
    QStringList result;
    for (int i = 0; i < form.listCount(); ++i)
        result << form.list(i);
    return result;
}

void typeAndAdd(frmExtension& form, const QString& text) {
    form.txtExtension->clear();
    QTest::keyClicks(form.txtExtension, text);
    QTest::mouseClick(form.cmdAddMovie, Qt::LeftButton);
}

void clickEntry(frmExtension& form, int row, Qt::KeyboardModifiers modifiers = {}) {
    QListWidget* list = form.LstExt;
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
}

// The widget that Tab moves the focus to from widget, as Qt chooses it.
QWidget* nextTabStop(QWidget& window, QWidget* widget) {
    for (QWidget* next = widget->nextInFocusChain(); next != widget;
         next = next->nextInFocusChain()) {
        if ((next->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && next->isEnabled() &&
            next->isVisibleTo(&window))
            return next;
    }
    return nullptr;
}

// Every test starts from a run that has just loaded the window.
class ExtensionManager : public ::testing::Test {
protected:
    void SetUp() override { frmExtension::unloadInstance(); }
    void TearDown() override { frmExtension::unloadInstance(); }
};

} // namespace

TEST_F(ExtensionManager, LoadsHiddenWithDocAndItsControls) {
    frmExtension& form = frmExtension::instance();
    EXPECT_EQ(&form, &frmExtension::instance()); // one instance
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(entries(form), QStringList{"doc"});
    EXPECT_EQ(form.windowTitle(), "Extension manager");
    EXPECT_EQ(form.size(), QSize(318, 190));
    EXPECT_EQ(form.cmdAddMovie->text(), "&Add");
    EXPECT_EQ(form.Command2->text(), "&Remove ");
    EXPECT_EQ(form.cmdExit->text(), "E&xit");
    EXPECT_EQ(form.Label2->text(), "Extension:");
    EXPECT_EQ(form.txtExtension->text(), "");
    EXPECT_EQ(form.LstExt->selectionMode(), QAbstractItemView::ExtendedSelection);

    // Tab order: list, input, Add, Remove, Exit.
    EXPECT_EQ(nextTabStop(form, form.LstExt), form.txtExtension);
    EXPECT_EQ(nextTabStop(form, form.txtExtension), form.cmdAddMovie);
    EXPECT_EQ(nextTabStop(form, form.cmdAddMovie), form.Command2);
    EXPECT_EQ(nextTabStop(form, form.Command2), form.cmdExit);
    EXPECT_EQ(nextTabStop(form, form.cmdExit), form.LstExt);

    frmExtension::showManager();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isModal());
    EXPECT_EQ(form.parentWidget(), nullptr);
}

TEST_F(ExtensionManager, AddStoresTheTextAsTyped) {
    frmExtension& form = frmExtension::instance();
    form.show();
    typeAndAdd(form, "DOC");
    typeAndAdd(form, ".doc");
    typeAndAdd(form, " rtf");
    EXPECT_EQ(form.txtExtension->text(), " rtf"); // the input keeps its text
    QTest::mouseClick(form.cmdAddMovie, Qt::LeftButton);
    typeAndAdd(form, ""); // adds nothing
    EXPECT_EQ(entries(form), (QStringList{"doc", "DOC", ".doc", " rtf", " rtf"}));
}

TEST_F(ExtensionManager, RemoveTakesEverySelectedEntry) {
    frmExtension& form = frmExtension::instance();
    form.show();
    typeAndAdd(form, "rtf");
    typeAndAdd(form, "txt");
    clickEntry(form, 0);
    clickEntry(form, 2, Qt::ControlModifier);
    ASSERT_EQ(form.LstExt->selectedItems().size(), 2);
    QTest::mouseClick(form.Command2, Qt::LeftButton);
    EXPECT_EQ(entries(form), QStringList{"rtf"});

    // Removing every entry leaves a list that accepts nothing.
    clickEntry(form, 0);
    QTest::mouseClick(form.Command2, Qt::LeftButton);
    EXPECT_EQ(form.listCount(), 0);
    qp::FilterChain chain(frmExtension::extensionList());
    QString ext = "doc";
    EXPECT_FALSE(chain.accepts(ext));
}

TEST_F(ExtensionManager, RemoveWithoutACurrentEntryExplains) {
    ScriptedDialogs dialogs;
    frmExtension& form = frmExtension::instance();
    ASSERT_EQ(form.LstExt->currentRow(), -1);
    dialogs.answerMessage(MessageAnswer::Ok);
    QTest::mouseClick(form.Command2, Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "You did not select an extension to remove.");
    EXPECT_EQ(dialogs.messages[0].title, "Quillpage - HTML");
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::None);
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(entries(form), QStringList{"doc"});
}

TEST_F(ExtensionManager, ExitHidesAndKeepsTheEntries) {
    frmExtension& form = frmExtension::instance();
    form.show();
    typeAndAdd(form, "rtf");
    QTest::mouseClick(form.cmdExit, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(&frmExtension::instance(), &form);
    frmExtension::showManager();
    EXPECT_EQ(entries(frmExtension::instance()), (QStringList{"doc", "rtf"}));
}

TEST_F(ExtensionManager, ClosingFromTheTitleBarUnloadsTheList) {
    QPointer<frmExtension> form = &frmExtension::instance();
    form->show();
    typeAndAdd(*form, "rtf");

    // A chain built before the close reads the reloaded list afterwards.
    qp::FilterChain chain(frmExtension::extensionList());
    QString ext = "rtf";
    EXPECT_TRUE(chain.accepts(ext));

    EXPECT_TRUE(form->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());

    EXPECT_EQ(entries(frmExtension::instance()), QStringList{"doc"});
    EXPECT_FALSE(frmExtension::instance().isVisible());
    ext = "rtf";
    EXPECT_FALSE(chain.accepts(ext));
}
