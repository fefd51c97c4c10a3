#include "Game.h"

namespace tovra {

void StartGivenBoard(GameState& game, BoardView& board, const std::vector<BoardCell>& cells)
{
    Nuovapartita1Click(game, board);
    ResumeGame(game, board, cells, 0);
    game.GivenCount = static_cast<std::uint8_t>(game.MoveCount);
    for (const BoardCell cell : cells)
        board.SetGiven(board.FindCell(cell.Id()), true);
    game.Changes.Notify();
}

bool IsGivenCell(const GameState& game, BoardCell cell)
{
    for (int number = 1; number <= game.GivenCount; ++number)
        if (game.MoveHistory[number] == cell)
            return true;
    return false;
}

} // namespace tovra
