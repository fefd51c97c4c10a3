#include "Game.h"

#include "BoardTraversal.h"

namespace tovra {

void btClick(GameState& game, BoardView& board, Cell sender)
{
    // The clock starts on the first click of a game, legal or not.
    if (!board.ClockEnabled()) {
        board.SetPanelText(Panel::TimePanel, " Time: 0.00.00");
        game.StartTime = board.Now();
        board.SetClockEnabled(true);
    }

    const BoardCell placed = BoardCell::FromId(board.CellId(sender));
    // Freedom is judged by the caption alone, never by the colour.
    if (!board.Caption(sender).empty())
        return;
    // The first number may go anywhere.
    if (game.MoveCount > 0 && !IsMove(game.LastCell, placed))
        return;

    ForEachCell(board, [&](Cell cell) {
        if (board.CellColor(cell) == HintColor)
            board.SetCellColor(cell, FreeColor);
    });
    if (game.MoveCount > 0)
        board.SetBold(board.FindCell(game.LastCell.Id()), false);
    game.LastCell = placed;
    ++game.MoveCount;
    board.SetCaption(sender, std::to_string(game.MoveCount));
    board.SetBold(sender, true);
    board.SetCellColor(sender, NumberColor);
    game.MoveHistory[game.MoveCount] = game.LastCell;
    // Playing the very number Redo would place is the same move: what follows it stays.
    if (!game.RedoSteps.empty() && game.RedoSteps.back().Cell == placed)
        game.RedoSteps.pop_back();
    else
        game.RedoSteps.clear();
    board.SetPanelText(Panel::ScorePanel, ScoreText(game.MoveCount));
    game.Changes.Notify();
}

} // namespace tovra
