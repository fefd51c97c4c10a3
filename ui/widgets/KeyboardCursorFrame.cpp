#include "ui/widgets/KeyboardCursorFrame.h"

#include <QPainter>

KeyboardCursorFrame::KeyboardCursorFrame(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void KeyboardCursorFrame::Surround(const QWidget* cell)
{
    const int outside = RingWidth - 1;
    setGeometry(cell->geometry().adjusted(-outside, -outside, outside, outside));
    raise();
}

// Whole logical pixels, so the ring keeps its width at any scale.
void KeyboardCursorFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int w = width();
    const int h = height();
    painter.fillRect(0, 0, w, RingWidth, RingColor);
    painter.fillRect(0, h - RingWidth, w, RingWidth, RingColor);
    painter.fillRect(0, RingWidth, RingWidth, h - 2 * RingWidth, RingColor);
    painter.fillRect(w - RingWidth, RingWidth, RingWidth, h - 2 * RingWidth, RingColor);
}
