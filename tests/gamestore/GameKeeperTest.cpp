// The keeper of games.db: what the file holds after the window's hand-overs, with the file
// locked by another program, two copies starting at once, a game left and taken back, and the
// history's upkeep, all done off the caller's thread.
#include "gamestore/GameKeeper.h"

#include "DatabaseFiles.h"
#include "KeeperBoards.h"
#include "TestFiles.h"
#include "core/CellId.h"
#include "gamestore/GameDatabaseSchema.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <unistd.h>
#include <sys/stat.h>

namespace tovra {
namespace {

using namespace tovra::testing;
using namespace std::chrono_literals;

// Every row by id: "state:score[:name]".
std::string Rows(const std::string& path) { return GameRows(path, "state || ':' || score || ifnull(':' || name, '')"); }

// Another program holding the write lock, as long as it lives.
class LockHolder {
public:
    explicit LockHolder(const std::string& path)
        : db_(path, OpenFor::Writing)
    {
        db_.Execute("BEGIN IMMEDIATE");
    }
    ~LockHolder() { db_.Execute("COMMIT"); }

private:
    Connection db_;
};

// A keeper with a file made and one game of `cells` kept in it.
void KeepOneGame(const std::string& path, const std::vector<int>& cells)
{
    GameKeeper keeper(path, std::nullopt);
    keeper.Begin(Board({}), std::nullopt);
    keeper.Changed(Board(cells), 1000);
    keeper.Close(Board(cells), 1000);
}

// A keeper told to wait touches no file until it is let go, by Go() or by the board's first
// change; Close() lets it go too, so the last state is never left behind.
TEST(GameKeeper, AKeeperThatWaitsMakesNothingUntilItIsLetGo)
{
    const std::vector<std::pair<const char*, std::function<void(GameKeeper&)>>> letGo = {
        {"Go", [](GameKeeper& keeper) { keeper.Go(); }},
        {"a change", [](GameKeeper& keeper) { keeper.Changed(Board({0, 3}), 10); }},
        {"Close", [](GameKeeper& keeper) { keeper.Close(Board({0, 3}), 10); }},
    };
    for (const auto& [how, go] : letGo) {
        SCOPED_TRACE(how);
        TempDir dir;
        const std::string path = dir.Path("games.db");
        GameKeeper keeper(path, std::nullopt, {}, GameKeeper::Start::OnGo);
        keeper.Begin(Board({}), std::nullopt);
        EXPECT_FALSE(keeper.WaitUntilWritten(200ms));
        EXPECT_TRUE(dir.Entries().empty());
        go(keeper);
        EXPECT_TRUE(keeper.WaitUntilWritten(10s));
        EXPECT_EQ(::access(path.c_str(), F_OK), 0);
        // The window's late Go after it closed its keeper starts nothing again.
        keeper.Close(Board({0, 3}), 10);
        keeper.Go();
    }
}

TEST(GameKeeper, ABurstOfChangesWhileTheFileIsLockedBecomesOneWriteOfTheNewest)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    KeepOneGame(path, {0});
    GameKeeper keeper(path, std::nullopt);
    keeper.Begin(Board({}), PeekGameToResume(path));
    ASSERT_TRUE(keeper.WaitUntilWritten(10s));
    const std::int64_t before = keeper.WritesDone();
    {
        LockHolder other(path);
        const std::vector<int> cells = {0, 3, 33, 36, 66, 69, 99};
        for (int k = 1; k <= 40; ++k)
            keeper.Changed(Board(std::vector<int>(cells.begin(), cells.begin() + 1 + k % 7)), k);
    }
    keeper.Changed(Board({0, 3, 33}), 41); // the next change after the lock is gone
    ASSERT_TRUE(keeper.WaitUntilWritten(10s));
    EXPECT_LE(keeper.WritesDone() - before, 3);
    EXPECT_EQ(Rows(path), "playing:3");
}

// A game's end that could not be written (the file locked by another program) goes into the
// game's own row once the lock is gone, with its name; the next game gets a row of its own.
TEST(GameKeeper, AFailedEndIsWrittenLaterIntoTheSameGamesRow)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    std::atomic<int> told = 0;
    GameKeeper::Listener listener;
    listener.problem = [&](const std::string& line) {
        ++told;
        EXPECT_NE(line.find("in use"), std::string::npos) << line;
    };
    GameKeeper keeper(path, std::nullopt, listener);
    keeper.Begin(Board({}), std::nullopt);
    keeper.Changed(Board({0, 3}), 10);
    ASSERT_TRUE(keeper.WaitUntilWritten(10s));
    {
        LockHolder other(path);
        keeper.Changed(Board({0, 3, 33}), 20);
        keeper.Finished("Ada");
        ASSERT_TRUE(keeper.WaitUntilWritten(10s));
        keeper.Changed(Board({5}, 2), 30); // the next game, still locked out
        ASSERT_TRUE(keeper.WaitUntilWritten(10s));
    }
    keeper.Changed(Board({5, 8}, 2), 40);
    ASSERT_TRUE(keeper.WaitUntilWritten(10s));
    EXPECT_EQ(Rows(path), "finished:3:Ada playing:2");
    EXPECT_EQ(told, 1); // once, however many writes failed
}

