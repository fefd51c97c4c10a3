#pragma once
// The state of the game in progress. The board itself lives in the cells (their captions are
// the numbers); this is what the cells cannot tell. Cells are BoardCells here; their
// identifiers are only the names the view finds them by.
#include "BoardCell.h"
#include "BoardChanges.h"
#include "DateTime.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tovra {

// The cells holding numbers 1..100, indexed by the number; no cell past the last number. Any
// other index throws std::out_of_range, so a walk below entry 1 cannot go unnoticed.
class MoveHistoryList {
public:
    BoardCell& operator[](int number) { return entries_.at(static_cast<std::size_t>(number - 1)); }
    const BoardCell& operator[](int number) const { return entries_.at(static_cast<std::size_t>(number - 1)); }
    void Clear() { entries_.fill({}); }

private:
    std::array<BoardCell, CellCount> entries_{};
};

// A number that an undo took away and Redo can place again: its cell, and whether the cell
// carried the mark when the number went.
struct RedoStep {
    BoardCell Cell;
    bool Marked = false;
};

struct GameState {
    std::uint8_t MoveCount = 0; // numbers on the board: the score and the highest number
    BoardCell LastCell;         // cell of number MoveCount; meaningless while MoveCount is 0
    BoardCell MarkedCell;       // the marked cell; no cell when none is marked
    MoveHistoryList MoveHistory;
    DateTime StartTime = 0;     // when the game clock was started
    // What Redo places again, the next one last. Undo adds to it; placing another number and a
    // new game empty it.
    std::vector<RedoStep> RedoSteps;
    // Numbers 1..GivenCount came with the board (today's board, a board opened from a code):
    // no undo takes them back and no mark goes on them. 0 in an ordinary game.
    std::uint8_t GivenCount = 0;
    // Counts new-game resets, so a running undo animation can tell that its game is gone.
    std::uint32_t GameNumber = 0;
    // Told of every change of the numbers or the mark.
    BoardChanges Changes;
};

} // namespace tovra
