// Games on boards that came with their first numbers, in games.db: files of earlier versions
// upgraded with their games as they were, a given board's numbers and help kept through a save
// and a resume, and rows that do not add up read as something the game can play.
#include "gamestore/GameDatabase.h"
#include "gamestore/GameHistory.h"
#include "gamestore/GameKeeper.h"
#include "gamestore/StoreFiles.h"

#include "DatabaseFiles.h"
#include "KeeperBoards.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace tovra {
namespace {

using namespace tovra::testing;

const auto Nobody = [](const std::string&) { return false; };

// ---- Upgrading ----

// The layout the game made at `version`, by its own steps, with rows as that version wrote them.
std::string LaidOutAt(int version)
{
    std::string sql;
    for (const SchemaUpgrade& step : GameDatabaseUpgrades()) {
        if (step.from < version)
            sql += step.sql;
    }
    return sql + "PRAGMA user_version = " + std::to_string(version) + ";";
}

constexpr const char* RowsOfVersion1 =
    "INSERT INTO games (state, started_at, updated_at, played_ms, cells, score, marked, owner) "
    "VALUES ('playing', 1.7e9, 1.7e9, 4200, x'00030624', 4, 3, 'gone');"
    "INSERT INTO games (state, started_at, ended_at, updated_at, played_ms, cells, score, outcome, name) "
    "VALUES ('finished', 1.6e9, 1.6e9 + 60, 1.6e9 + 60, 60000, x'0003', 2, 'stuck', 'Ada');";
constexpr const char* RowsOfVersion2 =
    "INSERT INTO games (state, started_at, updated_at, played_ms, cells, score, marked, owner) "
    "VALUES ('playing', 1.7e9, 1.7e9, 4200, x'00030624', 4, 3, 'gone');"
    "INSERT INTO games (state, started_at, ended_at, updated_at, played_ms, cells, score, outcome, name, end_order) "
    "VALUES ('finished', 1.6e9, 1.6e9 + 60, 1.6e9 + 60, 60000, x'0003', 2, 'stuck', 'Ada', 1);";

struct UpgradeCase {
    const char* name;
    int version;
    const char* rows;
};

const UpgradeCase UpgradeCases[] = {
    {"FromVersion1", 1, RowsOfVersion1},
    {"FromVersion2", 2, RowsOfVersion2},
    {"FromVersion2WithoutGames", 2, ""},
};

class UpgradeTest : public ::testing::TestWithParam<UpgradeCase> {};

// An earlier file is the game's, is brought to this version, and keeps its games as ordinary
// games; the file it becomes is the game's too, at every later start.
TEST_P(UpgradeTest, KeepsEveryGameAsAnOrdinaryGame)
{
    const UpgradeCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.Path("games.db");
    Sql(path, LaidOutAt(c.version) + c.rows);
    ASSERT_EQ(CheckStoreFiles(path).finding, StoreFileFinding::Usable);
    // The start looks for the game to show before the keeper upgrades the file.
    const std::optional<StoredGame> peeked = PeekGameToResume(path);
    EXPECT_EQ(peeked.has_value(), *c.rows != '\0');
    if (peeked) {
        EXPECT_EQ(peeked->game, (GameInProgress{{0, 3, 6, 36}, 3, 4200, 1.7e9, {}}));
    }
    {
        OpenedGameDatabase opened = OpenGameDatabase(path);
        ASSERT_TRUE(opened.database) << opened.problem;
        EXPECT_TRUE(opened.problem.empty()) << opened.problem;
        EXPECT_TRUE(opened.setAsideAs.empty());
        EXPECT_EQ(opened.database->Version(), GameDatabaseVersion);
        EXPECT_EQ(SqlValue(*opened.database, "SELECT count(*) FROM games WHERE given <> 0 OR board_date IS NOT NULL "
                                             "OR reachability_asked <> 0 OR moves_shown <> 0"),
                  "0");
    }
    EXPECT_EQ(CheckStoreFiles(path).finding, StoreFileFinding::Usable);
    OpenedGameDatabase again = OpenGameDatabase(path);
    ASSERT_TRUE(again.database) << again.problem;
    EXPECT_TRUE(again.problem.empty()) << again.problem;
    const auto resumed = again.database->ClaimGameToResume("me", Nobody);
    const std::vector<HistoryGame> history = ReadHistory(again.database->Sql());
    if (!*c.rows) {
        EXPECT_FALSE(resumed);
        EXPECT_TRUE(history.empty());
        return;
    }
    ASSERT_TRUE(resumed);
    EXPECT_EQ(resumed->game, (GameInProgress{{0, 3, 6, 36}, 3, 4200, 1.7e9, {}}));
    ASSERT_EQ(history.size(), 1U);
    EXPECT_EQ(history[0].cells, (std::vector<int>{0, 3}));
    EXPECT_EQ(history[0].name, "Ada");
    EXPECT_EQ(history[0].given, 0);
    EXPECT_FALSE(history[0].boardDate);
}

INSTANTIATE_TEST_SUITE_P(GivenBoardStore, UpgradeTest, ::testing::ValuesIn(UpgradeCases),
                         [](const auto& test) { return std::string(test.param.name); });

// The schema check knows this version by what its steps make: a file that claims it with any
// other layout is another program's, and left alone.
TEST(GivenBoardStore, AFileOfThisVersionNotLaidOutByItsStepsIsNotTheGames)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    Sql(path, LaidOutAt(GameDatabaseVersion) + "DROP INDEX games_by_board_date;");
    EXPECT_EQ(CheckStoreFiles(path).finding, StoreFileFinding::Foreign);
    EXPECT_FALSE(OpenGameDatabase(path).database);
}

