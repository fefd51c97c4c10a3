#include "Game.h"

#include "BoardTraversal.h"

namespace tovra {

std::string ScoreText(int moveCount) { return " Score: " + std::to_string(moveCount); }

void StartupReset(GameState& game, BoardView& board)
{
    game.MoveHistory.Clear();
    game.LastCell.clear();
    game.MarkedCell.clear();
    game.MoveCount = 0;
    game.RedoSteps.clear();
    board.SetPanelText(Panel::ScorePanel, "");
    board.SetPanelText(Panel::TimePanel, "");
}

void Nuovapartita1Click(GameState& game, BoardView& board)
{
    ++game.GameNumber;
    game.MoveHistory.Clear();
    game.LastCell.clear();
    game.MarkedCell.clear();
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
}

} // namespace tovra
