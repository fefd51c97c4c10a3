// The history store: finished rows read back newest first, record.dat's games taken in once
// whoever gets there first, a number stored once, a full disk that leaves nothing half done,
// and files that are no game database.
#include "gamestore/GameHistory.h"

#include "TestFiles.h"
#include "gamestore/GameDatabase.h"
#include "gamestore/GameDatabaseSchema.h"
#include "gamestore/HistoryStatistics.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <sys/stat.h>

namespace tovra {
namespace {

using namespace tovra::testing;

using Db = std::unique_ptr<Connection>;

void Exec(Connection& db, const std::string& sql)
{
    ASSERT_NO_THROW(db.Execute(sql.c_str())) << sql;
}

Db OpenAgain(const std::string& path)
{
    auto db = std::make_unique<Connection>(path, OpenFor::Writing);
    db->SetBusyTimeout(5000);
    return db;
}

// A database laid out as the game lays it out; ":memory:" or a file.
Db NewDatabase(const std::string& path = ":memory:")
{
    Db db = OpenAgain(path);
    for (const SchemaUpgrade& step : GameDatabaseUpgrades())
        Exec(*db, step.sql);
    Exec(*db, "PRAGMA user_version = " + std::to_string(GameDatabaseVersion));
    return db;
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
void AddGame(Connection& db, const std::string& state, const std::string& outcome, double endedAt,
             const std::vector<int>& cells, const std::string& name = {})
{
    Exec(db, "INSERT INTO games (state, started_at, ended_at, updated_at, played_ms, cells, score, outcome, name) "
             "VALUES ('" + state + "', " + std::to_string(endedAt - 60) + ", " + std::to_string(endedAt) + ", " +
                 std::to_string(endedAt) + ", 60000, " + CellsBlob(cells) + ", " + std::to_string(cells.size()) +
                 ", " + (outcome.empty() ? "NULL" : "'" + outcome + "'") + ", " +
                 (name.empty() ? "NULL" : "'" + name + "'") + ")");
}

int RowCount(Connection& db) { return static_cast<int>(db.Number("SELECT count(*) FROM games")); }

// The corner bt0101's three targets are numbered at number 5: 100 is lost there.
const std::vector<int> CornerCutOff = {3, 25, 22, 52, 30};

BestRecord StoredRecord(const std::string& name, const std::vector<int>& cells, double day = 46000)
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
    AddGame(*db, "finished", "stuck", 1000, CornerCutOff, "Anna");
    AddGame(*db, "abandoned", "", 3000, {3, 25});
    AddGame(*db, "playing", "", 4000, {0});
    AddGame(*db, "finished", "complete", 2000, {7});

    const std::vector<HistoryGame> games = ReadHistory(*db);
    ASSERT_EQ(games.size(), 3u);
    EXPECT_EQ(games[0].end, GameEnd::Abandoned);
    EXPECT_EQ(games[1].end, GameEnd::Complete);
    EXPECT_EQ(games[2].end, GameEnd::Stuck);
    EXPECT_EQ(games[2].cells, CornerCutOff);
    EXPECT_EQ(games[2].name, "Anna");
    EXPECT_EQ(games[2].playedMs, 60000);
    EXPECT_EQ(games[2].endedAt, 1000.0);
    EXPECT_FALSE(games[2].lastReachable);
    EXPECT_EQ(ReadHistoryGame(*db, games[2].id)->cells, CornerCutOff);
    EXPECT_FALSE(ReadHistoryGame(*db, games[0].id + 100));
}

TEST(GameHistory, ImportsTheStoredGamesOnceEvenWhenRecordDatGainsGamesLater)
{
    const Db db = NewDatabase();
    const BestRecord first = StoredRecord("Bea", CornerCutOff);
    EXPECT_EQ(ImportStoredGamesOnce(*db, TableWith({first, StoredRecord("Cy", {0}, 45000)})), 2);

    // A later start: record.dat now also holds a game that is in the history already.
    EXPECT_EQ(ImportStoredGamesOnce(*db, TableWith({StoredRecord("Dee", {3, 25}), first})), 0);

    const std::vector<HistoryGame> games = ReadHistory(*db);
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
    BestRecord broken = StoredRecord("Eve", {3, 25, 22});
    broken.SchemeBytes[22] = 0; // number 3 missing
    BestRecord undated = StoredRecord("Flo", {3});
    undated.SetDate(0);
    EXPECT_EQ(ImportStoredGamesOnce(*db, TableWith({broken, undated, StoredRecord("Gus", {3})})), 1);
    EXPECT_EQ(RowCount(*db), 1);
}

TEST(GameHistory, TwoCopiesImportingTheSameFileAddEachGameOnce)
{
    TempDir dir;
    const Db one = NewDatabase(dir.Path("games.db"));
    const Db two = OpenAgain(dir.Path("games.db"));
    const BestTable table = TableWith({StoredRecord("Hal", CornerCutOff), StoredRecord("Ivy", {3})});
    EXPECT_EQ(ImportStoredGamesOnce(*one, table) + ImportStoredGamesOnce(*two, table), 2);
    EXPECT_EQ(RowCount(*one), 2);
}

TEST(GameHistory, ImportOnAFullDiskAddsNothingAndIsTriedAgainNextTime)
{
    TempDir dir;
    const Db db = NewDatabase(dir.Path("games.db"));
    Exec(*db, "PRAGMA journal_mode = WAL");
    BestTable table = FreshTable();
    for (int rank = 1; rank <= RecordCount; ++rank)
        table.ByRank(rank) = StoredRecord(std::string(30, static_cast<char>('a' + rank)), CornerCutOff);
    // No page more than the schema's: the first insert that needs one fails as on a full disk.
    Exec(*db, "PRAGMA max_page_count = " + std::to_string(4));
    EXPECT_THROW(ImportStoredGamesOnce(*db, table), StoreError);
    EXPECT_EQ(RowCount(*db), 0);

    Exec(*db, "PRAGMA max_page_count = 100000");
    EXPECT_EQ(ImportStoredGamesOnce(*db, table), RecordCount);
}

TEST(GameHistory, TheFirstLastReachableNumberStoredStays)
{
    const Db db = NewDatabase();
    AddGame(*db, "finished", "stuck", 1000, CornerCutOff);
    AddGame(*db, "playing", "", 2000, {0});
    const std::vector<PendingAnalysis> pending = GamesAwaitingAnalysis(*db);
    ASSERT_EQ(pending.size(), 1u); // the game in progress is not analysed
    EXPECT_TRUE(StoreLastReachable(*db, pending[0].id, 4));
    EXPECT_FALSE(StoreLastReachable(*db, pending[0].id, 2));
    EXPECT_EQ(ReadHistory(*db)[0].lastReachable, 4);
    EXPECT_TRUE(GamesAwaitingAnalysis(*db).empty());
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
    EXPECT_TRUE(ReadHistoryFile(path, error).empty());
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
    EXPECT_TRUE(ReadHistory(database.Sql()).empty()); // still in progress
    ASSERT_EQ(database.MarkFinished(id, game, "Łukasz", 2000), id);
    EXPECT_EQ(ImportStoredGamesOnce(database.Sql(), TableWith({StoredRecord("Kim", {3})})), 1);

    const std::vector<HistoryGame> games = ReadHistory(database.Sql());
    ASSERT_EQ(games.size(), 2u);
    // Played here, so after record.dat's games, whatever the clock said (1970 here).
    EXPECT_TRUE(games[1].imported);
    EXPECT_EQ(games[0].cells, CornerCutOff);
    EXPECT_EQ(games[0].end, GameEnd::Stuck);
    EXPECT_EQ(games[0].name, "Łukasz");
    EXPECT_FALSE(games[0].imported);
}

TEST(GameHistory, ADamagedDatabaseIsSetAsideAndTheNewOneStartsAnEmptyHistory)
{
    TempDir dir;
    WriteFile(dir.Path("games.db"), PatternBytes(8192));
    OpenedGameDatabase opened = OpenGameDatabase(dir.Path("games.db"));
    ASSERT_TRUE(opened.database);
    EXPECT_FALSE(opened.setAsideAs.empty());
    EXPECT_FALSE(opened.problem.empty()); // the one message
    EXPECT_TRUE(ReadHistory(opened.database->Sql()).empty());
    EXPECT_EQ(ReadFile(opened.setAsideAs), PatternBytes(8192));
}

TEST(GameHistory, ReadOnlyOpenNeverCreatesADatabase)
{
    TempDir dir;
    EXPECT_THROW(OpenHistoryReadOnly(dir.Path("games.db")), StoreError);
    EXPECT_TRUE(dir.Entries().empty());
}

// The wall clock set back a day between games: the history keeps the order in which the games
// ended, so the run of 100s is right, and no game ends before it started.
TEST(GameHistory, OrderAndRunsFollowTheEndsNotTheWallClock)
{
    TempDir dir;
    OpenedGameDatabase opened = OpenGameDatabase(dir.Path("games.db"));
    ASSERT_TRUE(opened.database);
    GameDatabase& database = *opened.database;
    std::vector<std::uint8_t> hundred(100);
    for (std::size_t k = 0; k < hundred.size(); ++k)
        hundred[k] = static_cast<std::uint8_t>(k);
    const double day = 86400;
    const double now = 1.8e9;
    struct Played {
        std::vector<std::uint8_t> cells;
        double startedAt, endedAt;
    };
    // In the order they were played; the clock went back a day before the second.
    const Played games[] = {{{1, 2}, now, now + 60}, {hundred, now + 120 - day, now + 600 - day}, {hundred, now + 700 - day, now - 5 * day}};
    for (const Played& game : games) {
        const GameInProgress board{game.cells, 0, 1000, game.startedAt, {}};
        const std::int64_t id = database.SavePlaying(0, board, "aa", game.startedAt);
        database.MarkFinished(id, board, {}, game.endedAt);
    }
    const std::vector<HistoryGame> history = ReadHistory(database.Sql());
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(history[0].Score(), 100);
    EXPECT_EQ(history[1].Score(), 100);
    EXPECT_EQ(history[2].Score(), 2);
    EXPECT_EQ(ComputeStatistics(history).currentRunOfHundreds, 2);
    for (const HistoryGame& game : history)
        EXPECT_GE(*game.endedAt, *game.startedAt);
}

struct ReadOnlyFolderCase {
    const char* name;
    bool logRemoved; // the last connection checkpointed and removed the log
};

class ReadOnlyFolder : public ::testing::TestWithParam<ReadOnlyFolderCase> {};

// "--history" and the statistics read a database in a folder the player may not write.
TEST_P(ReadOnlyFolder, TheHistoryIsReadAsItIs)
{
    TempDir dir;
    SetMode(dir.Dir(), 0777);
    const std::string folder = dir.Path("player");
    const bool logRemoved = GetParam().logRemoved;
    // All of it as the player, whose database it is.
    const ChildReport report = RunAsPlayer([&](ChildReport& child) {
        const std::string path = folder + "/games.db";
        try {
            if (::mkdir(folder.c_str(), 0755) != 0)
                return;
            {
                OpenedGameDatabase opened = OpenGameDatabase(path);
                const GameInProgress board{{1, 2, 3}, 0, 1000, 1.7e9, {}};
                opened.database->MarkFinished(opened.database->SavePlaying(0, board, "aa"), board, "Ada");
            }
            if (logRemoved) {
                sqlite3* db = nullptr;
                sqlite3_open(path.c_str(), &db);
                sqlite3_exec(db, "SELECT count(*) FROM games", nullptr, nullptr, nullptr);
                sqlite3_close(db); // the last connection: checkpoints and removes the log
            }
            const std::vector<std::string> files = TempDir::EntriesOf(folder);
            ::chmod(folder.c_str(), 0555);
            std::string error;
            const std::vector<HistoryGame> games = ReadHistoryFile(path, error);
            child.skipped = error.empty() && games.size() == 1 && games[0].name == "Ada" &&
                            TempDir::EntriesOf(folder) == files;
            ::chmod(folder.c_str(), 0755);
        } catch (const StoreError&) {
        }
    });
    EXPECT_STREQ(report.failure, "");
    EXPECT_TRUE(report.skipped);
}

INSTANTIATE_TEST_SUITE_P(GameHistory, ReadOnlyFolder,
                         ::testing::Values(ReadOnlyFolderCase{"LogBeside", false}, ReadOnlyFolderCase{"LogRemoved", true}),
                         [](const auto& test) { return std::string(test.param.name); });

} // namespace
} // namespace tovra
