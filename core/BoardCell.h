#pragma once
// A board cell as the rules and the solver handle it: its index 0..99, (row - 1) * 10 +
// (column - 1). Identifier strings ("bt0310") are only the view's names for cells, bytes and
// bitsets only how files and the solver store sets of them.
//
// The move table: for every cell, the cell each of the eight moves reaches, worked out once,
// at compile time. Every walk over a number's targets reads it.
#include "CellId.h"

#include <array>
#include <compare>
#include <string>
#include <string_view>

namespace tovra {

inline constexpr int CellCount = BoardSize * BoardSize;
inline constexpr int NoCell = -1;

class BoardCell {
public:
    constexpr BoardCell() = default; // no cell
    // An index outside 0..99 gives no cell.
    static constexpr BoardCell FromIndex(int index) { return index >= 0 && index < CellCount ? BoardCell(index) : BoardCell(); }
    // Row and column 1..10; anything else gives no cell.
    static constexpr BoardCell At(int row, int column)
    {
        return row >= 1 && row <= BoardSize && column >= 1 && column <= BoardSize ? BoardCell((row - 1) * BoardSize + column - 1)
                                                                                  : BoardCell();
    }
    // A board identifier such as "bt0310"; a malformed one gives no cell.
    static BoardCell FromId(std::string_view id) { return FromIndex(CellIndexOf(id)); }

    constexpr bool IsValid() const { return index_ != NoCell; }
    constexpr int Index() const { return index_; }
    constexpr int Row() const { return index_ / BoardSize + 1; }
    constexpr int Column() const { return index_ % BoardSize + 1; }
    std::string Id() const { return CellIdOf(index_); }

    friend constexpr auto operator<=>(BoardCell, BoardCell) = default;

private:
    constexpr explicit BoardCell(int index) : index_(index) {}
    int index_ = NoCell;
};

// Moves: three cells straight, or two along a diagonal, as (row, column) offsets, clockwise
// from straight up; move k and move k ^ 4 are opposite. Hints and the end-of-game test try
// them in this order.
struct Step {
    int rows;
    int columns;
};
inline constexpr std::array<Step, 8> MoveSteps{{{-3, 0}, {-2, 2}, {0, 3}, {2, 2}, {3, 0}, {2, -2}, {0, -3}, {-2, -2}}};

// target[cell][k]: the index move k reaches from `cell`, NoCell off the board.
struct MoveTable {
    int target[CellCount][8];
};

inline constexpr MoveTable Moves = [] {
    MoveTable table{};
    for (int cell = 0; cell < CellCount; ++cell) {
        for (int k = 0; k < 8; ++k) {
            const Step step = MoveSteps[static_cast<std::size_t>(k)];
            const int row = cell / BoardSize + step.rows;
            const int column = cell % BoardSize + step.columns;
            const bool on = row >= 0 && row < BoardSize && column >= 0 && column < BoardSize;
            table.target[cell][k] = on ? row * BoardSize + column : NoCell;
        }
    }
    return table;
}();

// The cells a move from `from` reaches on the board, in MoveSteps order: visit(BoardCell).
template <class Visit>
constexpr void ForEachMoveTarget(BoardCell from, Visit&& visit)
{
    if (!from.IsValid())
        return;
    for (const int target : Moves.target[from.Index()])
        if (target != NoCell)
            visit(BoardCell::FromIndex(target));
}

// True when a number on `to` may follow one on `from`.
constexpr bool IsMove(BoardCell from, BoardCell to)
{
    if (!from.IsValid() || !to.IsValid())
        return false;
    for (const int target : Moves.target[from.Index()])
        if (target == to.Index())
            return true;
    return false;
}

} // namespace tovra