// A copy of the game that knows only version 2 reads this version as newer: read-only, never
// written (its steps do not make these columns).
TEST(GivenBoardStore, AnOlderCopyOfTheGameDoesNotWriteThisVersion)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    { ASSERT_TRUE(OpenGameDatabase(path).database); }
    std::vector<SchemaUpgrade> olderSteps = GameDatabaseUpgrades();
    olderSteps.pop_back();
    OpenedGameDatabase older = OpenGameDatabase(path, OpenMode::ReadWrite, olderSteps, GameDatabaseVersion - 1);
    ASSERT_TRUE(older.database) << older.problem;
    EXPECT_TRUE(older.database->ReadOnly());
}

// ---- A given board's row ----

GivenBoardPlay Today(int given, int grade, int askedF3, int askedMoves)
{
    return GivenBoardPlay{CivilDate{2026, 12, 8}, grade, given, askedF3, askedMoves};
}

struct RoundTripCase {
    const char* name;
    GameInProgress game;
};

const RoundTripCase RoundTrips[] = {
    {"AnOrdinaryGame", {{0, 3, 6}, 2, 1000, 1.7e9, {}}},
    {"TodaysBoardAsItCame", {{0, 3, 6, 9}, 0, 0, 1.7e9, Today(4, 3, 0, 0)}},
    {"TodaysBoardWithAMarkAndHelp", {{0, 3, 6, 9, 39, 69}, 6, 65'000, 1.7e9, Today(4, 5, 2, 7)}},
    {"ABoardFromACode", {{0, 3, 6, 36}, 0, 1000, 1.7e9, GivenBoardPlay{std::nullopt, 0, 3, 1, 0}}},
};

class RoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTripTest, ComesBackWithItsGivenNumbersDateAndHelp)
{
    const GameInProgress& game = GetParam().game;
    TempDir dir;
    const std::string path = dir.Path("games.db");
    {
        auto database = OpenGameDatabase(path).database;
        const std::int64_t id = database->SavePlaying(0, GameInProgress{{0}, 0, 0, 1.7e9, {}}, "aa");
        ASSERT_EQ(database->SavePlaying(id, game, "aa"), id);
    }
    auto database = OpenGameDatabase(path).database;
    const auto resumed = database->ClaimGameToResume("bb", Nobody);
    ASSERT_TRUE(resumed);
    EXPECT_EQ(resumed->game, game);
    // Its end keeps them too, for the history.
    ASSERT_EQ(database->MarkFinished(resumed->id, game), resumed->id);
    const std::optional<HistoryGame> ended = ReadHistoryGame(database->Sql(), resumed->id);
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->given, game.givenBoard.given);
    EXPECT_EQ(ended->boardDate, game.givenBoard.date);
    EXPECT_EQ(database->Read(resumed->id)->game, game);
}

INSTANTIATE_TEST_SUITE_P(GivenBoardStore, RoundTripTest, ::testing::ValuesIn(RoundTrips),
                         [](const auto& test) { return std::string(test.param.name); });

struct OddRowCase {
    const char* name;
    const char* columns; // SET clause applied to a saved today's board of 4 given numbers + 2
    int given;
    bool dated;
    int grade;
    int marked;
};

