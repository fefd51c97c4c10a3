#include "BoardCursor.h"

#include "core/CellId.h"
#include "ui/widgets/KeyboardCursorFrame.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QWidget>

#include <algorithm>

using namespace tovra;

namespace {
// Arrows from the keypad count too; other modifiers leave the key to the rest of the window.
bool Plain(const QKeyEvent& key) { return (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier; }

bool IsPress(const QKeyEvent& key)
{
    return Plain(key) && (key.key() == Qt::Key_Space || key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter);
}

bool IsRightPress(const QKeyEvent& key)
{
    return (key.key() == Qt::Key_Menu && Plain(key))
        || (key.key() == Qt::Key_F10 && key.modifiers() == Qt::ShiftModifier);
}
} // namespace

BoardCursor::BoardCursor(QWidget* window, std::vector<TFlatSpeedButton*> cells, GameState& game)
    : QObject(window)
    , cells_(std::move(cells))
    , game_(game)
    , frame_(new KeyboardCursorFrame(cells_.front()->parentWidget()))
    , changes_(game.Changes.Subscribe([this] { boardChanged(); }))
{
    frame_->setObjectName(QStringLiteral("KeyboardCursor"));
    window->installEventFilter(this);
}

TFlatSpeedButton* BoardCursor::Cell() const
{
    return shown_ ? cells_[static_cast<std::size_t>(BoardSize * (row_ - 1) + (column_ - 1))] : nullptr;
}

void BoardCursor::Refresh()
{
    if (shown_)
        frame_->Surround(Cell());
}

bool BoardCursor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && handleKey(*static_cast<QKeyEvent*>(event)))
        return true;
    return QObject::eventFilter(watched, event);
}

bool BoardCursor::handleKey(const QKeyEvent& key)
{
    int row = row_;
    int column = column_;
    if (target(key, row, column)) {
        if (shown_)
            moveTo(row, column);
        else
            showAtStart();
        return true;
    }
    const bool press = IsPress(key);
    if (!press && !IsRightPress(key))
        return false;
    // A held key must not run on into the window the last move opens (the name box's Enter).
    if (shown_ && !key.isAutoRepeat())
        Cell()->PressAndRelease(press ? Qt::LeftButton : Qt::RightButton);
    return shown_;
}

bool BoardCursor::target(const QKeyEvent& key, int& row, int& column) const
{
    const bool control = key.modifiers() & Qt::ControlModifier;
    if (!Plain(key) && !(control && (key.key() == Qt::Key_Home || key.key() == Qt::Key_End)))
        return false;
    switch (key.key()) {
    case Qt::Key_Up: row = std::max(row - 1, 1); break;
    case Qt::Key_Down: row = std::min(row + 1, BoardSize); break;
    case Qt::Key_Left: column = std::max(column - 1, 1); break;
    case Qt::Key_Right: column = std::min(column + 1, BoardSize); break;
    case Qt::Key_PageUp: row = 1; break;
    case Qt::Key_PageDown: row = BoardSize; break;
    case Qt::Key_Home:
        column = 1;
        row = control ? 1 : row;
        break;
    case Qt::Key_End:
        column = BoardSize;
        row = control ? BoardSize : row;
        break;
    default: return false;
    }
    return true;
}

void BoardCursor::showAtStart()
{
    const bool anyNumber = game_.MoveCount > 0;
    row_ = anyNumber ? std::clamp(game_.LastCell.Row(), 1, BoardSize) : 1;
    column_ = anyNumber ? std::clamp(game_.LastCell.Column(), 1, BoardSize) : 1;
    shown_ = true;
    frame_->show();
    settle();
}

void BoardCursor::moveTo(int row, int column)
{
    if (row == row_ && column == column_)
        return;
    Cell()->SetHasKeyboardCursor(false);
    row_ = row;
    column_ = column;
    settle();
}

void BoardCursor::boardChanged()
{
    if (!shown_)
        return;
    const QString caption = Cell()->Caption();
    if (caption.isEmpty() && !reported_.isEmpty() && game_.MoveCount > 0)
        moveTo(std::clamp(game_.LastCell.Row(), 1, BoardSize), std::clamp(game_.LastCell.Column(), 1, BoardSize));
    else if (caption != reported_)
        settle();
}

void BoardCursor::settle()
{
    TFlatSpeedButton* cell = Cell();
    reported_ = cell->Caption();
    cell->SetHasKeyboardCursor(true);
    frame_->Surround(cell);
    // Screen readers follow the cursor as they follow the focus.
    QAccessibleEvent focus(cell, QAccessible::Focus);
    QAccessible::updateAccessibility(&focus);
}
