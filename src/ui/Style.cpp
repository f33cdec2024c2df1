#include "Style.h"

#include <QApplication>
#include <QWidget>

namespace qp {

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
