#pragma once
// The move rule by plain distance arithmetic, apart from the game's and the solver's move
// tables, which the tests check against it.
#include <cstdlib>

namespace tovra::testing {

// Cells are 0..99, row by row.
inline bool IsMove(int from, int to)
{
    const int rows = std::abs(from / 10 - to / 10);
    const int columns = std::abs(from % 10 - to % 10);
    return (rows == 3 && columns == 0) || (rows == 0 && columns == 3) || (rows == 2 && columns == 2);
}

} // namespace tovra::testing
