#include "ReplayBoard.h"

#include "TFlatSpeedButton.h"
#include "TShape.h"

ReplayBoard::ReplayBoard(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(sizeHint());
    auto* frame = new TShape(this);
    frame->setGeometry(0, 0, 209, 209);
    frame->SetPenColor(QColor(255, 201, 105));
    frame->SetBrushColor(Qt::white);
    auto* grid = new TShape(this);
    grid->setGeometry(4, 4, 201, 201);
    grid->SetPenColor(QColor(192, 192, 192));
    grid->SetBrushColor(QColor(192, 192, 192));
    for (int index = 0; index < 100; ++index) {
        auto* cell = new TFlatSpeedButton(this);
        cell->setGeometry(5 + 20 * (index % 10), 5 + 20 * (index / 10), 19, 19);
        cell->SetButtonStyle(TFlatSpeedButton::ubsOutlineFlat);
        cell->SetCtlXP(false);
        cell->setAttribute(Qt::WA_TransparentForMouseEvents);
        QPalette black = cell->palette();
        black.setColor(QPalette::ButtonText, Qt::black);
        black.setColor(QPalette::WindowText, Qt::black);
        cell->setPalette(black);
        cells_[static_cast<std::size_t>(index)] = cell;
    }
}
