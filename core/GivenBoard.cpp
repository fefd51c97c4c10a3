#include "Game.h"

#include <algorithm>

namespace tovra {

void StartGivenBoard(GameState& game, BoardView& board, const std::vector<BoardCell>& cells)
{
    Nuovapartita1Click(game, board);
    ResumeGame(game, board, cells, 0);
    KeepFirstNumbersGiven(game, board, game.MoveCount);
    game.Changes.Notify();
}

void KeepFirstNumbersGiven(GameState& game, BoardView& board, int given)
{
    game.GivenCount = static_cast<std::uint8_t>(std::clamp(given, 0, static_cast<int>(game.MoveCount)));
    for (int number = 1; number <= game.GivenCount; ++number) {
        const Cell cell = board.FindCell(game.MoveHistory[number].Id());
        board.SetGiven(cell, true);
        if (game.MoveHistory[number] == game.MarkedCell) {
            game.MarkedCell = BoardCell();
            board.SetCellColor(cell, NumberColor);
        }
    }
}

bool IsGivenCell(const GameState& game, BoardCell cell)
{
    for (int number = 1; number <= game.GivenCount; ++number)
        if (game.MoveHistory[number] == cell)
            return true;
    return false;
}

} // namespace tovra
