#pragma once
// The two board walks every rule shares: all cells in reading order, and the up-to-eight
// cells a number may follow on.
#include "BoardView.h"
#include "CellId.h"

#include <string>

namespace tovra {

// Rows 1..10 top to bottom, columns 1..10 left to right: visit(id, row, column).
template <class Visit>
void ForEachCellId(Visit&& visit, std::string_view prefix = "bt")
{
    for (int row = 1; row <= BoardSize; ++row)
        for (int column = 1; column <= BoardSize; ++column)
            visit(MakeCellId(row, column, prefix), row, column);
}

// Every board cell, looked up by its identifier, in the same order: visit(cell).
template <class Visit>
void ForEachCell(BoardView& board, Visit&& visit)
{
    ForEachCellId([&](const std::string& id, int, int) { visit(board.FindCell(id)); });
}

// Moves: three cells straight, or two along a diagonal, as (row, column) offsets,
// clockwise from straight up. Hints and the end-of-game test try them in this order.
struct Step {
    int rows;
    int columns;
};
inline constexpr Step MoveSteps[8] = {{-3, 0}, {-2, 2}, {0, 3}, {2, 2}, {3, 0}, {2, -2}, {0, -3}, {-2, -2}};

// True when a column and row distance is a legal move shape: (3,0), (0,3) or (2,2).
constexpr bool IsMoveShape(int columnDistance, int rowDistance)
{
    return (columnDistance == 3 && rowDistance == 0) || (columnDistance == 0 && rowDistance == 3) ||
           (columnDistance == 2 && rowDistance == 2);
}

// The targets of a move from `from` that lie on the board, in MoveSteps order:
// visit(target id). Off-board targets are skipped before any identifier is built.
template <class Visit>
void ForEachTarget(const std::string& from, Visit&& visit)
{
    const int column = CellColumn(from);
    const int row = CellRow(from);
    for (const Step step : MoveSteps) {
        const int targetRow = row + step.rows;
        const int targetColumn = column + step.columns;
        if (targetRow < 1 || targetRow > BoardSize || targetColumn < 1 || targetColumn > BoardSize)
            continue;
        visit(MakeCellId(targetRow, targetColumn));
    }
}

} // namespace tovra
