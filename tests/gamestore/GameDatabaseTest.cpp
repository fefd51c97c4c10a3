// The game database: what opening makes of the files a player may have (none, old, newer,
// damaged, locked, unreadable), and the life of a game's row from the first save to its end.
#include "gamestore/GameDatabase.h"
#include "gamestore/GameKeeper.h"
#include "gamestore/RunningCopy.h"

#include "DatabaseFiles.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace tovra {
namespace {

using namespace tovra::testing;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

GameInProgress Played(std::vector<std::uint8_t> cells, int marked = 0, std::int64_t playedMs = 0)
{
    return GameInProgress{std::move(cells), marked, playedMs, 1'700'000'000.5, {}};
}

// ---- Opening ----

struct OpenCase {
    const char* name;
    std::function<void(const std::string& path)> prepare;
    bool opens;            // a database comes back
    bool readOnly;         // ... that must not be written
    bool setAside;         // the file was moved to a dated name
    bool problem;          // the player is told
    const char* keptQuery; // a query on the opened database and its expected answer ("" for none)
    const char* keptAnswer;
};

const OpenCase OpenCases[] = {
    {"NoFileMakesANewOne", [](const std::string&) {}, true, false, false, false, "PRAGMA journal_mode", "wal"},
    // Another program's database, even at version 0, is not the game's to lay out.
    {"VersionZeroWithDataIsAnotherProgramsAndLeftAlone",
     [](const std::string& path) { Sql(path, "CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('kept');"); },
     false, false, false, true, "", ""},
    {"NewerVersionIsOpenedReadOnly",
     [](const std::string& path) {
         Sql(path, std::string(GameDatabaseSchemaV1) + "ALTER TABLE games ADD COLUMN later INTEGER; PRAGMA user_version = " +
                       std::to_string(GameDatabaseVersion + 1) + ";");
     },
     true, true, false, true, "SELECT count(*) FROM games", "0"},
    {"TextFileIsSetAside", [](const std::string& path) { WriteFile(path, Text("not a database at all\n")); }, true,
     false, true, true, "SELECT count(*) FROM games", "0"},
    {"TornDatabaseIsSetAside",
     [](const std::string& path) {
         Sql(path, std::string(GameDatabaseSchemaV1) + "PRAGMA user_version = 1;");
         Bytes bytes = ReadFile(path);
         std::fill(bytes.begin() + 100, bytes.end(), 0xA5); // the header survives, the pages do not
         WriteFile(path, bytes);
     },
     true, false, true, true, "SELECT count(*) FROM games", "0"},
    {"ATableOfTheSameNameIsAnotherProgramsAndLeftAlone",
     [](const std::string& path) { Sql(path, "CREATE TABLE games (other TEXT); INSERT INTO games VALUES ('x');"); },
     false, false, false, true, "", ""},
};

class OpenTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenTest, EndsWithAUsableGameOrATellingLine)
{
    const OpenCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.Path("games.db");
    c.prepare(path);
    const bool existed = ::access(path.c_str(), F_OK) == 0;
    const Bytes before = existed ? ReadFile(path) : Bytes();

    OpenedGameDatabase opened = OpenGameDatabase(path);

