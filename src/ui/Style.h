#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>
#include <QSize>

class QApplication;
class QWidget;

namespace qp {

// The look shared by every window: its geometry unit, colours and faces.

// Window geometry is designed in twips; fifteen twips make one pixel, to the
// nearest pixel.
constexpr int twips(int value) {
    return (value + 7) / 15;
}
inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}
inline QSize twipsSize(int width, int height) {
    return QSize(twips(width), twips(height));
}

// While a job runs, the windows show what it reports at most this often, in
// milliseconds: laying out and drawing each document's outcome as it arrives
// would take the processor from the offices that convert.
constexpr int jobRefreshMs = 200;

// The grey of the main window and the Batch Documents dialog, and the lighter
// grey of the Extension manager.
inline const QColor silver{192, 192, 192};
inline const QColor lightGrey{224, 224, 224};
// The grey of the dialogs whose colours the design leaves to the system,
// and of their buttons.
inline const QColor dialogGrey{239, 239, 239};

// The colours of a window that fixes its own background: dark text on that
// background, on white input fields and on buttons of the given colour, a
// dark highlight with white text, blue links and grey disabled text. Every
// role is set, so the desktop's theme (a dark one too) changes none of them
// and the window reads the same under every theme.
QPalette fixedPalette(const QColor& background, const QColor& button = dialogGrey);
// Gives the window that palette and has it paint its background.
void fixColours(QWidget* window, const QColor& background, const QColor& button = dialogGrey);

// Shows the focus frame from the window's first focus on, each time it is
// shown, as after a Tab: the user sees at once which button Enter presses.
void showFocusFrames(QWidget* window);

// Sets one colour of the widget's palette.
void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour);
// The same, and the widget paints its own background from its palette.
void fillColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour);

// Arial at the given point size; the platform's default size when none.
QFont arial(int pointSize = -1);

// The windows are laid out for a small 8-point sans-serif face, as their
// sizes in twips assume; the desktop's larger default face would clip their
// captions.
void setApplicationFont(QApplication& app);

// A tooltip that shows the text as it is, whatever it holds (a file named
// "<h1>x.doc" is no heading): Qt takes a tooltip for rich text when it looks
// like markup, so the text goes escaped into rich text that keeps its lines.
QString plainToolTip(const QString& text);

} // namespace qp
