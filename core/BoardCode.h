#pragma once
// A board as a short text code a player can paste into a chat and back: the cells of the
// numbers in order, and a check that catches a mistyped or missing character. The format is
// written down in README.md ("Board codes"); a code once handed out must read the same
// board for good, so the format only ever grows by its version symbol.
#include <string>
#include <string_view>
#include <vector>

namespace tovra {

// The 32 symbols of a code, in value order: digits and capitals without I, L, O and U, so
// that no two look alike. Reading also takes lower case and skips spaces and hyphens.
inline constexpr std::string_view BoardCodeSymbols = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";

// What the code's cells could not be read as, each with its own message.
enum class BoardCodeFault {
    None,
    Empty,             // nothing but blanks was pasted
    ForeignCharacter,  // a character outside the symbols
    TooShort,          // fewer symbols than the smallest code
    NewerVersion,      // a version symbol this game does not know
    WrongCheck,        // the check does not match the rest
    TooManyCells,      // more than 100 cells
    WrongLength,       // the symbols do not match the count of cells they announce
    CellOffBoard,      // a cell number past the board's 100
    CellUsedTwice,     // two numbers on one cell
    IllegalJump,       // a number that is no move from the one before
};

struct BoardCodeReading {
    std::vector<int> cells; // cell indexes 0..99 of numbers 1, 2, ... when fault is None
    BoardCodeFault fault = BoardCodeFault::None;
    std::string message; // one line for the player, empty when fault is None
};

// The code of the numbers on `cells` (indexes 0..99, number 1 first). It encodes what it is
// given without judging the moves, so that tests can make codes of bad boards with a right
// check; it throws std::invalid_argument only for what the format cannot hold (more than 127
// cells, or an index outside 0..127).
std::string EncodeBoardCode(const std::vector<int>& cells);

// The board of a code, or the first fault found, in the order of the enum.
BoardCodeReading ReadBoardCode(std::string_view text);

} // namespace tovra