    ASSERT_EQ(opened.database != nullptr, c.opens) << opened.problem;
    EXPECT_EQ(!opened.problem.empty(), c.problem) << opened.problem;
    EXPECT_EQ(!opened.setAsideAs.empty(), c.setAside);
    if (c.setAside) {
        // The damaged file keeps every byte under its dated name, and the message names it.
        EXPECT_EQ(ReadFile(opened.setAsideAs), before);
        EXPECT_NE(opened.setAsideAs.find("games.db.damaged-"), std::string::npos);
        EXPECT_NE(opened.problem.find(opened.setAsideAs.substr(dir.Dir().size() + 1)), std::string::npos);
    }
    if (!opened.database) {
        EXPECT_EQ(ReadFile(path), before); // neither written into nor renamed
        return;
    }
    EXPECT_EQ(opened.database->ReadOnly(), c.readOnly);
    if (*c.keptQuery) {
        EXPECT_EQ(SqlValue(*opened.database, c.keptQuery), c.keptAnswer);
    }
    if (c.readOnly) {
        EXPECT_THROW(opened.database->SavePlaying(0, Played({1, 2}), "aa"), StoreError);
        opened.database.reset();
        EXPECT_EQ(ReadFile(path), before);
    } else {
        EXPECT_EQ(opened.database->Version(), GameDatabaseVersion);
        EXPECT_EQ(SqlValue(*opened.database, "PRAGMA user_version"), std::to_string(GameDatabaseVersion));
        EXPECT_GT(opened.database->SavePlaying(0, Played({1, 2}), "aa"), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(GameDatabase, OpenTest, ::testing::ValuesIn(OpenCases),
                         [](const auto& test) { return std::string(test.param.name); });

// Upgrades run one step after the other, all or nothing.
TEST(GameDatabaseUpgrade, StepsRunInOrderAndAFailingStepLeavesTheFileAsItWas)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    // The layout these steps make at version 1: a file's tables must be the ones its steps made.
    const std::string version1 = std::string(GameDatabaseSchemaV1) + "CREATE TABLE t (v INTEGER);";
    Sql(path, version1 + "INSERT INTO t VALUES (1); PRAGMA user_version = 1;");
    const std::vector<SchemaUpgrade> steps = {{0, version1.c_str()},
                                              {1, "UPDATE t SET v = v * 10;"},
                                              {2, "UPDATE t SET v = v + 2;"},
                                              {3, "UPDATE no_such_table SET v = 0;"}};
    {
        OpenedGameDatabase upTo3 = OpenGameDatabase(path, OpenMode::ReadWrite, steps, 3);
        ASSERT_TRUE(upTo3.database);
        EXPECT_EQ(SqlValue(*upTo3.database, "SELECT v FROM t"), "12"); // (1 * 10) + 2, not (1 + 2) * 10
        EXPECT_EQ(upTo3.database->Version(), 3);
    }
    // The file is set aside; the new one these steps cannot make either is given up.
    OpenedGameDatabase upTo4 = OpenGameDatabase(path, OpenMode::ReadWrite, steps, 4);
    EXPECT_FALSE(upTo4.database);
    EXPECT_FALSE(upTo4.problem.empty());
    ASSERT_FALSE(upTo4.setAsideAs.empty());
    OpenedGameDatabase aside = OpenGameDatabase(upTo4.setAsideAs, OpenMode::ReadOnly, steps, 3);
    ASSERT_TRUE(aside.database) << aside.problem;
    EXPECT_EQ(SqlValue(*aside.database, "SELECT v FROM t"), "12");
    EXPECT_EQ(aside.database->Version(), 3);
}

// A file held by another program, or one the player may not read: no database, one line, and
// the file is left exactly as it was.
TEST(GameDatabaseOpen, LockedFileGivesUpQuicklyAndIsLeftAlone)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    OpenGameDatabase(path).database->SavePlaying(0, Played({5}), "aa");
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr),
              SQLITE_OK);
    OpenedGameDatabase opened = OpenGameDatabase(path);
    EXPECT_FALSE(opened.database);
    EXPECT_NE(opened.problem.find("in use"), std::string::npos) << opened.problem;
    EXPECT_TRUE(opened.setAsideAs.empty());
    sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    OpenedGameDatabase later = OpenGameDatabase(path);
    ASSERT_TRUE(later.database);
    EXPECT_EQ(SqlValue(*later.database, "SELECT hex(cells) FROM games"), "05");
}

TEST(GameDatabaseOpen, UnreadableFileIsLeftAlone)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    OpenGameDatabase(path).database->SavePlaying(0, Played({5}), "aa");
    const Bytes before = ReadFile(path);
    const std::vector<std::string> files = dir.Entries();
    SetMode(dir.Dir(), 0777);
    SetMode(path, 0);
    const ChildReport report = RunAsPlayer([&](ChildReport& child) {
        OpenedGameDatabase opened = OpenGameDatabase(path);
        child.skipped = opened.database == nullptr && !opened.problem.empty() && opened.setAsideAs.empty();
    });
    EXPECT_STREQ(report.failure, "");
    EXPECT_TRUE(report.skipped);
    SetMode(path, 0644);
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(dir.Entries(), files);
}

// ---- A game's row ----

TEST(GameDatabaseRows, ASavedGameComesBackWithItsMarkAndClock)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    const GameInProgress game = Played({0, 12, 24, 45}, 2, 83'456);
    {
        auto database = OpenGameDatabase(path).database;
        const std::int64_t id = database->SavePlaying(0, Played({0}), "aa");
        EXPECT_EQ(database->SavePlaying(id, game, "aa"), id);
    }
    auto database = OpenGameDatabase(path).database;
    const auto resumed = database->ClaimGameToResume("bb", [](const std::string&) { return false; });
    ASSERT_TRUE(resumed);
    EXPECT_EQ(resumed->game, game);
    EXPECT_EQ(SqlValue(*database, "SELECT owner FROM games"), "bb");
}

