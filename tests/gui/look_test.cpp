// How the windows look: readable text whatever the desktop's colours.

#include "GuiHarness.h"

#include "ui/AboutDialog.h"
#include "ui/BatchDialog.h"
#include "ui/ExtensionListDialog.h"
#include "ui/MainWindow.h"
#include "ui/QuickStartDialog.h"
#include "ui/SettingsDialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QStyleOptionButton>

#include <cmath>

namespace qp::test {
namespace {

// Relative luminance of a colour, as the web's accessibility guidelines
// define it.
double luminance(QRgb colour) {
    auto linear = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(colour)) + 0.7152 * linear(qGreen(colour)) +
           0.0722 * linear(qBlue(colour));
}

double contrast(QRgb a, QRgb b) {
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// The part of the widget where its text is drawn, in its own coordinates;
// empty for a widget without text.
QRect textArea(QWidget* widget) {
    const QFontMetrics metrics = widget->fontMetrics();
    auto centred = [&](const QRect& within, const QString& text) {
        QRect area(0, 0, metrics.horizontalAdvance(QString(text).remove('&')) + 2,
                   metrics.height());
        area.moveCenter(within.center());
        return area & within;
    };
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text().isEmpty()
                   ? QRect()
                   : widget->style()->itemTextRect(metrics, label->contentsRect(),
                                                   int(label->alignment()), true, label->text());
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxLabel;
        return box->title().isEmpty() ? QRect()
                                      : box->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                                     QStyle::SC_GroupBoxLabel, box);
    }
    auto* button = qobject_cast<QAbstractButton*>(widget);
    if (!button || button->text().isEmpty())
        return {};
    if (qobject_cast<QPushButton*>(button))
        return centred(button->rect(), button->text());
    // Option buttons and check boxes: the text beside the indicator,
    // centred in height.
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect contents = button->style()->subElementRect(qobject_cast<QCheckBox*>(button)
                                                               ? QStyle::SE_CheckBoxContents
                                                               : QStyle::SE_RadioButtonContents,
                                                           &option, button);
    return QRect(contents.left(), contents.center().y() - metrics.height() / 2,
                 metrics.horizontalAdvance(QString(button->text()).remove('&')) + 2,
                 metrics.height()) &
           contents;
}

// The colour that covers most of the area, and the contrast of the pixel
// that stands out most from it: the text against its background.
double textContrast(const QImage& image, const QRegion& area) {
    QHash<QRgb, int> counts;
    for (const QRect& rect : area)
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                ++counts[image.pixel(x, y) | 0xff000000];
    QRgb background = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most)
            most = it.value(), background = it.key();
    double best = 1.0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, contrast(it.key(), background));
    return best;
}

// The desktop's dark theme hands the application a palette like this one.
QPalette darkPalette() {
    QPalette dark;
    const QColor window(53, 53, 53), text(238, 238, 236), base(45, 45, 45);
    for (auto [role, colour] : std::initializer_list<std::pair<QPalette::ColorRole, QColor>>{
             {QPalette::Window, window},
             {QPalette::WindowText, text},
             {QPalette::Base, base},
             {QPalette::AlternateBase, window},
             {QPalette::Text, text},
             {QPalette::Button, window},
             {QPalette::ButtonText, text},
             {QPalette::Light, QColor(80, 80, 80)},
             {QPalette::Midlight, QColor(66, 66, 66)},
             {QPalette::Mid, QColor(40, 40, 40)},
             {QPalette::Dark, QColor(30, 30, 30)},
             {QPalette::Shadow, Qt::black},
             {QPalette::Highlight, QColor(21, 83, 158)},
             {QPalette::HighlightedText, Qt::white},
             {QPalette::Link, QColor(53, 132, 228)},
             {QPalette::PlaceholderText, QColor(150, 150, 150)}})
        dark.setColor(role, colour);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, QColor(145, 145, 145));
    return dark;
}

class Look : public WindowTest {
protected:
    void SetUp() override {
        previous = QApplication::palette();
        QApplication::setPalette(darkPalette());
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

} // namespace
} // namespace qp::test