// Rows another program or a torn write may leave: read as the most a player can be sure of,
// never with a given number the player could take back or mark.
const OddRowCase OddRows[] = {
    {"MoreGivenThanNumbers", "given = 9", 6, true, 3, 0},
    {"AMarkOnAGivenNumber", "marked = 2", 4, true, 3, 0},
    {"ADateThatIsNoDate", "board_date = '2026-02-30'", 4, false, 0, 0},
    {"NoGivenNumbersForgetsTheDate", "given = 0", 0, false, 0, 0},
    {"NegativeHelp", "reachability_asked = -4, moves_shown = -1", 4, true, 3, 0},
};

class OddRowTest : public ::testing::TestWithParam<OddRowCase> {};

TEST_P(OddRowTest, IsReadAsAGameThatCanBePlayed)
{
    const OddRowCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.Path("games.db");
    {
        auto database = OpenGameDatabase(path).database;
        database->SavePlaying(0, GameInProgress{{0, 3, 6, 9, 39, 69}, 0, 0, 1.7e9, Today(4, 3, 1, 1)}, "aa");
    }
    Sql(path, std::string("UPDATE games SET ") + c.columns);
    auto database = OpenGameDatabase(path).database;
    const auto resumed = database->ClaimGameToResume("bb", Nobody);
    ASSERT_TRUE(resumed);
    const GivenBoardPlay& board = resumed->game.givenBoard;
    EXPECT_EQ(board.given, c.given);
    EXPECT_EQ(board.date.has_value(), c.dated);
    EXPECT_EQ(board.grade, c.grade);
    EXPECT_EQ(resumed->game.markedNumber, c.marked);
    EXPECT_GE(board.reachabilityAsked, 0);
    EXPECT_GE(board.movesShown, 0);
}

INSTANTIATE_TEST_SUITE_P(GivenBoardStore, OddRowTest, ::testing::ValuesIn(OddRows),
                         [](const auto& test) { return std::string(test.param.name); });

// A file this copy may only read, left at version 2, still shows its history.
TEST(GivenBoardStore, AHistoryReadWhereItCannotBeUpgradedIsOrdinaryGames)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    Sql(path, LaidOutAt(2) + RowsOfVersion2);
    std::string error;
    const std::vector<HistoryGame> history = ReadHistoryFile(path, error);
    EXPECT_TRUE(error.empty()) << error;
    ASSERT_EQ(history.size(), 1U);
    EXPECT_EQ(history[0].given, 0);
    EXPECT_EQ(history[0].name, "Ada");
}

// ---- Through the keeper ----

struct KeptGivenCase {
    const char* name;
    int placed;        // numbers of the player's own after the 3 given
    bool finished;     // the end reached; else a new game over it
    const char* rows;  // state:score:given:board_date of every row afterwards
};

const KeptGivenCase KeptGivenCases[] = {
    // Opened and left: no game was played, nothing stays.
    {"LeftAsItCame", 0, false, ""},
    {"LeftAfterANumberIsKeptToContinue", 1, false, "playing:4:3:2026-12-08"},
    {"FinishedGoesIntoTheHistoryWithItsDate", 2, true, "finished:5:3:2026-12-08"},
};

class KeptGivenBoardTest : public ::testing::TestWithParam<KeptGivenCase> {};

TEST_P(KeptGivenBoardTest, IsKeptWithItsGivenNumbersAndDate)
{
    const KeptGivenCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.Path("games.db");
    const std::vector<int> cells = {0, 3, 6, 36, 66};
    const GivenBoardPlay today = Today(3, 2, 0, 0);
    GameState board = Board({cells.begin(), cells.begin() + 3 + c.placed}, 2);
    board.GivenCount = 3;
    {
        GameKeeper keeper(path, std::nullopt);
        keeper.Begin(Board({}), std::nullopt);
        keeper.Changed(board, 1000, today);
        if (c.finished)
            keeper.Finished({});
        ASSERT_TRUE(keeper.WaitUntilWritten(std::chrono::seconds(10)));
        keeper.Changed(Board({}, 3), 0); // a new game
        keeper.Close(Board({}, 3), 0);
    }
    auto database = OpenGameDatabase(path).database;
    ASSERT_TRUE(database);
    EXPECT_EQ(SqlValue(*database, "SELECT ifnull(group_concat(state || ':' || score || ':' || given || ':' || board_date), '') "
                                  "FROM (SELECT * FROM games ORDER BY id)"),
              c.rows);
}

INSTANTIATE_TEST_SUITE_P(GivenBoardStore, KeptGivenBoardTest, ::testing::ValuesIn(KeptGivenCases),
                         [](const auto& test) { return std::string(test.param.name); });

} // namespace
} // namespace tovra
