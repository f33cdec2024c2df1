#include "Style.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace qp {

QPalette fixedPalette(const QColor& background, const QColor& button) {
    const QColor black(Qt::black), white(Qt::white), grey(110, 110, 110);
    QPalette colours;
    const auto set = [&](QPalette::ColorRole role, const QColor& colour) {
        colours.setColor(role, colour);
    };
    set(QPalette::Window, background);
    set(QPalette::WindowText, black);
    set(QPalette::Base, white);
    set(QPalette::AlternateBase, QColor(245, 245, 245));
    set(QPalette::Text, black);
    set(QPalette::PlaceholderText, grey);
    set(QPalette::Button, button);
    set(QPalette::ButtonText, black);
    set(QPalette::BrightText, white);
    set(QPalette::Light, button.lighter(150));
    set(QPalette::Midlight, button.lighter(125));
    set(QPalette::Mid, button.darker(150));
    set(QPalette::Dark, button.darker(200));
    set(QPalette::Shadow, black);
    set(QPalette::Highlight, QColor(0, 90, 170));
    set(QPalette::HighlightedText, white);
    set(QPalette::Link, QColor(0, 0, 238));
    set(QPalette::LinkVisited, QColor(85, 26, 139));
    set(QPalette::ToolTipBase, QColor(255, 255, 225));
    set(QPalette::ToolTipText, black);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        colours.setColor(QPalette::Disabled, role, grey);
    colours.setColor(QPalette::Disabled, QPalette::Base, background);
    colours.setColor(QPalette::Disabled, QPalette::Highlight, QColor(145, 145, 145));
    return colours;
}

void fixColours(QWidget* window, const QColor& background, const QColor& button) {
    window->setPalette(fixedPalette(background, button));
    window->setAutoFillBackground(true);
}

namespace {
// Marks its window, whenever it is shown, as reached from the keyboard, which
// is when the style draws the focus frame.
class FocusFrames : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            static_cast<QWidget*>(watched)->setAttribute(Qt::WA_KeyboardFocusChange);
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

void showFocusFrames(QWidget* window) {
    window->setAttribute(Qt::WA_KeyboardFocusChange);
    window->installEventFilter(new FocusFrames(window));
}

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette colours = widget->palette();
    colours.setColor(role, colour);
    widget->setPalette(colours);
}

void fillColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    setColour(widget, role, colour);
    widget->setAutoFillBackground(true);
}

QFont arial(int pointSize) {
    return QFont(QStringLiteral("Arial"), pointSize);
}

void setApplicationFont(QApplication& app) {
    QFont face(app.font());
    face.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans")});
    face.setPointSizeF(8.25);
    app.setFont(face);
}

QString plainToolTip(const QString& text) {
    if (text.isEmpty())
        return text;
    return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped());
}

} // namespace qp
