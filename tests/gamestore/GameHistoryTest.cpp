// The history store: finished rows read back newest first, record.dat's games taken in once
// whoever gets there first, a number stored once, a full disk that leaves nothing half done,
// and files that are no game database.
#include "gamestore/GameHistory.h"

#include "TestFiles.h"
#include "gamestore/GameDatabase.h"
#include "gamestore/GameDatabaseSchema.h"
#include "gamestore/HistoryUpkeep.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>

namespace tovra {
namespace {

using namespace tovra::testing;

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Db = std::unique_ptr<sqlite3, CloseDb>;

void Exec(sqlite3* db, const std::string& sql)
{
    char* message = nullptr;
    const int result = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    const std::string text = message ? message : "";
    sqlite3_free(message);
    ASSERT_EQ(result, SQLITE_OK) << sql << ": " << text;
}

// A database laid out as the game lays it out; ":memory:" or a file.
Db NewDatabase(const std::string& path = ":memory:")
{
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    Exec(db, GameDatabaseSchemaV1);
    // Laid out as the game lays it out: its tables at its version.
    Exec(db, ("PRAGMA user_version = " + std::to_string(GameDatabaseVersion)).c_str());
    return Db(db);
}

Db OpenAgain(const std::string& path)
{
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    return Db(db);
}

std::string CellsBlob(const std::vector<int>& cells)
{
    std::string hex = "x'";
    for (const int cell : cells) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", cell);
        hex += digits;
    }
    return hex + "'";
}

// A row as the game writes it when a game ends or is left.
void AddGame(sqlite3* db, const std::string& state, const std::string& outcome, double endedAt,
             const std::vector<int>& cells, const std::string& name = {})
{
    Exec(db, "INSERT INTO games (state, started_at, ended_at, updated_at, played_ms, cells, score, outcome, name) "
             "VALUES ('" + state + "', " + std::to_string(endedAt - 60) + ", " + std::to_string(endedAt) + ", " +
                 std::to_string(endedAt) + ", 60000, " + CellsBlob(cells) + ", " + std::to_string(cells.size()) +
                 ", " + (outcome.empty() ? "NULL" : "'" + outcome + "'") + ", " +
                 (name.empty() ? "NULL" : "'" + name + "'") + ")");
}

int RowCount(sqlite3* db)
{
    sqlite3_stmt* count = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM games", -1, &count, nullptr);
    sqlite3_step(count);
    const int rows = sqlite3_column_int(count, 0);
    sqlite3_finalize(count);
    return rows;
}

// The corner bt0101's three targets are numbered at number 5: 100 is lost there.
const std::vector<int> CornerCutOff = {3, 25, 22, 52, 30};

BestRecord StoredGame(const std::string& name, const std::vector<int>& cells, double day = 46000)
{
    BestRecord record = FreshRecord();
    SetRecordName(record, name);
    record.Score = static_cast<std::uint8_t>(cells.size());
    record.SetDate(day);
    for (std::size_t i = 0; i < cells.size(); ++i)
        record.SchemeBytes[static_cast<std::size_t>(cells[i])] = static_cast<std::uint8_t>(i + 1);
    return record;
}

BestTable TableWith(std::initializer_list<BestRecord> records)
{
    BestTable table = FreshTable();
    int rank = 1;
    for (const BestRecord& record : records)
        table.ByRank(rank++) = record;
    return table;
}

TEST(GameHistory, ReadsFinishedAndAbandonedGamesNewestFirstButNotTheGameInProgress)
{
    const Db db = NewDatabase();
    AddGame(db.get(), "finished", "stuck", 1000, CornerCutOff, "Anna");
    AddGame(db.get(), "abandoned", "", 3000, {3, 25});
    AddGame(db.get(), "playing", "", 4000, {0});
    AddGame(db.get(), "finished", "complete", 2000, {7});

    const std::vector<HistoryGame> games = ReadHistory(db.get());
    ASSERT_EQ(games.size(), 3u);
    EXPECT_EQ(games[0].end, GameEnd::Abandoned);
    EXPECT_EQ(games[1].end, GameEnd::Complete);
    EXPECT_EQ(games[2].end, GameEnd::Stuck);
    EXPECT_EQ(games[2].cells, CornerCutOff);
    EXPECT_EQ(games[2].name, "Anna");
    EXPECT_EQ(games[2].playedMs, 60000);
    EXPECT_EQ(games[2].endedAt, 1000.0);
    EXPECT_FALSE(games[2].lastReachable);
    EXPECT_EQ(ReadHistoryGame(db.get(), games[2].id)->cells, CornerCutOff);
    EXPECT_FALSE(ReadHistoryGame(db.get(), games[0].id + 100));
}

TEST(GameHistory, ImportsTheStoredGamesOnceEvenWhenRecordDatGainsGamesLater)
{
    const Db db = NewDatabase();
    const BestRecord first = StoredGame("Bea", CornerCutOff);
    EXPECT_EQ(ImportStoredGamesOnce(db.get(), TableWith({first, StoredGame("Cy", {0}, 45000)})), 2);

    // A later start: record.dat now also holds a game that is in the history already.
    EXPECT_EQ(ImportStoredGamesOnce(db.get(), TableWith({StoredGame("Dee", {3, 25}), first})), 0);

    const std::vector<HistoryGame> games = ReadHistory(db.get());
    ASSERT_EQ(games.size(), 2u);
    EXPECT_TRUE(games[0].imported);
    EXPECT_EQ(games[0].name, "Bea"); // the newer day first
    EXPECT_EQ(games[0].cells, CornerCutOff);
    EXPECT_EQ(games[0].end, GameEnd::Stuck);
    EXPECT_EQ(games[0].endedAt, NoonOf({2025, 12, 9}));
    EXPECT_EQ(games[1].cells, std::vector<int>{0});
}

TEST(GameHistory, ImportLeavesOutRecordsWithoutAGameOrWithABoardThatIsNoGame)
{
    const Db db = NewDatabase();
    BestRecord broken = StoredGame("Eve", {3, 25, 22});
    broken.SchemeBytes[22] = 0; // number 3 missing
    BestRecord undated = StoredGame("Flo", {3});
    undated.SetDate(0);
    EXPECT_EQ(ImportStoredGamesOnce(db.get(), TableWith({broken, undated, StoredGame("Gus", {3})})), 1);
    EXPECT_EQ(RowCount(db.get()), 1);
}

TEST(GameHistory, TwoCopiesImportingTheSameFileAddEachGameOnce)
{
    TempDir dir;
    const Db one = NewDatabase(dir.Path("games.db"));
    const Db two = OpenAgain(dir.Path("games.db"));
    const BestTable table = TableWith({StoredGame("Hal", CornerCutOff), StoredGame("Ivy", {3})});
    EXPECT_EQ(ImportStoredGamesOnce(one.get(), table) + ImportStoredGamesOnce(two.get(), table), 2);
    EXPECT_EQ(RowCount(one.get()), 2);
}

TEST(GameHistory, ImportOnAFullDiskAddsNothingAndIsTriedAgainNextTime)
{
    TempDir dir;
    const Db db = NewDatabase(dir.Path("games.db"));
    Exec(db.get(), "PRAGMA journal_mode = WAL");
    BestTable table = FreshTable();
    for (int rank = 1; rank <= RecordCount; ++rank)
        table.ByRank(rank) = StoredGame(std::string(30, static_cast<char>('a' + rank)), CornerCutOff);
    // No page more than the schema's: the first insert that needs one fails as on a full disk.
    Exec(db.get(), "PRAGMA max_page_count = " + std::to_string(4));
    EXPECT_THROW(ImportStoredGamesOnce(db.get(), table), HistoryError);
    EXPECT_EQ(RowCount(db.get()), 0);

    Exec(db.get(), "PRAGMA max_page_count = 100000");
    EXPECT_EQ(ImportStoredGamesOnce(db.get(), table), RecordCount);
}

TEST(GameHistory, TheFirstLastReachableNumberStoredStays)
{
    const Db db = NewDatabase();
    AddGame(db.get(), "finished", "stuck", 1000, CornerCutOff);
    AddGame(db.get(), "playing", "", 2000, {0});
    const std::vector<PendingAnalysis> pending = GamesAwaitingAnalysis(db.get());
    ASSERT_EQ(pending.size(), 1u); // the game in progress is not analysed
    EXPECT_TRUE(StoreLastReachable(db.get(), pending[0].id, 4));
    EXPECT_FALSE(StoreLastReachable(db.get(), pending[0].id, 2));
    EXPECT_EQ(ReadHistory(db.get())[0].lastReachable, 4);
    EXPECT_TRUE(GamesAwaitingAnalysis(db.get()).empty());
}

TEST(GameHistory, UpkeepImportsAndWorksOutEveryNumberOffTheCallersThread)
{
    TempDir dir;
    const Db db = NewDatabase(dir.Path("games.db"));
    AddGame(db.get(), "finished", "stuck", 1000, CornerCutOff);
    {
        HistoryUpkeep upkeep(dir.Path("games.db"), TableWith({StoredGame("Jo", {3, 25})}));
        ASSERT_TRUE(upkeep.WaitUntilIdle(std::chrono::seconds(60)));
        AddGame(db.get(), "abandoned", "", 2000, {0, 3});
        upkeep.GameEnded();
        ASSERT_TRUE(upkeep.WaitUntilIdle(std::chrono::seconds(60)));
    }
    std::vector<HistoryGame> games = ReadHistory(db.get());
    ASSERT_EQ(games.size(), 3u);
    for (const HistoryGame& game : games) {
        if (game.cells == CornerCutOff)
            EXPECT_EQ(game.lastReachable, 4);
        else
            EXPECT_EQ(game.lastReachable, game.Score()) << "a short game can still reach 100";
    }
}

struct UnreadableCase {
    const char* name;
    Bytes content;
};

class UnreadableDatabase : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadableDatabase, IsReportedAndLeftAsItWas)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    WriteFile(path, GetParam().content);
    std::string error;
    sqlite3* db = OpenHistoryReadOnly(path, error);
    EXPECT_EQ(db, nullptr);
    sqlite3_close(db);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadFile(path), GetParam().content);
}

