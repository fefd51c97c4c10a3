#pragma once
// The painter set-up the charts share: they draw in device pixels, where integer rectangles
// are sharp at 1x, 1.5x and 2x alike, with a small label font scaled to match.
#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include "ui/widgets/Look.h"

class QWidget;

struct ChartCanvas {
    explicit ChartCanvas(QWidget* widget);

    // A length in the unzoomed window's logical pixels, rounded to whole device pixels.
    int Px(qreal logical) const { return qRound(logical * ratio * look.Zoom()); }
    // A classic colour in the window's colour scheme.
    QColor Fill(const QColor& classic) const { return look.Fill(classic); }

    QPainter painter;
    const Look& look;
    const qreal ratio;
    const int width;
    const int height;
    const QFont small;
    const QFontMetrics metrics;
};
