// The one "board changed" notification: every listener hears each change while its
// subscription lives, and one that ends or starts during a notification does not upset it.
#include "core/BoardChanges.h"
#include "core/GameState.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tovra {
namespace {

TEST(BoardChangesTest, ListenersHearEachChangeInTheOrderTheySubscribedUntilTheirSubscriptionGoes)
{
    BoardChanges changes;
    std::string heard;
    BoardChanges::Subscription first = changes.Subscribe([&] { heard += 'a'; });
    std::optional<BoardChanges::Subscription> second = changes.Subscribe([&] { heard += 'b'; });
    changes.Notify();
    second.reset();
    changes.Notify();
    BoardChanges::Subscription moved = std::move(first);
    changes.Notify();
    moved.End();
    changes.Notify();
    EXPECT_EQ(heard, "abaa");
}

TEST(BoardChangesTest, AListenerMayEndItsOwnOrAnotherSubscriptionWhileBeingTold)
{
    BoardChanges changes;
    int told = 0;
    BoardChanges::Subscription later;
    BoardChanges::Subscription self = changes.Subscribe([&] {
        ++told;
        self.End();
        later.End();
    });
    later = changes.Subscribe([&] { told += 100; });
    changes.Notify();
    changes.Notify();
    EXPECT_EQ(told, 1);
}

// A copy of a game (a saved snapshot, a test's "before") starts without the original's
// listeners, so it never tells them about changes of its own.
TEST(BoardChangesTest, ACopiedGameHasNoListeners)
{
    GameState game;
    int told = 0;
    const BoardChanges::Subscription counting = game.Changes.Subscribe([&] { ++told; });
    GameState copy = game;
    copy.Changes.Notify();
    game.Changes.Notify();
    EXPECT_EQ(told, 1);
}

} // namespace
} // namespace tovra
