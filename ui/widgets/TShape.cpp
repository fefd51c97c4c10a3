#include "TShape.h"

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
    // Filled edges rather than a pen: one logical pixel at any scale, no antialiasing seams.
    painter.fillRect(rect(), pen_);
    painter.fillRect(rect().adjusted(1, 1, -1, -1), brush_);
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
