// The viewer's stepping: where each command leaves the board, at the ends and past them.
#include "core/GameReplay.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tovra {
namespace {

// A game of five numbers (lost after number 3) followed by a completion of two.
GameReplay Sample() { return GameReplay({3, 25, 22, 52, 30, 0, 1}, 5, 3); }

// Commands, one letter each: f forward, b back, F first, L last, X jump to the loss,
// digits jump to that position.
int RunCommands(GameReplay& replay, const std::string& commands)
{
    int changes = 0;
    for (const char command : commands) {
        bool changed = false;
        switch (command) {
        case 'f': changed = replay.StepForward(); break;
        case 'b': changed = replay.StepBack(); break;
        case 'F': changed = replay.First(); break;
        case 'L': changed = replay.Last(); break;
        case 'X': changed = replay.JumpToLoss(); break;
        default: changed = replay.JumpTo(command - '0'); break;
        }
        changes += changed;
    }
    return changes;
}

struct SteppingCase {
    const char* name;
    const char* commands;
    int position;
    int changes; // commands that changed the board
};

class Stepping : public ::testing::TestWithParam<SteppingCase> {};

TEST_P(Stepping, LeavesTheBoardWhereExpected)
{
    GameReplay replay = Sample();
    EXPECT_EQ(RunCommands(replay, GetParam().commands), GetParam().changes);
    EXPECT_EQ(replay.Position(), GetParam().position);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, Stepping,
    ::testing::Values(SteppingCase{"starts_empty", "", 0, 0}, SteppingCase{"forward_twice", "ff", 2, 2},
                      SteppingCase{"back_at_the_start_does_nothing", "bb", 0, 0},
                      SteppingCase{"last_then_forward_stays_at_the_end", "Lf", 7, 1},
                      SteppingCase{"last_then_back", "Lb", 6, 2}, SteppingCase{"first_after_steps", "fffF", 0, 4},
                      SteppingCase{"jump_to_the_loss", "X", 3, 1}, SteppingCase{"jump_past_the_end_is_clamped", "9", 7, 1},
                      SteppingCase{"jump_to_where_it_is", "44", 4, 1}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(GameReplay, ShowsOnlyTheNumbersUpToThePosition)
{
    GameReplay replay = Sample();
    replay.JumpTo(2);
    EXPECT_EQ(replay.NumberOn(3), 1);
    EXPECT_EQ(replay.NumberOn(25), 2);
    EXPECT_EQ(replay.NumberOn(22), 0); // number 3, not shown yet
    EXPECT_EQ(replay.CellsShown(), (std::vector<int>{3, 25}));
    replay.Last();
    EXPECT_EQ(replay.NumberOn(1), 7);
    EXPECT_TRUE(replay.IsCompletion(6));
    EXPECT_FALSE(replay.IsCompletion(5));
}

struct LossCase {
    const char* name;
    int played;
    std::optional<int> lastReachable;
    std::optional<int> loss;
};

class Loss : public ::testing::TestWithParam<LossCase> {};

TEST_P(Loss, IsMarkedOnlyWhen100WasLostInThePlayedPart)
{
    const GameReplay replay({3, 25, 22, 52, 30}, GetParam().played, GetParam().lastReachable);
    EXPECT_EQ(replay.LossPosition(), GetParam().loss);
}

INSTANTIATE_TEST_SUITE_P(Games, Loss,
                         ::testing::Values(LossCase{"lost_after_3", 5, 3, 3}, LossCase{"unknown", 5, std::nullopt, std::nullopt},
                                           LossCase{"still_reachable_at_the_end", 5, 5, std::nullopt},
                                           LossCase{"reachable_until_the_shown_way_begins", 3, 3, std::nullopt}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(GameReplay, ACellUsedTwiceEndsTheGameThere)
{
    GameReplay replay({3, 25, 3, 52}, 4);
    EXPECT_EQ(replay.Length(), 2);
    EXPECT_EQ(replay.Played(), 2);
}

} // namespace
} // namespace tovra
