#include "ui/widgets/PauseCover.h"

#include "ui/widgets/Look.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {
// The board's colours at the actual size: the square's outline, the grid, a free cell.
const QColor SquareEdge(255, 201, 105);
const QColor Grid(192, 192, 192);
const QColor FreeCell(255, 250, 205);
const QColor Box(255, 255, 255);
} // namespace

PauseCover::PauseCover(QWidget* board, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PauseCover"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(board->geometry());
    setAccessibleName(Word());
    hide();
}

QFont PauseCover::wordFont() const
{
    QFont bold = font();
    bold.setBold(true);
    bold.setPixelSize(Appearance::Of(this).Px(18));
    return bold;
}

QFont PauseCover::lineFont() const
{
    QFont line = font();
    line.setPixelSize(Appearance::Of(this).Px(11));
    return line;
}

QRect PauseCover::WordRect() const
{
    const Look& look = Appearance::Of(this);
    const QFontMetrics word(wordFont());
    const QFontMetrics line(lineFont());
    QRect box(0, 0, std::max(word.horizontalAdvance(Word()), line.horizontalAdvance(HowToGoOn())) + look.Px(16),
              word.height() + line.height() + look.Px(12));
    box.moveCenter(rect().center());
    return box;
}

void PauseCover::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const Look& look = Appearance::Of(this);
    painter.fillRect(rect(), look.Fill(SquareEdge));
    painter.fillRect(look.Scaled(QRect(1, 1, 207, 207)), look.Fill(Qt::white));
    painter.fillRect(look.Scaled(QRect(4, 4, 201, 201)), look.Fill(Grid));
    for (int row = 0; row < 10; ++row) {
        for (int column = 0; column < 10; ++column)
            painter.fillRect(look.Scaled(QRect(5 + 20 * column, 5 + 20 * row, 19, 19)), look.Fill(FreeCell));
    }
    const QRect word = WordRect();
    painter.fillRect(word, look.Fill(Qt::black));
    painter.fillRect(word.adjusted(look.Px(1), look.Px(1), -look.Px(1), -look.Px(1)), look.Fill(Box));
    const QRect inside = word.adjusted(0, look.Px(6), 0, -look.Px(6));
    painter.setPen(look.Ink(Qt::black));
    painter.setFont(wordFont());
    painter.drawText(inside, Qt::AlignHCenter | Qt::AlignTop, Word());
    painter.setFont(lineFont());
    painter.drawText(inside, Qt::AlignHCenter | Qt::AlignBottom, HowToGoOn());
}

void PauseCover::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    pressedOnWord_ = event->button() == Qt::LeftButton && WordRect().contains(event->position().toPoint());
}

void PauseCover::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    const bool onWord = pressedOnWord_ && WordRect().contains(event->position().toPoint());
    pressedOnWord_ = false;
    if (onWord)
        emit ResumeAsked();
}
