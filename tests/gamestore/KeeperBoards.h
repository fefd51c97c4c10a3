#pragma once
// Boards handed to the keeper by its tests.
#include "core/CellId.h"
#include "core/GameState.h"

#include <cstdint>
#include <vector>

namespace tovra::testing {

// A board holding `cells` (indexes) as numbers 1, 2, ... of game `number`.
inline GameState Board(const std::vector<int>& cells, std::uint32_t number = 1)
{
    GameState game;
    game.GameNumber = number;
    for (const int cell : cells) {
        ++game.MoveCount;
        game.MoveHistory[game.MoveCount] = BoardCell::FromIndex(cell);
        game.LastCell = game.MoveHistory[game.MoveCount];
    }
    return game;
}

} // namespace tovra::testing
