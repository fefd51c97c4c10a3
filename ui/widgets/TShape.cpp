#include "TShape.h"

#include "ui/widgets/Look.h"

#include <QMouseEvent>
#include <QPainter>

TShape::TShape(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TShape::SetPenColor(const QColor& color)
{
    pen_ = color;
    update();
}

void TShape::SetBrushColor(const QColor& color)
{
    brush_ = color;
    update();
}

void TShape::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const Look& look = Appearance::Of(this);
    const int edge = look.Px(1);
    // Filled edges rather than a pen: one logical pixel at any scale, no antialiasing seams.
    painter.fillRect(rect(), look.Fill(pen_));
    painter.fillRect(rect().adjusted(edge, edge, -edge, -edge), look.Fill(brush_));
}

void TShape::mousePressEvent(QMouseEvent* event)
{
    // Taking the press makes the release come back here, wherever the pointer goes.
    event->accept();
}

void TShape::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    emit OnMouseUp(this, event->button(), event->modifiers(), at.x(), at.y());
}