struct ClaimCase {
    const char* name;
    std::vector<std::pair<std::vector<std::uint8_t>, std::string>> playing; // cells and owner, oldest first
    std::vector<std::string> running;                                        // owners whose copy runs
    int resumed;                  // index into `playing` of the game resumed, -1 for none
    const char* statesAfterwards; // of every row, by id
};

const ClaimCase ClaimCases[] = {
    {"OwnGameOfARunningCopyIsLeftToIt", {{{1, 2}, "aa"}}, {"aa"}, -1, "playing"},
    {"GameOfAnEndedCopyIsResumed", {{{1, 2}, "aa"}}, {}, 0, "playing"},
    // The others stay in progress, to be resumed by later starts, never silently abandoned.
    {"TheMostRecentIsResumedTheOthersKept", {{{1}, "aa"}, {{2}, "bb"}, {{3}, "cc"}}, {}, 2, "playing,playing,playing"},
    {"AHeldGameIsNeitherResumedNorAbandoned", {{{1}, "aa"}, {{2}, "bb"}}, {"bb"}, 0, "playing,playing"},
};

class ClaimTest : public ::testing::TestWithParam<ClaimCase> {};

TEST_P(ClaimTest, ResumesTheMostRecentGameNoRunningCopyHolds)
{
    const ClaimCase& c = GetParam();
    TempDir dir;
    auto database = OpenGameDatabase(dir.Path("games.db")).database;
    std::vector<std::int64_t> ids;
    double when = 1000;
    for (const auto& [cells, owner] : c.playing)
        ids.push_back(database->SavePlaying(0, Played(cells), owner, when += 10));
    const auto running = [&](const std::string& owner) {
        return std::find(c.running.begin(), c.running.end(), owner) != c.running.end();
    };
    const auto resumed = database->ClaimGameToResume("me", running);
    ASSERT_EQ(resumed.has_value(), c.resumed >= 0);
    if (resumed) {
        EXPECT_EQ(resumed->id, ids[static_cast<std::size_t>(c.resumed)]);
    }
    EXPECT_EQ(SqlValue(*database, "SELECT group_concat(state) FROM (SELECT state FROM games ORDER BY id)"),
              c.statesAfterwards);
    // A second start right after never takes the claimed game: it is held now.
    const auto second = database->ClaimGameToResume("other", [&](const std::string& owner) {
        return owner == "me" || running(owner);
    });
    EXPECT_FALSE(resumed && second && second->id == resumed->id);
}

INSTANTIATE_TEST_SUITE_P(GameDatabase, ClaimTest, ::testing::ValuesIn(ClaimCases),
                         [](const auto& test) { return std::string(test.param.name); });

