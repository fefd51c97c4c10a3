#include "Game.h"

#include "BoardTraversal.h"

namespace tovra {

std::string ScoreText(int moveCount) { return " Score: " + std::to_string(moveCount); }

void StartupReset(GameState& game, BoardView& board)
{
    game.GivenCount = 0;
    game.MoveHistory.Clear();
    game.LastCell = BoardCell();
    game.MarkedCell = BoardCell();
    game.MoveCount = 0;
    game.RedoSteps.clear();
    board.SetPanelText(Panel::ScorePanel, "");
    board.SetPanelText(Panel::TimePanel, "");
}

void Nuovapartita1Click(GameState& game, BoardView& board)
{
    ++game.GameNumber;
    const int given = game.GivenCount;
    for (int number = 1; number <= given; ++number)
        board.SetGiven(board.FindCell(game.MoveHistory[number].Id()), false);
    game.GivenCount = 0;
    game.MoveHistory.Clear();
    game.LastCell = BoardCell();
    game.MarkedCell = BoardCell();
    game.MoveCount = 0;
    game.RedoSteps.clear();
    board.SetClockEnabled(false);
    board.SetPanelText(Panel::ScorePanel, "");
    board.SetPanelText(Panel::TimePanel, "");
    // Bold is left alone: an empty cell shows no text, and the next placement sets it anew.
    ForEachCell(board, [&](Cell cell) {
        board.SetCaption(cell, "");
        board.SetCellColor(cell, ResetColor);
    });
    game.Changes.Notify();
}

void ResumeGame(GameState& game, BoardView& board, const std::vector<BoardCell>& cells, int markedNumber)
{
    StartupReset(game, board);
    for (const BoardCell placed : cells) {
        const Cell cell = board.FindCell(placed.Id());
        ++game.MoveCount;
        game.MoveHistory[game.MoveCount] = placed;
        game.LastCell = placed;
        board.SetCaption(cell, std::to_string(game.MoveCount));
        board.SetCellColor(cell, game.MoveCount == markedNumber ? MarkColor : NumberColor);
        board.SetBold(cell, game.MoveCount == static_cast<int>(cells.size()));
    }
    if (markedNumber >= 1 && markedNumber <= game.MoveCount)
        game.MarkedCell = game.MoveHistory[markedNumber];
    board.SetPanelText(Panel::ScorePanel, ScoreText(game.MoveCount));
}

} // namespace tovra