// Two copies started at the same moment both show the game the last run left; one takes it,
// the other is told and keeps nothing of it.
TEST(GameKeeper, OnlyOneOfTwoCopiesClaimsTheGameTheyBothShow)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    KeepOneGame(path, {0, 3});
    const std::optional<StoredGame> shownByA = PeekGameToResume(path);
    const std::optional<StoredGame> shownByB = PeekGameToResume(path);
    ASSERT_TRUE(shownByA && shownByB);
    std::atomic<int> lost = 0;
    GameKeeper::Listener listener;
    listener.claimLost = [&] { ++lost; };
    {
        GameKeeper a(path, std::nullopt, listener);
        GameKeeper b(path, std::nullopt, listener);
        a.Begin(Board({0, 3}), shownByA);
        b.Begin(Board({0, 3}), shownByB);
        a.Changed(Board({0, 3, 33}), 10);
        b.Changed(Board({0, 3, 6}), 10);
        ASSERT_TRUE(a.WaitUntilWritten(10s));
        ASSERT_TRUE(b.WaitUntilWritten(10s));
    }
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(Rows(path), "playing:3"); // one row of the game, never two
}

// The scores of the games `keeper` offers to continue, as its list shows them.
std::vector<std::size_t> KeptScores(GameKeeper& keeper, std::vector<KeptGame>* games = nullptr)
{
    std::promise<std::vector<KeptGame>> listed;
    keeper.ListKeptGames([&](std::vector<KeptGame> kept, std::string problem) {
        EXPECT_EQ(problem, "");
        listed.set_value(std::move(kept));
    });
    std::vector<KeptGame> kept = listed.get_future().get();
    std::vector<std::size_t> scores;
    for (const KeptGame& game : kept)
        scores.push_back(game.stored.game.cells.size());
    if (games)
        *games = std::move(kept);
    return scores;
}

