#pragma once
// The two board walks every rule shares: all cells in reading order, and the up-to-eight
// cells a number may follow on.
#include "BoardCell.h"
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

// The targets of a move from `from` that lie on the board, in MoveSteps order:
// visit(target id).
template <class Visit>
void ForEachTarget(const std::string& from, Visit&& visit)
{
    ForEachMoveTarget(BoardCell::FromId(from), [&](BoardCell target) { visit(target.Id()); });
}

} // namespace tovra
