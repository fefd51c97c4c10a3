#include "ChartCanvas.h"

#include <QWidget>

#include <algorithm>

namespace {
QFont SmallFont(const QWidget& widget, int pixelSize)
{
    QFont small = widget.font();
    small.setPixelSize(std::max(1, pixelSize));
    return small;
}
}

ChartCanvas::ChartCanvas(QWidget* widget)
    : painter(widget)
    , look(Appearance::Of(widget))
    , ratio(widget->devicePixelRatioF())
    , width(qRound(widget->width() * ratio))
    , height(qRound(widget->height() * ratio))
    , small(SmallFont(*widget, Px(10)))
    , metrics(small)
{
    painter.scale(1 / ratio, 1 / ratio);
    painter.setFont(small);
}