TEST(GameKeeper, AGameLeftForANewOneIsKeptAndUndoTakesItBackIntoItsRow)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    auto keeper = std::make_unique<GameKeeper>(path, std::nullopt);
    keeper->Begin(Board({}), std::nullopt);
    keeper->Changed(Board({0, 3, 33}, 1), 10);
    keeper->Changed(Board({}, 2), 0); // a new game
    ASSERT_TRUE(keeper->WaitUntilWritten(10s));
    EXPECT_EQ(Rows(path), "playing:3");
    EXPECT_EQ(KeptScores(*keeper), std::vector<std::size_t>{3});
    EXPECT_FALSE(PeekGameToResume(path)) << "left for a new game, it waits to be chosen";
    const std::optional<GameInProgress> back = keeper->TakeBack(2);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->cells, (std::vector<std::uint8_t>{0, 3, 33}));
    EXPECT_FALSE(keeper->TakeBack(2)); // once
    keeper->Changed(Board({0, 3, 33, 36}, 2), 20);
    ASSERT_TRUE(keeper->WaitUntilWritten(10s));
    EXPECT_EQ(Rows(path), "playing:4");
    EXPECT_EQ(KeptScores(*keeper), std::vector<std::size_t>{}) << "the board's game is no kept one";
    // Not after the new game got a number.
    keeper->Changed(Board({}, 3), 0);
    keeper->Changed(Board({7}, 3), 0);
    EXPECT_FALSE(keeper->TakeBack(3));
    keeper->Close(Board({7}, 3), 0);
    keeper.reset();
    EXPECT_EQ(Rows(path), "playing:4 playing:1");
    ASSERT_TRUE(PeekGameToResume(path));
    EXPECT_EQ(PeekGameToResume(path)->game.cells.size(), 1u) << "the game on the board at the end comes back";
}

// Which games a copy offers to continue: every game in progress that no running copy holds,
// newest first, whether a run left it open or a new game left it; not the ones on a board.
struct KeptCase {
    const char* name;
    std::vector<std::vector<int>> closedByEarlierRuns; // oldest first
    std::vector<int> leftForANewGame;                  // by the copy that lists; empty: none
    std::vector<int> onAnotherRunningCopysBoard;       // empty: no such copy
    std::vector<std::size_t> offered;                  // scores, in the list's order
};

const KeptCase KeptCases[] = {
    {"ClosedTogetherAsAtALogout", {{0, 3}, {5, 8, 38}}, {}, {}, {3, 2}},
    {"LeftByANewGameIsOfferedWithThem", {{0, 3}}, {9, 39, 69, 66}, {}, {4, 2}},
    {"NotOneAnotherRunningCopyPlays", {{0, 3}}, {}, {9, 39, 69, 66, 63}, {2}},
    {"NothingKept", {}, {}, {}, {}},
};

class KeptGames : public ::testing::TestWithParam<KeptCase> {};

TEST_P(KeptGames, AreTheGamesInProgressNoRunningCopyHoldsNewestFirst)
{
    const KeptCase& given = GetParam();
    TempDir dir;
    const std::string path = dir.Path("games.db");
    for (const std::vector<int>& cells : given.closedByEarlierRuns) {
        GameKeeper run(path, std::nullopt);
        run.Begin(Board({}), std::nullopt);
        run.Close(Board(cells), 1000);
    }
    std::optional<GameKeeper> other;
    if (!given.onAnotherRunningCopysBoard.empty()) {
        other.emplace(path, std::nullopt);
        other->Begin(Board({}), std::nullopt);
        other->Changed(Board(given.onAnotherRunningCopysBoard), 10);
        ASSERT_TRUE(other->WaitUntilWritten(10s));
    }
    GameKeeper keeper(path, std::nullopt);
    keeper.Begin(Board({}, 1), std::nullopt);
    if (!given.leftForANewGame.empty()) {
        keeper.Changed(Board(given.leftForANewGame, 1), 10);
        keeper.Changed(Board({}, 2), 0);
    }
    EXPECT_EQ(KeptScores(keeper), given.offered);
}

INSTANTIATE_TEST_SUITE_P(GameKeeper, KeptGames, ::testing::ValuesIn(KeptCases),
                         [](const auto& test) { return std::string(test.param.name); });

