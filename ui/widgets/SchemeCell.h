#pragma once
// A cell of a board shown as text alone (the Best 20's final boards): a label that carries the
// shapes of its states as a board cell does, drawn while the look asks for shapes.
#include <QLabel>

class SchemeCell : public QLabel {
    Q_OBJECT

public:
    explicit SchemeCell(QWidget* parent = nullptr) : QLabel(parent) {}

    // StateShape bits.
    int StateShapes() const { return shapes_; }
    void SetStateShapes(int shapes);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int shapes_ = 0;
};
