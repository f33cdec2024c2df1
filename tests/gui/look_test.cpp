// How the windows look and answer the keyboard: readable text whatever the
// desktop's colours, and the keys a desktop user reaches for.

#include "GuiHarness.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QStyleOptionButton>

#include <cmath>

namespace qp::test {
namespace {

// The contrast of two colours, from their relative luminance as the web's
// accessibility guidelines define it.
double contrast(QRgb a, QRgb b) {
    auto linear = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    auto luminance = [&](QRgb colour) {
        return 0.2126 * linear(qRed(colour)) + 0.7152 * linear(qGreen(colour)) +
               0.0722 * linear(qBlue(colour));
    };
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// The part of the widget where its text is drawn, in its own coordinates;
// empty for a widget without text.
QRect textArea(QWidget* widget) {
    const QFontMetrics metrics = widget->fontMetrics();
    if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty())
        return widget->style()->itemTextRect(metrics, label->contentsRect(),
                                             int(label->alignment()), true, label->text());
    if (auto* box = qobject_cast<QGroupBox*>(widget); box && !box->title().isEmpty()) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        return box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel,
                                            box);
    }
    auto* button = qobject_cast<QAbstractButton*>(widget);
    if (!button || button->text().isEmpty())
        return {};
    // A push button's text is centred in it; an option button's or check
    // box's beside the indicator, centred in height.
    QRect within = button->rect();
    if (!qobject_cast<QPushButton*>(button)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        within = button->style()->subElementRect(qobject_cast<QCheckBox*>(button)
                                                     ? QStyle::SE_CheckBoxContents
                                                     : QStyle::SE_RadioButtonContents,
                                                 &option, button);
    }
    QRect area(0, 0, metrics.horizontalAdvance(QString(button->text()).remove('&')) + 2,
               metrics.height());
    area.moveCenter(within.center());
    if (!qobject_cast<QPushButton*>(button))
        area.moveLeft(within.left());
    return area & within;
}

// The colour that covers most of the area, and the contrast of the pixel
// that stands out most from it: the text against its background.
double textContrast(const QImage& image, const QRegion& area) {
    QHash<QRgb, int> counts;
    for (const QRect& rect : area)
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                ++counts[image.pixel(x, y) | 0xff000000];
    const QList<QRgb> colours = counts.keys();
    const auto background = std::max_element(colours.begin(), colours.end(),
                                             [&](QRgb a, QRgb b) { return counts[a] < counts[b]; });
    double best = 1.0;
    for (QRgb colour : colours)
        best = std::max(best, contrast(colour, *background));
    return best;
}

class Look : public WindowTest {
protected:
    void SetUp() override {
        previous = QApplication::palette();
        // As a dark desktop theme hands it over: light text on dark ground.
        QApplication::setPalette(QPalette(QColor(53, 53, 53)));
        WindowTest::SetUp();
    }
    void TearDown() override {
        WindowTest::TearDown();
        QApplication::setPalette(previous);
    }

    // Every label, button and frame caption of the window that shows text
    // and can be used stands out from its background by at least 4.5 to 1,
    // in the pixels drawn.
    void expectReadable(QWidget* window) {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        const QImage image = window->grab().toImage();
        int checked = 0;
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            const QRect area = textArea(widget);
            if (area.isEmpty() || !widget->isVisibleTo(window) || !widget->isEnabled())
                continue;
            ++checked;
            // In the window's pixels, less what the widgets above it cover.
            QRegion drawn =
                QRegion(area.translated(widget->mapTo(window, QPoint()))) & image.rect();
            for (QWidget* level = widget; level != window; level = level->parentWidget()) {
                const QObjectList& siblings = level->parentWidget()->children();
                for (qsizetype i = siblings.indexOf(level) + 1; i < siblings.size(); ++i)
                    if (auto* above = qobject_cast<QWidget*>(siblings[i]);
                        above && above->isVisible())
                        drawn -= QRect(above->parentWidget()->mapTo(window, above->pos()),
                                       above->size());
            }
            const double ratio = textContrast(image, drawn);
            EXPECT_GE(ratio, 4.5) << window->objectName().toStdString() << " "
                                  << widget->objectName().toStdString();
        }
        EXPECT_GT(checked, 0) << window->objectName().toStdString();
    }

    QPalette previous;
};

TEST_F(Look, EveryWindowReadsUnderADarkPalette) {
    MainWindow& main = windows.mainWindow();
    main.showStatus(QStringLiteral("2 converted, 1 failed"));
    expectReadable(&main);
    main.setBusy(true); // "Stop" shows while a job runs
    expectReadable(&main);
    main.setBusy(false);
    for (QWidget* window : std::initializer_list<QWidget*>{
             &windows.quickStartDialog(), &windows.batchDialog(), &windows.settingsDialog(),
             &windows.extensionListDialog(), &windows.aboutDialog()}) {
        expectReadable(window);
        window->hide();
    }
}

