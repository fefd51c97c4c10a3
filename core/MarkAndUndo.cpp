#include "Game.h"

#include "BoardTraversal.h"

#include <algorithm>

namespace tovra {

namespace {
void RecolorAll(BoardView& board, Color from, Color to)
{
    ForEachCell(board, [&](Cell cell) {
        if (board.CellColor(cell) == from)
            board.SetCellColor(cell, to);
    });
}

void ClearHighlights(BoardView& board) { RecolorAll(board, HintColor, ResetColor); }
} // namespace

void btMouseDown(GameState& game, BoardView& board, Cell sender, MouseButton button)
{
    if (button != MouseButton::Right)
        return;
    if (board.Caption(sender).empty() || IsGivenCell(game, BoardCell::FromId(board.CellId(sender))))
        return;
    // The colour decides, not MarkedCell: a right press on the red cell always unmarks it.
    if (board.CellColor(sender) == MarkColor) {
        game.MarkedCell = BoardCell();
        board.SetCellColor(sender, NumberColor);
        game.Changes.Notify();
        return;
    }
    RecolorAll(board, MarkColor, NumberColor);
    board.SetCellColor(sender, MarkColor);
    game.MarkedCell = BoardCell::FromId(board.CellId(sender));
    game.Changes.Notify();
}

void UndoLastNumber(GameState& game, BoardView& board)
{
    const Cell last = board.FindCell(game.MoveHistory[game.MoveCount].Id());
    const bool marked = board.CellColor(last) == MarkColor;
    if (marked)
        game.MarkedCell = BoardCell(); // the mark goes with its number
    game.RedoSteps.push_back({game.MoveHistory[game.MoveCount], marked});
    board.SetBold(last, false);
    board.SetCellColor(last, FreeColor);
    board.SetCaption(last, "");
    game.MoveHistory[game.MoveCount] = BoardCell();
    --game.MoveCount;
    // At 0 LastCell keeps its old value; nothing reads it until a new first number.
    if (game.MoveCount > 0) {
        game.LastCell = game.MoveHistory[game.MoveCount];
        board.SetBold(board.FindCell(game.LastCell.Id()), true);
    }
    board.SetPanelText(Panel::ScorePanel, ScoreText(game.MoveCount));
    game.Changes.Notify();
}

void Redo1Click(GameState& game, BoardView& board)
{
    if (game.RedoSteps.empty())
        return;
    const RedoStep step = game.RedoSteps.back();
    const Cell cell = board.FindCell(step.Cell.Id());
    const int before = game.MoveCount;
    btClick(game, board, cell); // takes the step off the list when it places the number
    if (game.MoveCount == before) {
        // The board no longer fits what was undone: nothing of it can be placed again.
        game.RedoSteps.clear();
        return;
    }
    // A mark the player has set since is the newer wish and stays where it is.
    if (step.Marked && !game.MarkedCell.IsValid()) {
        board.SetCellColor(cell, MarkColor);
        game.MarkedCell = step.Cell;
        game.Changes.Notify();
    }
}

void BtnUndo1Click(GameState& game, BoardView& board)
{
    if (game.MoveCount == 0) {
        board.InformationMessage(GameIsEmptyMessage);
        return;
    }
    if (game.MoveCount <= game.GivenCount) {
        board.InformationMessage(GivenNumbersStayMessage);
        return;
    }
    ClearHighlights(board);
    UndoLastNumber(game, board);
}

void BtnUndoMarcatoClick(GameState& game, BoardView& board)
{
    if (game.MoveCount == 0) {
        board.InformationMessage(GameIsEmptyMessage);
        return;
    }
    if (!game.MarkedCell.IsValid()) {
        board.InformationMessage(NoMarkedPositionMessage);
        return;
    }
    ClearHighlights(board);

    // Events run between the steps, so the player may start a new game, undo or unmark the
    // marked number, or mark another cell meanwhile. The walk stops as soon as its game, its
    // mark or its numbers are gone, and otherwise heads for whichever cell is marked now.
    const std::uint32_t gameNumber = game.GameNumber;
    while (game.GameNumber == gameNumber && game.MoveCount > game.GivenCount && game.MarkedCell.IsValid() &&
           game.MoveHistory[game.MoveCount] != game.MarkedCell) {
        UndoLastNumber(game, board);
        board.Pause(60);
        board.DispatchPendingEvents();
    }
}

void UndoToNumber(GameState& game, BoardView& board, int number)
{
    // Events run between the steps, as in "Undo->marked". The walk takes back only the
    // numbers it was asked to: it stops when its game is gone or the numbers differ from
    // those it started with.
    const std::uint32_t gameNumber = game.GameNumber;
    const int startCount = game.MoveCount;
    const MoveHistoryList startHistory = game.MoveHistory;
    while (game.GameNumber == gameNumber && game.MoveCount > std::max(number, static_cast<int>(game.GivenCount)) &&
           game.MoveCount <= startCount &&
           game.MoveHistory[game.MoveCount] == startHistory[game.MoveCount]) {
        ClearHighlights(board);
        UndoLastNumber(game, board);
        board.Pause(60);
        board.DispatchPendingEvents();
    }
}

} // namespace tovra
