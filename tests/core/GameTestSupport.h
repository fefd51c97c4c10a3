#pragma once
// Shared fixture for the rule tests: an in-memory board, the game state, and short verbs
// for the player's actions.
#include "core/BoardTraversal.h"
#include "core/Game.h"
#include "core/InMemoryBoard.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace tovra::testing {

class GameFixture : public ::testing::Test {
protected:
    void Click(const std::string& id) { btClick(game, board, board.FindCell(id)); }
    void Press(const std::string& id, MouseButton button) { btMouseDown(game, board, board.FindCell(id), button); }
    void RightPress(const std::string& id) { Press(id, MouseButton::Right); }

    // Places numbers on the given cells in order; each must be accepted.
    void Play(std::initializer_list<const char*> ids)
    {
        for (const char* id : ids) {
            const int before = game.MoveCount;
            Click(id);
            ASSERT_EQ(game.MoveCount, before + 1) << "refused " << id << "\n" << board.ToText();
        }
    }

    const std::string& Caption(const std::string& id) const { return board.At(id).caption; }
    Color ColorOf(const std::string& id) const { return board.At(id).color; }
    bool IsBold(const std::string& id) const { return board.At(id).bold; }

    std::vector<std::string> CellsColored(Color color) const
    {
        std::vector<std::string> ids;
        ForEachCellId([&](const std::string& id, int, int) {
            if (board.At(id).color == color)
                ids.push_back(id);
        });
        return ids;
    }

    InMemoryBoard board;
    GameState game;
    int gameChanges = 0; // "board changed" notifications heard
    BoardChanges::Subscription counting = game.Changes.Subscribe([this] { ++gameChanges; });
};

// Everything the game promises between two events; empty when it all holds, otherwise what broke.
std::string BrokenInvariant(const GameState& game, const InMemoryBoard& board);

// Cells a number may follow on from `from`, by plain distance arithmetic over the whole board.
std::vector<std::string> BruteForceTargets(const std::string& from);

} // namespace tovra::testing
