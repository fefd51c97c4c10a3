#pragma once
// The rules of the game, one routine per player action. The main window forwards its
// handlers here; everything they touch on screen goes through BoardView.
#include "BoardView.h"
#include "GameState.h"

#include <string>
#include <vector>

namespace tovra {

enum class MouseButton { Left, Right, Middle };

inline const std::string GameIsEmptyMessage = "The game is empty!";
inline const std::string NoMarkedPositionMessage = "No marked position!";
inline const std::string GivenNumbersStayMessage =
    "The numbers that came with the board stay: only the numbers you placed can be taken back.";

// " Score: " followed by the count, as the score panel shows it.
std::string ScoreText(int moveCount);

// Resets: at start-up (cells untouched, clock already off), and for a new game.
void StartupReset(GameState& game, BoardView& board);
void Nuovapartita1Click(GameState& game, BoardView& board);
// Draws a game kept from an earlier run on the start-up board, as play would have left it: the
// numbers of `cells` (in order) with the last in bold, and the mark on number `markedNumber`
// (0: none). The clock is the caller's.
void ResumeGame(GameState& game, BoardView& board, const std::vector<BoardCell>& cells, int markedNumber);

// Starts a game on a board whose numbers 1..k are given: `cells` (in order) are drawn as given,
// with the last in bold, and the player goes on from k + 1. The clock starts with the player's
// first number.
void StartGivenBoard(GameState& game, BoardView& board, const std::vector<BoardCell>& cells);
// Makes numbers 1..`given` of the game on the board given, as they came with it (a kept game on
// a board with given numbers, drawn again by ResumeGame). A mark on one of them goes.
void KeepFirstNumbersGiven(GameState& game, BoardView& board, int given);
// Whether the cell holds one of the given numbers.
bool IsGivenCell(const GameState& game, BoardCell cell);

// A click on a cell: starts the clock if it is off, then places the next number if the
// cell is free and the move is legal. Anything else is ignored silently. A number placed
// where Redo would have put it keeps the rest of what can be redone; any other empties it.
void btClick(GameState& game, BoardView& board, Cell sender);

// "Moves": highlights every free cell the next number may go on.
void BtnMosseClick(GameState& game, BoardView& board);
// True when at least one number is placed and no reachable cell is free.
bool NoMovesLeft(const GameState& game, BoardView& board);

// A mouse press on a cell: the right button toggles the mark of a numbered cell.
void btMouseDown(GameState& game, BoardView& board, Cell sender, MouseButton button);
// "Undo 1": takes back the highest number.
void BtnUndo1Click(GameState& game, BoardView& board);
// "Undo->marked": takes back numbers one at a time until the marked cell holds the highest.
void BtnUndoMarcatoClick(GameState& game, BoardView& board);
// Takes numbers back one at a time with the steps of "Undo 1", about 60 ms apart, until
// `number` is the highest. Stops early when the player starts a new game or changes the
// numbers meanwhile.
void UndoToNumber(GameState& game, BoardView& board, int number);
// Removes the highest number; only while MoveCount > 0. Redo can place it again.
void UndoLastNumber(GameState& game, BoardView& board);
// "Redo": places again, as a click there would, the last number an undo took away, and puts
// the mark back on it if it went with the number and no other cell has been marked since.
// Does nothing when no undo is left to redo.
void Redo1Click(GameState& game, BoardView& board);

} // namespace tovra
