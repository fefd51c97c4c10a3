#pragma once
// Simple ways of playing on from a position, for grading boards and for measuring what the
// grades mean. Cells are indexes 0..99, (row - 1) * 10 + (column - 1).
#include "SplitMix64.h"

#include <array>
#include <vector>

namespace tovra {

// Which cells hold a number, by index.
using UsedCells = std::array<bool, 100>;

enum class PlayPolicy {
    Random,              // any legal next cell, all alike
    FewestOnward,        // the next cell with the fewest free cells onward (but not none
                         // before the 100th), ties at random
    FewestOnwardInOrder, // the same, ties to the first in the order of the move table
    LookAhead,           // as a player using Moves on each candidate: never a cell with no
                         // move onward unless it is the 100th, otherwise at random
};

// The free targets of a move from `cell` on a board whose used cells are `used`.
int FreeTargets(int cell, const UsedCells& used, int* targets);

// Plays on from `cells` (numbers 1..n, legal, n >= 1) until no move is left; returns the
// highest number reached. Only the policies with "at random" draw from `random`.
int PlayOn(const std::vector<int>& cells, PlayPolicy policy, SplitMix64& random);

} // namespace tovra
