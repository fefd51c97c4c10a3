#pragma once
// The keyboard cursor's look: a 2-pixel blue ring, drawn over the grid line around a cell and
// the cell's own edge pixel, so it reads apart from the black hover outline and from every cell
// colour. It lets the mouse through to the cell below and hides nothing inside the cell.
#include <QColor>
#include <QWidget>

class KeyboardCursorFrame : public QWidget {
    Q_OBJECT

public:
    static inline const QColor RingColor{0x00, 0x38, 0xE0};
    static constexpr int RingWidth = 2;

    explicit KeyboardCursorFrame(QWidget* parent = nullptr);
    // Surrounds `cell`, a sibling: the ring's outer pixel lies on the grid line around it.
    void Surround(const QWidget* cell);

protected:
    void paintEvent(QPaintEvent* event) override;
};