// Continuing a kept game: the board's game is kept in its turn, the chosen one goes on in its
// own row, and of two copies that choose the same game only one gets it.
TEST(GameKeeper, AContinuedGameGoesOnInItsRowAndTheBoardsGameIsKept)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    KeepOneGame(path, {0, 3});
    std::atomic<int> lost = 0;
    GameKeeper::Listener listener;
    listener.claimLost = [&] { ++lost; };
    GameKeeper a(path, std::nullopt, listener);
    GameKeeper b(path, std::nullopt, listener);
    a.Begin(Board({}, 1), std::nullopt);
    b.Begin(Board({}, 1), std::nullopt);
    a.Changed(Board({9, 39, 69}, 1), 10);
    std::vector<KeptGame> listedByA;
    std::vector<KeptGame> listedByB;
    ASSERT_EQ(KeptScores(a, &listedByA), std::vector<std::size_t>{2});
    ASSERT_EQ(KeptScores(b, &listedByB), std::vector<std::size_t>{2});
    a.Changed(Board({}, 2), 0); // as the window does: a new game, then the chosen one on it
    const std::optional<GameInProgress> shown = a.Continue(2, listedByA[0].stored);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->cells, (std::vector<std::uint8_t>{0, 3}));
    a.Changed(Board({0, 3, 33}, 2), 20);
    ASSERT_TRUE(a.WaitUntilWritten(10s));
    b.Changed(Board({}, 2), 0);
    ASSERT_TRUE(b.Continue(2, listedByB[0].stored));
    b.Changed(Board({0, 3, 6}, 2), 20);
    ASSERT_TRUE(b.WaitUntilWritten(10s));
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(Rows(path), "playing:3 playing:3") << "the chosen game in its row, the left one in its own";
    EXPECT_EQ(KeptScores(b), std::vector<std::size_t>{3}) << "b offers a's left game, not a's board";
    EXPECT_FALSE(a.TakeBack(2)) << "the continued game has numbers";
}

// A game given up from the list goes into the history once, as abandoned; a game left for a
// new one is in the history only when it ends.
TEST(GameKeeper, AGameGivenUpIsInTheHistoryOnceAndALeftOneNotYet)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    GameKeeper keeper(path, std::nullopt);
    keeper.Begin(Board({}, 1), std::nullopt);
    keeper.Changed(Board({0, 3}, 1), 10);
    keeper.Changed(Board({9, 39, 69}, 2), 10);
    keeper.Changed(Board({}, 3), 0);
    std::vector<KeptGame> kept;
    ASSERT_EQ(KeptScores(keeper, &kept), (std::vector<std::size_t>{3, 2}));
    std::string error;
    EXPECT_TRUE(ReadHistoryFile(path, error).empty()) << error;
    std::promise<bool> givenUp;
    keeper.GiveUp(kept[1].stored, [&](bool done) { givenUp.set_value(done); });
    EXPECT_TRUE(givenUp.get_future().get());
    std::promise<bool> again;
    keeper.GiveUp(kept[1].stored, [&](bool done) { again.set_value(done); });
    EXPECT_FALSE(again.get_future().get());
    EXPECT_EQ(KeptScores(keeper), std::vector<std::size_t>{3});
    keeper.Close(Board({}, 3), 0);
    const std::vector<HistoryGame> games = ReadHistoryFile(path, error);
    ASSERT_EQ(games.size(), 1u) << error;
    EXPECT_EQ(games[0].end, GameEnd::Abandoned);
    EXPECT_EQ(games[0].Score(), 2);
}

// Undo right after a new game, when another copy has continued the left game meanwhile: the
// game is that copy's, and no second row of it is made.
TEST(GameKeeper, ATakeBackOfAGameAnotherCopyContinuedIsLost)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    std::atomic<int> lost = 0;
    GameKeeper::Listener listener;
    listener.claimLost = [&] { ++lost; };
    GameKeeper a(path, std::nullopt, listener);
    a.Begin(Board({}, 1), std::nullopt);
    a.Changed(Board({0, 3, 33}, 1), 10);
    a.Changed(Board({}, 2), 0);
    ASSERT_TRUE(a.WaitUntilWritten(10s));
    {
        GameKeeper b(path, std::nullopt);
        b.Begin(Board({}, 1), std::nullopt);
        std::vector<KeptGame> kept;
        ASSERT_EQ(KeptScores(b, &kept), std::vector<std::size_t>{3});
        b.Changed(Board({}, 2), 0);
        ASSERT_TRUE(b.Continue(2, kept[0].stored));
        b.Close(Board({0, 3, 33, 36}, 2), 20);
    }
    ASSERT_TRUE(a.TakeBack(2));
    a.Changed(Board({0, 3, 33, 63}, 2), 30);
    ASSERT_TRUE(a.WaitUntilWritten(10s));
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(Rows(path), "playing:4");
    EXPECT_EQ(PeekGameToResume(path)->game.cells, (std::vector<std::uint8_t>{0, 3, 33, 36}));
}

