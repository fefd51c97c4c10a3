#include "ui/widgets/SchemeCell.h"

#include "ui/widgets/Look.h"
#include "ui/widgets/StateShapes.h"

#include <QPainter>

void SchemeCell::SetStateShapes(int shapes)
{
    if (shapes == shapes_)
        return;
    shapes_ = shapes;
    update();
}

void SchemeCell::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    const Look& look = Appearance::Of(this);
    if (!look.shapes || shapes_ == 0)
        return;
    QPainter painter(this);
    DrawStateShapes(painter, rect(), shapes_, palette().color(backgroundRole()), !text().isEmpty(), look);
}