// Two copies started at once both find the same game; only one takes it, and the other one's
// saves go into a row of their own.
TEST(GameDatabaseRows, TwoCopiesThatFoundTheSameGameNeverWriteIntoOneRow)
{
    TempDir dir;
    auto database = OpenGameDatabase(dir.Path("games.db")).database;
    const std::int64_t left = database->SavePlaying(0, Played({1, 2}), "dead");
    const auto nobody = [](const std::string&) { return false; };
    const auto foundByA = database->FindGameToResume("aa", nobody);
    const auto foundByB = database->FindGameToResume("bb", nobody);
    ASSERT_TRUE(foundByA && foundByB);
    EXPECT_EQ(foundByB->id, left);
    EXPECT_TRUE(database->ClaimGame(*foundByA, "aa", nobody));
    EXPECT_FALSE(database->ClaimGame(*foundByB, "bb", [](const std::string& owner) { return owner == "aa"; }));
    EXPECT_EQ(database->SavePlaying(left, Played({1, 2, 3}), "aa"), left);
    const std::int64_t ownRow = database->SavePlaying(left, Played({1, 2, 4}), "bb");
    EXPECT_GT(ownRow, left);
    EXPECT_EQ(database->Read(left)->game.cells, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(database->Read(ownRow)->game.cells, (std::vector<std::uint8_t>{1, 2, 4}));
}

TEST(GameDatabaseRows, EndedAndEmptyGamesAreNotResumed)
{
    TempDir dir;
    auto database = OpenGameDatabase(dir.Path("games.db")).database;
    std::vector<std::uint8_t> hundred(100);
    for (std::size_t k = 0; k < hundred.size(); ++k)
        hundred[k] = static_cast<std::uint8_t>(k);
    const std::int64_t complete = database->SavePlaying(0, Played({0}), "aa");
    ASSERT_EQ(database->MarkFinished(complete, Played(hundred, 0, 999), "Zoë"), complete);
    const std::int64_t stuck = database->SavePlaying(0, Played({7, 8}), "aa");
    ASSERT_EQ(database->MarkFinished(stuck, Played({7, 8, 9})), stuck);
    const std::int64_t left = database->SavePlaying(0, Played({3}), "aa");
    EXPECT_TRUE(database->MarkAbandoned(left, "aa"));
    const std::int64_t undone = database->SavePlaying(0, Played({4}), "aa");
    EXPECT_EQ(database->SavePlaying(undone, Played({}), "aa"), 0);

    EXPECT_FALSE(database->ClaimGameToResume("bb", [](const std::string&) { return false; }));
    EXPECT_EQ(SqlValue(*database, "SELECT group_concat(state || ':' || ifnull(outcome, '-') || ':' || score || ':' || "
                                  "ifnull(name, '-')) FROM (SELECT * FROM games ORDER BY id)"),
              "finished:complete:100:Zoë,finished:stuck:3:-,abandoned:-:1:-");
}

// ---- Copies ----

// Runs `work` in a child that then waits to be killed; its pid.
pid_t ChildThatHolds(const std::string& path, const std::string& token)
{
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        RunningCopy copy(path, token);
        const char held = copy.Hold() ? 'y' : 'n';
        (void)!write(ready[1], &held, 1);
        pause();
        _exit(0);
    }
    char held = 0;
    (void)!read(ready[0], &held, 1);
    close(ready[0]);
    close(ready[1]);
    return held == 'y' ? child : -1;
}

TEST(RunningCopy, HeldWhileItsProcessRunsFreedWhenItIsKilled)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    const pid_t child = ChildThatHolds(path, "0123456789abcdef");
    ASSERT_GT(child, 0);
    EXPECT_TRUE(RunningCopy::IsRunning(path, "0123456789abcdef"));
    EXPECT_FALSE(RunningCopy::IsRunning(path, "fedcba9876543210"));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_FALSE(RunningCopy::IsRunning(path, "0123456789abcdef"));
    EXPECT_TRUE(dir.Entries().empty()); // the killed copy's lock file is cleared
    EXPECT_FALSE(RunningCopy::IsRunning(path, "../../etc/passwd"));
    {
        RunningCopy copy(path);
        ASSERT_TRUE(copy.Hold());
        EXPECT_TRUE(RunningCopy::IsRunning(path, copy.Token()));
    }
    EXPECT_TRUE(dir.Entries().empty()); // an ended copy removes its own
}

// ---- Memory ----

// Every start opens the file twice (the peek, then the keeper), so what SQLite sets aside per
// connection is paid at each start: its lookaside and its first block of cache pages, about
// 200 KB together, are left out.
struct MemoryCase {
    const char* name;
    std::function<void(const std::string& path)> use;
    long long mostBytes; // with SQLite's defaults: about 305 KB and 155 KB
};

const MemoryCase MemoryCases[] = {
    {"KeepersConnection",
     [](const std::string& path) {
         auto database = OpenGameDatabase(path).database;
         database->SavePlaying(0, Played({0, 12, 24}), "aa");
         EXPECT_TRUE(database->ClaimGameToResume("bb", [](const std::string&) { return false; }));
     },
     200'000},
    {"StartsPeek", [](const std::string& path) { EXPECT_TRUE(PeekGameToResume(path)); }, 120'000},
};

class MemoryTest : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(MemoryTest, AConnectionSetsLittleMemoryAside)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    OpenGameDatabase(path).database->SavePlaying(0, Played({0, 12}), "aa");
    sqlite3_int64 current = 0;
    sqlite3_int64 highest = 0;
    sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &current, &highest, 1);
    const sqlite3_int64 before = current;
    GetParam().use(path);
    sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &current, &highest, 0);
    EXPECT_LT(highest - before, GetParam().mostBytes);
}

INSTANTIATE_TEST_SUITE_P(GameDatabase, MemoryTest, ::testing::ValuesIn(MemoryCases),
                         [](const auto& test) { return std::string(test.param.name); });

} // namespace
} // namespace tovra
