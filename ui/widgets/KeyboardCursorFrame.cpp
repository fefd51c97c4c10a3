#include "ui/widgets/KeyboardCursorFrame.h"

#include "ui/widgets/Look.h"

#include <QPainter>

KeyboardCursorFrame::KeyboardCursorFrame(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void KeyboardCursorFrame::Surround(const QWidget* cell)
{
    const Look& look = Appearance::Of(this);
    // Its outer pixels on the grid line, which is as wide as the zoom makes one pixel.
    const int outside = look.Px(RingWidth - 1);
    setGeometry(cell->geometry().adjusted(-outside, -outside, outside, outside));
    raise();
}

// Whole logical pixels, so the ring keeps its width at any scale.
void KeyboardCursorFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const Look& look = Appearance::Of(this);
    const int ring = look.Px(RingWidth);
    const QColor colour = look.Fill(RingColor);
    const int w = width();
    const int h = height();
    painter.fillRect(0, 0, w, ring, colour);
    painter.fillRect(0, h - ring, w, ring, colour);
    painter.fillRect(0, ring, ring, h - 2 * ring, colour);
    painter.fillRect(w - ring, ring, ring, h - 2 * ring, colour);
}
