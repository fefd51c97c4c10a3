#include "TBevel.h"

#include <QPainter>

TBevel::TBevel(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TBevel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect r = rect();
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), shadow);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), shadow);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), light);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), light);
}
