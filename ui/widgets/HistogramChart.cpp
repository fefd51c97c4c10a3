#include "HistogramChart.h"

#include "ChartCanvas.h"

#include <QPainter>

#include <algorithm>

namespace {
// The plot's frame and fill: the board's orange outline around white, as on the main window.
const QColor FrameColor(255, 201, 105);
}

HistogramChart::HistogramChart(QWidget* parent)
    : QWidget(parent)
{
}

void HistogramChart::SetCounts(std::vector<int> counts, int firstValue, int labelEvery)
{
    counts_ = std::move(counts);
    firstValue_ = firstValue;
    labelEvery_ = std::max(1, labelEvery);
    update();
}

void HistogramChart::SetColors(const QColor& color, const QColor& highlight, int highlightedValue)
{
    color_ = color;
    highlight_ = highlight;
    highlightedValue_ = highlightedValue;
    update();
}

void HistogramChart::paintEvent(QPaintEvent*)
{
    ChartCanvas canvas(this);
    QPainter& painter = canvas.painter;
    const int width = canvas.width;
    const int height = canvas.height;
    const auto px = [&canvas](qreal logical) { return canvas.Px(logical); };
    const QFontMetrics& metrics = canvas.metrics;
    const int highest = counts_.empty() ? 0 : *std::max_element(counts_.begin(), counts_.end());
    const QString top = QString::number(highest);

    const QRect area(QPoint(px(4) + metrics.horizontalAdvance(top), px(2)),
                     QPoint(width - px(4) - 1, height - metrics.height() - px(4) - 1));
    painter.fillRect(area, canvas.Fill(Qt::white));
    painter.setPen(QPen(canvas.Fill(FrameColor), 0));
    painter.drawRect(area.adjusted(0, 0, -1, -1));

    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(0, area.top(), area.left() - px(2), metrics.height()), Qt::AlignRight | Qt::AlignTop, top);
    painter.drawText(QRect(0, area.bottom() - metrics.height(), area.left() - px(2), metrics.height()),
                     Qt::AlignRight | Qt::AlignBottom, QStringLiteral("0"));

    const int bars = static_cast<int>(counts_.size());
    if (bars == 0)
        return;
    const QRect inside = area.adjusted(1, 1, -1, -1);
    const int gap = inside.width() / bars >= 3 ? 1 : 0;
    for (int i = 0; i < bars; ++i) {
        const int left = inside.left() + inside.width() * i / bars;
        const int right = inside.left() + inside.width() * (i + 1) / bars - gap;
        const int value = firstValue_ + i;
        if (value == firstValue_ || value % labelEvery_ == 0) {
            const QString label = QString::number(value);
            const int middle = (left + right) / 2;
            const int labelWidth = metrics.horizontalAdvance(label);
            const int x = std::clamp(middle - labelWidth / 2, 0, width - labelWidth);
            painter.drawText(QPoint(x, area.bottom() + px(2) + metrics.ascent()), label);
        }
        const int count = counts_[static_cast<std::size_t>(i)];
        if (count == 0 || highest == 0)
            continue;
        const int barHeight = std::max(1, static_cast<int>(static_cast<long long>(inside.height()) * count / highest));
        const QColor& color = value == highlightedValue_ && highlight_.isValid() ? highlight_ : color_;
        painter.fillRect(QRect(QPoint(left, inside.bottom() - barHeight + 1), QPoint(std::max(left, right - 1), inside.bottom())),
                         canvas.Fill(color));
    }
}

QSize HistogramChart::sizeHint() const
{
    const Look& look = Appearance::Of(this);
    return {look.Px(280), look.Px(100)};
}

QSize HistogramChart::minimumSizeHint() const
{
    const Look& look = Appearance::Of(this);
    return {look.Px(200), look.Px(70)};
}
