#pragma once

#include <QLabel>

namespace qp {

// A label that acts on a click, shown as a blue web link. It takes the
// keyboard focus with Tab, shows it with a focus frame, and Enter or Space
// acts as a click.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

} // namespace qp
