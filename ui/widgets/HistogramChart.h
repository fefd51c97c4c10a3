#pragma once
// Bars over a run of whole numbers: how many games had each score, or lost 100 after each
// number. Drawn in device pixels, so every edge falls on a pixel at any scale factor.
#include <QColor>
#include <QWidget>

#include <vector>

class HistogramChart : public QWidget {
    Q_OBJECT
public:
    explicit HistogramChart(QWidget* parent = nullptr);

    // counts[i] is the bar of the value firstValue + i; values divisible by `labelEvery` (and the
    // first) are written under the axis.
    void SetCounts(std::vector<int> counts, int firstValue, int labelEvery = 10);
    // Bars in `color`, and the bar of `value` in `highlight` (none by default).
    void SetColors(const QColor& color, const QColor& highlight = {}, int highlightedValue = -1);

    const std::vector<int>& Counts() const { return counts_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<int> counts_;
    int firstValue_ = 0;
    int labelEvery_ = 10;
    QColor color_{255, 165, 0};
    QColor highlight_;
    int highlightedValue_ = -1;
};
