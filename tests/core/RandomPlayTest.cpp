// Thousands of random player actions against the in-memory board, checking after every
// one that the game's promises hold and that placement agrees with a brute-force rule.
#include "GameTestSupport.h"
#include "core/SplitMix64.h"

#include <algorithm>
#include <cstdlib>
#include <random>

namespace tovra::testing {
namespace {

class RandomPlayTest : public GameFixture {
protected:
    SplitMix64 random{0};
    int animations = 0; // undo animations running, one inside the other

    // One hook serves every undo animation, also those started inside another, so a nested one
    // can never switch off the checks of the one around it.
    void SetUp() override
    {
        board.onDispatch = [this] { AnimationStep(); };
    }

    std::string RandomCell() { return MakeCellId(Pick(1, 10), Pick(1, 10)); }
    int Pick(int low, int high) { return random.Between(low, high); }

    bool BruteForceLegal(const std::string& id)
    {
        if (!Caption(id).empty())
            return false;
        if (game.MoveCount == 0)
            return true;
        const auto targets = BruteForceTargets(game.LastCell.Id());
        return std::find(targets.begin(), targets.end(), id) != targets.end();
    }

    bool BruteForceOver()
    {
        if (game.MoveCount == 0)
            return false;
        for (const auto& id : BruteForceTargets(game.LastCell.Id()))
            if (Caption(id).empty())
                return false;
        return true;
    }

    // Between two steps of an undo animation the promises hold, and sometimes the player acts
    // (at most three animations deep, so it ends).
    void AnimationStep()
    {
        ASSERT_EQ(BrokenInvariant(game, board), "") << board.ToText();
        if (animations < 3 && Pick(0, 3) == 0)
            RandomAction();
    }

    // Left clicks dominate so that games grow long; the rest exercise marks, hints and undo.
    void RandomAction()
    {
        const int roll = Pick(0, 99);
        if (roll < 70) {
            // Mostly aim at a legal target, sometimes anywhere.
            std::string id = RandomCell();
            if (game.MoveCount > 0 && Pick(0, 3) > 0) {
                const auto targets = BruteForceTargets(game.LastCell.Id());
                id = targets[static_cast<std::size_t>(Pick(0, static_cast<int>(targets.size()) - 1))];
            }
            const bool legal = BruteForceLegal(id);
            const int before = game.MoveCount;
            Click(id);
            ASSERT_EQ(game.MoveCount, before + (legal ? 1 : 0)) << id << "\n" << board.ToText();
        } else if (roll < 82) {
            Press(RandomCell(), static_cast<MouseButton>(Pick(0, 2)));
        } else if (roll < 87) {
            BtnMosseClick(game, board);
            // Every free target is lit. (Older hints may remain when "Moves" ran inside an undo
            // animation that then went on taking numbers back; they are free cells all the same.)
            if (game.MoveCount > 0) {
                for (const auto& id : BruteForceTargets(game.LastCell.Id()))
                    ASSERT_EQ(ColorOf(id) == HintColor, Caption(id).empty()) << id << "\n" << board.ToText();
            }
        } else if (roll < 93) {
            BtnUndo1Click(game, board);
        } else if (roll < 98) {
            ++animations;
            BtnUndoMarcatoClick(game, board);
            --animations;
        } else {
            Nuovapartita1Click(game, board);
        }
        ASSERT_EQ(BrokenInvariant(game, board), "") << board.ToText();
        ASSERT_EQ(NoMovesLeft(game, board), BruteForceOver()) << board.ToText();
    }
};

TEST_F(RandomPlayTest, InvariantsHoldThroughRandomPlay)
{
    unsigned seed = std::random_device{}();
    if (const char* fixed = std::getenv("TOVRA_SEED"))
        seed = static_cast<unsigned>(std::strtoul(fixed, nullptr, 10));
    random = SplitMix64(seed);
    SCOPED_TRACE("TOVRA_SEED=" + std::to_string(seed));

    int highest = 0;
    for (int event = 0; event < 20000; ++event) {
        RandomAction();
        if (HasFatalFailure())
            return;
        highest = std::max<int>(highest, game.MoveCount);
    }
    EXPECT_GT(highest, 20); // the walk really played long games
}

} // namespace
} // namespace tovra::testing
