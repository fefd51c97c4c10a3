#pragma once
// A board drawn like the main window's: the white square in its orange outline, the silver
// grid and 100 flat cells at a 20-pixel pitch. It only shows: the cells take no clicks and
// never turn hot under the pointer.
#include <QWidget>

#include <array>

class TFlatSpeedButton;

class ReplayBoard : public QWidget {
    Q_OBJECT
public:
    explicit ReplayBoard(QWidget* parent = nullptr);

    // Cell index 0..99: (row - 1) * 10 + (column - 1).
    TFlatSpeedButton* Cell(int index) const { return cells_.at(static_cast<std::size_t>(index)); }

    QSize sizeHint() const override { return {209, 209}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

private:
    std::array<TFlatSpeedButton*, 100> cells_{};
};
