#include "ui/widgets/StateShapes.h"

#include "ui/widgets/Look.h"

#include <QPainter>

void DrawStateShapes(QPainter& painter, const QRect& cell, int shapes, const QColor& face, bool numbered,
                     const Look& look)
{
    if (shapes == NoShape)
        return;
    const QColor ink = face.lightnessF() > 0.45 ? QColor(Qt::black) : QColor(Qt::white);
    const int w = cell.width();
    const int h = cell.height();
    const int edge = look.Px(2);
    painter.save();
    painter.translate(cell.topLeft());
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    if (shapes & ReachableShape) {
        const int d = look.Px(numbered ? 5 : 7);
        painter.drawEllipse(numbered ? QRect(w - edge - d, edge, d, d) : QRect((w - d) / 2, (h - d) / 2, d, d));
    }
    if (shapes & MarkedShape) {
        const int side = look.Px(7);
        const QPoint corner[] = {{edge, edge}, {edge + side, edge}, {edge, edge + side}};
        painter.drawPolygon(corner, 3);
    }
    if (shapes & LastNumberShape) {
        const int bar = look.Px(9);
        painter.fillRect((w - bar) / 2, h - look.Px(4), bar, look.Px(2), ink);
    }
    painter.restore();
}
