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
    ForEachTarget(game.LastCell, [&](const std::string& target) {
        if (board.Caption(board.FindCell(target)).empty())
            board.SetCellColor(board.FindCell(target), HintColor);
    });
}

bool NoMovesLeft(const GameState& game, BoardView& board)
{
    if (game.MoveCount == 0)
        return false;
    bool over = true;
    ForEachTarget(game.LastCell, [&](const std::string& target) {
        if (board.Caption(board.FindCell(target)).empty())
            over = false;
    });
    return over;
}

} // namespace tovra
