// Files under the game database's names that are not the game's: another program's database,
// links, a planted trigger or view, a log of another database. Each is left byte for byte as
// it was, and the game goes on without keeping its games, at once.
#include "gamestore/GameDatabase.h"
#include "gamestore/GameKeeper.h"
#include "gamestore/HistoryReport.h"
#include "gamestore/StoreFiles.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tovra {
namespace {

using namespace tovra::testing;
using Clock = std::chrono::steady_clock;

// Runs SQL on a plain connection of its own, as another program would.
void Sql(const std::string& path, const std::string& sql, bool keepLog = false)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    if (keepLog) // the log is copied while the connection still holds it, as a crash leaves it
        ::link((path + "-wal").c_str(), (path + "-wal.kept").c_str());
    sqlite3_close(db);
}

// The player's own database with six finished games, as the game leaves it.
void OwnDatabaseWithSixGames(const std::string& path)
{
    OpenedGameDatabase opened = OpenGameDatabase(path);
    ASSERT_TRUE(opened.database) << opened.problem;
    for (int game = 0; game < 6; ++game)
        ASSERT_GT(opened.database->MarkFinished(0, GameInProgress{{0, 3}, 0, 1000, 1.0e9, {}}), 0);
}

const std::string OtherProgram = "CREATE TABLE notes (id INTEGER PRIMARY KEY, text TEXT);"
                                 "INSERT INTO notes (text) VALUES ('one'), ('two'), ('three');";

struct HostileCase {
    const char* name;
    const char* reason; // after the file's name, in the player's line and in --history's
    // Prepares the folder; returns the files whose bytes must not change.
    std::function<std::vector<std::string>(const TempDir& dir, const std::string& games)> prepare;
};

const HostileCase HostileCases[] = {
    {"AnotherProgramsDatabase", "its tables are not the game's",
     [](const TempDir&, const std::string& games) {
         Sql(games, OtherProgram);
         return std::vector<std::string>{games};
     }},
    {"LinkToAnotherProgramsDatabase", "a link, which the game does not follow",
     [](const TempDir& dir, const std::string& games) {
         Sql(dir.Path("other.db"), OtherProgram);
         ::symlink("other.db", games.c_str());
         return std::vector<std::string>{dir.Path("other.db")};
     }},
    {"LinkToADevice", "a link, which the game does not follow",
     [](const TempDir&, const std::string& games) {
         ::symlink("/dev/null", games.c_str());
         return std::vector<std::string>{};
     }},
    {"PlantedTrigger", "its tables are not the game's",
     [](const TempDir&, const std::string& games) {
         OwnDatabaseWithSixGames(games);
         Sql(games, "CREATE TRIGGER claim AFTER UPDATE ON games BEGIN DELETE FROM games WHERE id <> new.id; END;");
         return std::vector<std::string>{games};
     }},
    {"EndlessView", "its tables are not the game's",
     [](const TempDir&, const std::string& games) {
         Sql(games, "CREATE TABLE real_games (id INTEGER PRIMARY KEY);"
                    "CREATE VIEW games AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) "
                    "SELECT i AS id, 'playing' AS state FROM n; PRAGMA user_version = 1;");
         return std::vector<std::string>{games};
     }},
    {"LogOfAnotherDatabase", "its log games.db-wal belongs to another database",
     [](const TempDir& dir, const std::string& games) {
         OwnDatabaseWithSixGames(games);
         const std::string other = dir.Path("other.db");
         Sql(other, "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;" + OtherProgram, true);
         ::rename((other + "-wal.kept").c_str(), (games + "-wal").c_str());
         EXPECT_GT(ReadFile(games + "-wal").size(), 32u); // frames SQLite would apply
         return std::vector<std::string>{games, games + "-wal"};
     }},
};

class HostileFile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileFile, IsLeftAsItWasAndTheGameGoesOnAtOnce)
{
    TempDir dir;
    const std::string games = dir.Path("games.db");
    const std::vector<std::string> foreign = GetParam().prepare(dir, games);
    std::vector<Bytes> before;
    for (const std::string& file : foreign)
        before.push_back(ReadFile(file));
    const std::vector<std::string> entries = dir.Entries();

    const Clock::time_point start = Clock::now();
    // The start's look for a game to resume finds none in it, and writes nothing either.
    EXPECT_FALSE(PeekGameToResume(games));
    OpenedGameDatabase opened = OpenGameDatabase(games);
    const bool refused = !opened.database;
    opened.database.reset();
    // --history reads the same file: refused too, and as quickly.
    std::ostringstream out, err;
    const int historyStatus = ReportHistory(games, ReportFormat::Text, out, err);
    const auto took = Clock::now() - start;

