#include "Game.h"

#include "BoardTraversal.h"

namespace tovra {

void BtnMosseClick(GameState& game, BoardView& board)
{
    if (game.MoveCount == 0) {
        board.InformationMessage(GameIsEmptyMessage);
        return;
    }
    // Earlier highlights are those of the same last number: every move and undo clears them.
    ForEachMoveTarget(game.LastCell, [&](BoardCell target) {
        const Cell cell = board.FindCell(target.Id());
        if (board.Caption(cell).empty())
            board.SetCellColor(cell, HintColor);
    });
}

bool NoMovesLeft(const GameState& game, BoardView& board)
{
    if (game.MoveCount == 0)
        return false;
    bool over = true;
    ForEachMoveTarget(game.LastCell, [&](BoardCell target) {
        if (board.Caption(board.FindCell(target.Id())).empty())
            over = false;
    });
    return over;
}

} // namespace tovra
