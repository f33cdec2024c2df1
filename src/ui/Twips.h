#pragma once

#include <QRect>
#include <QSize>

namespace qp {

// Window geometry is designed in twips; fifteen twips make one pixel.
constexpr int twips(int value) {
    return (value + 7) / 15;
}
inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}
inline QSize twipsSize(int width, int height) {
    return QSize(twips(width), twips(height));
}

} // namespace qp