// A game whose board reached its end but whose end-of-game sequence never finished (killed in
// its windows) is the one the next start offers; once finished, never again.
TEST(GameKeeper, AnEndedGameIsOfferedAgainUntilItsSequenceIsOver)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    KeepOneGame(path, {0, 3, 33});
    std::optional<StoredGame> shown = PeekGameToResume(path);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->game.cells.size(), 3u);
    {
        GameKeeper keeper(path, std::nullopt);
        keeper.Begin(Board({0, 3, 33}), shown);
        keeper.Finished("Bo");
        keeper.Close(Board({0, 3, 33}), 0);
    }
    EXPECT_FALSE(PeekGameToResume(path));
    EXPECT_EQ(Rows(path), "finished:3:Bo");
}

// A file this game cannot write would show the same game at every start and keep none of it.
TEST(GameKeeper, AFileThatCannotBeWrittenIsNotResumed)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    KeepOneGame(path, {0, 3});
    {
        Connection db(path, OpenFor::Writing);
        db.Execute(("PRAGMA user_version = " + std::to_string(GameDatabaseVersion + 1)).c_str());
    }
    EXPECT_FALSE(PeekGameToResume(path));
    {
        Connection db(path, OpenFor::Writing);
        db.Execute(("PRAGMA user_version = " + std::to_string(GameDatabaseVersion)).c_str());
    }
    ASSERT_TRUE(PeekGameToResume(path));
    // The player's own file, made read-only, in the player's own folder.
    SetMode(dir.Dir(), 0777);
    const ChildReport report = RunAsPlayer([&](ChildReport& child) {
        const std::string folder = dir.Path("player");
        const std::string own = folder + "/games.db";
        if (::mkdir(folder.c_str(), 0755) != 0)
            return;
        KeepOneGame(own, {0, 3});
        const bool resumedWhileWritable = PeekGameToResume(own).has_value();
        ::chmod(own.c_str(), 0444);
        child.skipped = resumedWhileWritable && !PeekGameToResume(own);
    });
    EXPECT_STREQ(report.failure, "");
    EXPECT_TRUE(report.skipped);
}

TEST(GameKeeper, UpkeepImportsAndWorksOutEveryNumberOffTheCallersThread)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    BestTable table = FreshTable();
    BestRecord stored = FreshRecord();
    SetRecordName(stored, "Jo");
    stored.Score = 2;
    stored.SetDate(46000);
    stored.SchemeBytes[3] = 1;
    stored.SchemeBytes[25] = 2;
    table.ByRank(1) = stored;
    std::vector<std::int64_t> analysed;
    GameKeeper::Listener listener;
    listener.analysed = [&](std::int64_t id) { analysed.push_back(id); };
    GameKeeper keeper(path, table, listener);
    keeper.Begin(Board({}), std::nullopt);
    // The corner bt0101's three targets are numbered at number 5: 100 is lost there.
    keeper.Changed(Board({3, 25, 22, 52, 30}), 10);
    keeper.Finished({});
    ASSERT_TRUE(keeper.WaitUntilIdle(60s));
    keeper.Close(Board({}, 2), 0);
    std::string error;
    const std::vector<HistoryGame> games = ReadHistoryFile(path, error);
    ASSERT_EQ(games.size(), 2u) << error;
    EXPECT_EQ(analysed.size(), 2u);
    EXPECT_FALSE(games[0].imported);
    EXPECT_EQ(games[0].lastReachable, 4);
    EXPECT_TRUE(games[1].imported);
    EXPECT_EQ(games[1].lastReachable, games[1].Score()) << "a short game can still reach 100";
}

} // namespace
} // namespace tovra
