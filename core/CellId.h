#pragma once
// Cell identifiers: "bt" + row as two digits + column as two digits ("bt0101" top-left,
// "bt1010" bottom-right). The identifier is also the cell's widget name, so every
// routine finds a cell by it.
#include <string>
#include <string_view>

namespace tovra {

inline constexpr int BoardSize = 10;

// row and column 1..10; prefix "bt" for the board, "lb" for the stored-game labels.
std::string MakeCellId(int row, int column, std::string_view prefix = "bt");

// Characters 3-4 (row) and 5-6 (column) read as decimal; 0 for a malformed identifier.
int CellRow(std::string_view id);
int CellColumn(std::string_view id);

// Cell index 0..99, (row - 1) * 10 + (column - 1), of a board identifier such as "bt0310", and
// back; -1 for a malformed identifier, "" for an index off the board.
int CellIndexOf(std::string_view id);
std::string CellIdOf(int index);

} // namespace tovra
