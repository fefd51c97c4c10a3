// The keeper of games.db: what the file holds after the window's hand-overs, with the file
// locked by another program, two copies starting at once, a game left and taken back, and the
// history's upkeep, all done off the caller's thread.
#include "gamestore/GameKeeper.h"

#include "KeeperBoards.h"
#include "TestFiles.h"
#include "core/CellId.h"
#include "gamestore/GameDatabaseSchema.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <unistd.h>
#include <sys/stat.h>

namespace tovra {
namespace {

using namespace tovra::testing;
using namespace std::chrono_literals;

// Every row by id: "state:score[:name]".
std::string Rows(const std::string& path)
{
    Connection db(path, OpenFor::Reading);
    Statement rows(db, "SELECT group_concat(state || ':' || score || ifnull(':' || name, ''), ' ') "
                       "FROM (SELECT * FROM games ORDER BY id)");
    return rows.Step() ? rows.Text(0) : std::string();
}

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

TEST(GameKeeper, AGameLeftForANewOneIsAbandonedAndUndoTakesItBackIntoItsRow)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    GameKeeper keeper(path, std::nullopt);
    keeper.Begin(Board({}), std::nullopt);
    keeper.Changed(Board({0, 3, 33}, 1), 10);
    keeper.Changed(Board({}, 2), 0); // a new game
    ASSERT_TRUE(keeper.WaitUntilWritten(10s));
    EXPECT_EQ(Rows(path), "abandoned:3");
    const std::optional<GameInProgress> back = keeper.TakeBack(2);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->cells, (std::vector<std::uint8_t>{0, 3, 33}));
    EXPECT_FALSE(keeper.TakeBack(2)); // once
    keeper.Changed(Board({0, 3, 33, 36}, 2), 20);
    ASSERT_TRUE(keeper.WaitUntilWritten(10s));
    EXPECT_EQ(Rows(path), "playing:4");
    // Not after the new game got a number.
    keeper.Changed(Board({}, 3), 0);
    keeper.Changed(Board({7}, 3), 0);
    EXPECT_FALSE(keeper.TakeBack(3));
    keeper.Close(Board({7}, 3), 0);
    EXPECT_EQ(Rows(path), "abandoned:4 playing:1");
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
    ::chmod(path.c_str(), 0444);
    const ChildReport report = RunAsPlayer([&](ChildReport& child) { child.skipped = !PeekGameToResume(path); });
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
