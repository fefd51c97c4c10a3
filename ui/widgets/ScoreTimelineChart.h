#pragma once
// The scores of the last games, oldest on the left, as a line over a 0..100 scale with a
// dot on every game and the 100s in their own colour. Drawn in device pixels, so the grid
// stays sharp at any scale factor.
#include <QColor>
#include <QWidget>

#include <vector>

class ScoreTimelineChart : public QWidget {
    Q_OBJECT
public:
    explicit ScoreTimelineChart(QWidget* parent = nullptr);

    void SetScores(std::vector<int> oldestFirst);
    void SetColors(const QColor& line, const QColor& hundred);

    const std::vector<int>& Scores() const { return scores_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<int> scores_;
    QColor line_{255, 165, 0};
    QColor hundred_{0, 204, 0};
};