// Whether the style sees the widget with the focus reached from the
// keyboard, which is when it draws the focus frame.
bool showsFocusFrame(QWidget* widget) {
    QStyleOption option;
    option.initFrom(widget);
    return (option.state & QStyle::State_HasFocus) &&
           (option.state & QStyle::State_KeyboardFocusChange);
}

// The words of the items, each with one access letter that no other item of
// the same menu has.
QStringList accessWords(const QList<QAction*>& items) {
    QStringList words, letters;
    for (QAction* item : items) {
        const QString text = item->text();
        const QString letter = text.mid(text.indexOf('&') + 1, 1).toLower();
        if (item->isSeparator())
            continue;
        EXPECT_TRUE(text.count('&') == 1 && !letter.isEmpty() && !letters.contains(letter))
            << text.toStdString();
        letters << letter;
        words << QString(text).remove('&');
    }
    return words;
}

class Keys : public WindowTest {};

TEST_F(Keys, AccessLettersEnterOnTheFocusedButtonFocusFramesAndTheRowMenuFromTheKeyboard) {
    // Quick Start shows its first focus framed; Tab reaches the link, which
    // Space or Enter opens; Enter presses the button Tab went to.
    PrivateDesktop desktop;
    const QString browser = desktop.installBrowser();
    bool closedByEnter = false;
    whenModal<QuickStartDialog>([&](QuickStartDialog& quickStart) {
        ASSERT_TRUE(QTest::qWaitForWindowActive(&quickStart));
        EXPECT_TRUE(showsFocusFrame(quickStart.openDocumentButton));
        for (int tab = 0; tab < 3; ++tab)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), quickStart.Label3);
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
            QTest::keyClick(quickStart.Label3, key);
            EXPECT_EQ(PrivateDesktop::waitForRecord(browser), QStringList{Links::makerHomePage()});
            QFile::remove(browser);
        }
        QTest::keyClick(quickStart.Label3, Qt::Key_Tab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), quickStart.cancelButton);
        EXPECT_TRUE(showsFocusFrame(quickStart.cancelButton));
        QTest::keyClick(quickStart.cancelButton, Qt::Key_Return);
        if (!(closedByEnter = !quickStart.isVisible()))
            quickStart.cancelButton->click();
    });
    ASSERT_TRUE(startUp(windows));
    EXPECT_TRUE(closedByEnter);

    MainWindow& main = windows.mainWindow();
    QMenuBar* bar = main.menuBar();
    EXPECT_EQ(accessWords(bar->actions()), (QStringList{"File", "Options", "About"}));
    accessWords(main.fileMenu->actions());
    EXPECT_EQ(accessWords(main.optionsMenu->actions()), (QStringList{"Settings", "Extensions..."}));
    EXPECT_EQ(accessWords(main.aboutMenu->actions()), QStringList{"Info"});

    // Alt+O opens "Options", S its "Settings"; there Enter presses the
    // focused "Cancel", which stores nothing.
    activate(&main);
    whenModal<SettingsDialog>([](SettingsDialog& settings) {
        settings.filteredOption->setChecked(true);
        settings.cancelButton->setFocus(Qt::TabFocusReason);
        QTest::keyClick(settings.cancelButton, Qt::Key_Return);
    });
    QTest::keyClick(&main, Qt::Key_O, Qt::AltModifier);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return QApplication::activePopupWidget() == main.optionsMenu; }));
    QTest::keyClick(main.optionsMenu, Qt::Key_S);
    EXPECT_EQ(windows.loaded<SettingsDialog>(), nullptr);
    EXPECT_EQ(windows.settings().pageFormat(), PageFormat::Full);

    // Shift+F10, the Menu key and the window system's keyboard request open
    // the current row's menu at that row.
    DocumentListView& list = main.documentList();
    for (const char* key : {"/in/a.doc", "/in/b.doc", "/in/c.doc"})
        list.addRow(key, key);
    list.flush();
    list.setCurrentItem(list.topLevelItem(1));
    list.setFocus();
    const QString current = DocumentListView::keyOf(list.currentItem());
    QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(5, 5),
                              list.mapToGlobal(QPoint(5, 5)));
    for (int way = 0; way < 3; ++way) {
        QString under;
        QTimer::singleShot(50, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                under = list.keyAt(list.viewport()->mapFromGlobal(menu->pos() - QPoint(0, 2)));
                menu->close();
            }
        });
        if (way < 2)
            QTest::keyClick(&list, way ? Qt::Key_Menu : Qt::Key_F10,
                            way ? Qt::NoModifier : Qt::ShiftModifier);
        else
            QCoreApplication::sendEvent(&list, &request);
        EXPECT_EQ(under, current) << way;
    }

    // In the Extension manager and the main window Enter presses the
    // focused button as well.
    ExtensionListDialog& manager = windows.extensionListDialog();
    manager.showManager();
    for (QPushButton* button : {manager.exitButton, main.exitButton}) {
        button->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button, Qt::Key_Return);
    }
    EXPECT_FALSE(manager.isVisible());
    EXPECT_EQ(ended, 1);
}

} // namespace
} // namespace qp::test
