#include "ScoreTimelineChart.h"

#include "ChartCanvas.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
const QColor FrameColor(255, 201, 105);
const QColor GridColor(235, 235, 235);
}

ScoreTimelineChart::ScoreTimelineChart(QWidget* parent)
    : QWidget(parent)
{
}

void ScoreTimelineChart::SetScores(std::vector<int> oldestFirst)
{
    scores_ = std::move(oldestFirst);
    update();
}

void ScoreTimelineChart::SetColors(const QColor& line, const QColor& hundred)
{
    line_ = line;
    hundred_ = hundred;
    update();
}

void ScoreTimelineChart::paintEvent(QPaintEvent*)
{
    ChartCanvas canvas(this);
    QPainter& painter = canvas.painter;
    const int width = canvas.width;
    const int height = canvas.height;
    const auto px = [&canvas](qreal logical) { return canvas.Px(logical); };
    const QFontMetrics& metrics = canvas.metrics;
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("100"));

    const QRect area(QPoint(px(4) + labelWidth, px(2) + metrics.height() / 2),
                     QPoint(width - px(4) - 1, height - px(2) - metrics.height() / 2 - 1));
    painter.fillRect(area, canvas.Fill(Qt::white));
    const QRect inside = area.adjusted(1, 1, -1, -1);
    const auto yOf = [&](int score) { return inside.bottom() - (inside.height() - 1) * score / 100; };

    // Grid lines at 0, 50 and 100, on whole device pixels.
    for (const int score : {0, 50, 100}) {
        const int y = yOf(score);
        painter.fillRect(QRect(inside.left(), y, inside.width(), 1), canvas.Fill(GridColor));
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(0, y - metrics.height() / 2, area.left() - px(2), metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(score));
    }
    painter.setPen(QPen(canvas.Fill(FrameColor), 0));
    painter.drawRect(area.adjusted(0, 0, -1, -1));

    const int count = static_cast<int>(scores_.size());
    if (count == 0)
        return;
    const auto xOf = [&](int i) {
        return count == 1 ? inside.center().x() : inside.left() + px(3) + (inside.width() - 1 - px(6)) * i / (count - 1);
    };
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    for (int i = 0; i < count; ++i) {
        const QPointF point(xOf(i) + 0.5, yOf(scores_[static_cast<std::size_t>(i)]) + 0.5);
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    painter.setPen(QPen(canvas.Fill(line_), std::max(1, px(1.5)), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
    const int dot = std::max(2, px(count > 50 ? 2 : 3));
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < count; ++i) {
        const int score = scores_[static_cast<std::size_t>(i)];
        painter.setBrush(canvas.Fill(score >= 100 ? hundred_ : line_));
        painter.drawEllipse(QPointF(xOf(i) + 0.5, yOf(score) + 0.5), dot, dot);
    }
}

QSize ScoreTimelineChart::sizeHint() const
{
    const Look& look = Appearance::Of(this);
    return {look.Px(280), look.Px(100)};
}

QSize ScoreTimelineChart::minimumSizeHint() const
{
    const Look& look = Appearance::Of(this);
    return {look.Px(200), look.Px(70)};
}