INSTANTIATE_TEST_SUITE_P(Files, UnreadableDatabase,
                         ::testing::Values(UnreadableCase{"garbage", PatternBytes(3000)},
                                           UnreadableCase{"empty_file_is_no_games_table", {}}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(GameHistory, AGameFinishedAndNamedThroughTheGameDatabaseIsInTheHistoryOnce)
{
    TempDir dir;
    OpenedGameDatabase opened = OpenGameDatabase(dir.Path("games.db")); // made and upgraded from nothing
    ASSERT_TRUE(opened.database);
    GameDatabase& database = *opened.database;
    GameInProgress game;
    game.cells.assign(CornerCutOff.begin(), CornerCutOff.end());
    const std::int64_t id = database.SavePlaying(0, game, "copy-1", 1000);
    ASSERT_GT(id, 0);
    EXPECT_TRUE(ReadHistory(database.Handle()).empty()); // still in progress
    ASSERT_EQ(database.MarkFinished(id, game, 2000), id);
    ASSERT_TRUE(database.SetName(id, "Łukasz"));
    EXPECT_EQ(ImportStoredGamesOnce(database.Handle(), TableWith({StoredGame("Kim", {3})})), 1);

    const std::vector<HistoryGame> games = ReadHistory(database.Handle());
    ASSERT_EQ(games.size(), 2u);
    EXPECT_TRUE(games[0].imported); // stored on a day of 2025, after 1970's game below
    EXPECT_EQ(games[1].cells, CornerCutOff);
    EXPECT_EQ(games[1].end, GameEnd::Stuck);
    EXPECT_EQ(games[1].name, "Łukasz");
    EXPECT_FALSE(games[1].imported);
}

TEST(GameHistory, ADamagedDatabaseIsSetAsideAndTheNewOneStartsAnEmptyHistory)
{
    TempDir dir;
    WriteFile(dir.Path("games.db"), PatternBytes(8192));
    OpenedGameDatabase opened = OpenGameDatabase(dir.Path("games.db"));
    ASSERT_TRUE(opened.database);
    EXPECT_FALSE(opened.setAsideAs.empty());
    EXPECT_FALSE(opened.problem.empty()); // the one message
    EXPECT_TRUE(ReadHistory(opened.database->Handle()).empty());
    EXPECT_EQ(ReadFile(opened.setAsideAs), PatternBytes(8192));
}

TEST(GameHistory, ReadOnlyOpenNeverCreatesADatabase)
{
    TempDir dir;
    std::string error;
    EXPECT_EQ(OpenHistoryReadOnly(dir.Path("games.db"), error), nullptr);
    EXPECT_TRUE(dir.Entries().empty());
}

} // namespace
} // namespace tovra