    EXPECT_TRUE(refused);
    EXPECT_EQ(opened.problem, std::string("The game does not keep its games in games.db: ") + GetParam().reason + ".");
    EXPECT_EQ(historyStatus, 1) << out.str();
    EXPECT_EQ(err.str(), games + ": " + GetParam().reason + "\n");
    EXPECT_LT(took, std::chrono::seconds(1));
    for (std::size_t i = 0; i < foreign.size(); ++i)
        EXPECT_EQ(ReadFile(foreign[i]), before[i]) << foreign[i];
    EXPECT_EQ(dir.Entries(), entries); // nothing renamed, nothing left beside
    EXPECT_NE(::access("/dev/null-journal", F_OK), 0);
}

INSTANTIATE_TEST_SUITE_P(GameDatabase, HostileFile, ::testing::ValuesIn(HostileCases),
                         [](const auto& test) { return std::string(test.param.name); });

// The player's own log, left by a crash, is applied: its games are the player's.
TEST(StoreFiles, TheDatabasesOwnLogIsApplied)
{
    TempDir dir;
    const std::string games = dir.Path("games.db");
    OwnDatabaseWithSixGames(games);
    const Bytes beforeCrash = ReadFile(games);
    Sql(games, "PRAGMA wal_autocheckpoint = 0; UPDATE games SET name = 'Ann';", true);
    // The file as the crash left it: the names are in the log alone.
    WriteFile(games, beforeCrash);
    ::rename((games + "-wal.kept").c_str(), (games + "-wal").c_str());
    ASSERT_GT(ReadFile(games + "-wal").size(), 32u);
    EXPECT_EQ(CheckStoreFiles(games).finding, StoreFileFinding::Usable) << CheckStoreFiles(games).problem;
    OpenedGameDatabase opened = OpenGameDatabase(games);
    ASSERT_TRUE(opened.database) << opened.problem;
    EXPECT_EQ(opened.database->Sql().Number("SELECT count(*) FROM games WHERE name = 'Ann'"), 6);
}

// The start's look for the game to resume reads the player's own log where it lies, as a crash
// left it, and leaves every file as it was: with no index beside the log it finds nothing
// rather than make one.
TEST(StoreFiles, TheStartReadsTheLogWithoutWritingAnything)
{
    for (const bool indexKept : {true, false}) {
        SCOPED_TRACE(indexKept ? "index kept" : "no index");
        TempDir dir;
        const std::string games = dir.Path("games.db");
        OwnDatabaseWithSixGames(games);
        const Bytes beforeCrash = ReadFile(games);
        Sql(games, "PRAGMA wal_autocheckpoint = 0; INSERT INTO games (state, score, cells, played_ms, started_at, updated_at) "
                   "VALUES ('playing', 2, x'0003', 5000, 1.0e9, 1.0e9);",
            true);
        WriteFile(games, beforeCrash);
        ::rename((games + "-wal.kept").c_str(), (games + "-wal").c_str());
        if (indexKept)
            WriteFile(games + "-shm", Bytes(32768, 0)); // stale: SQLite rebuilds it in memory
        const auto files = [&] {
            std::vector<Bytes> bytes;
            for (const char* suffix : {"", "-wal", "-shm"})
                bytes.push_back(::access((games + suffix).c_str(), F_OK) == 0 ? ReadFile(games + suffix) : Bytes{});
            return bytes;
        };
        const std::vector<Bytes> before = files();
        const std::vector<std::string> entries = dir.Entries();

        const std::optional<StoredGame> shown = PeekGameToResume(games);

        EXPECT_EQ(shown.has_value(), indexKept);
        if (shown) {
            EXPECT_EQ(shown->game.cells, (std::vector<std::uint8_t>{0, 3}));
        }
        EXPECT_EQ(dir.Entries(), entries);
        EXPECT_TRUE(files() == before);
    }
}

// A new database is the player's alone, whatever the umask.
TEST(StoreFiles, ANewDatabaseAndItsLogAreThePlayersAlone)
{
    TempDir dir;
    const std::string games = dir.Path("games.db");
    const mode_t umask = ::umask(0);
    OpenedGameDatabase opened = OpenGameDatabase(games);
    ::umask(umask);
    ASSERT_TRUE(opened.database) << opened.problem;
    ASSERT_GT(opened.database->SavePlaying(0, GameInProgress{{0, 3}, 0, 10, 1.0e9, {}}, "aa"), 0);
    for (const char* suffix : {"", "-wal", "-shm"})
        EXPECT_EQ(PermissionsOf(games + suffix), 0600u) << suffix;
}

// A query that would run for ever on a hostile file is stopped.
TEST(StoreFiles, AQueryIsStoppedAtItsTimeLimit)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    const Clock::time_point start = Clock::now();
    {
        QueryTimeLimit limit(db, std::chrono::milliseconds(100));
        EXPECT_EQ(sqlite3_exec(db, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT count(*) FROM n",
                               nullptr, nullptr, nullptr),
                  SQLITE_INTERRUPT);
    }
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    sqlite3_close(db);
}

} // namespace
} // namespace tovra
