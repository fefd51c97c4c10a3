// --analyse: stored boards read back as games, one line per stored game, and a file that
// cannot be read reported as at start-up.
#include "records/GameAnalysis.h"

#include "TestFiles.h"
#include "core/Solver.h"
#include "records/RecordFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <sys/stat.h>

namespace tovra {
namespace {

using namespace tovra::testing;

// The three targets of the corner bt0101 are numbered at number 5: 100 is lost there.
const std::vector<int> CornerCutOff = {3, 25, 22, 52, 30};

BestRecord StoredGame(const std::string& name, const std::vector<int>& cells)
{
    BestRecord record = FreshRecord();
    SetRecordName(record, name);
    record.Score = static_cast<std::uint8_t>(cells.size());
    record.SetDate(46000);
    for (std::size_t i = 0; i < cells.size(); ++i)
        record.SchemeBytes[static_cast<std::size_t>(cells[i])] = static_cast<std::uint8_t>(i + 1);
    return record;
}

std::vector<int> FullGame()
{
    SolverPosition start;
    start.numbered.set(0);
    start.lastCell = 0;
    std::vector<int> cells = {0};
    const SolverAnswer answer = SolveCompletion(start);
    cells.insert(cells.end(), answer.completion.begin(), answer.completion.end());
    return cells;
}

struct Analysis {
    int status;
    std::string out;
    std::string err;
};

Analysis Analyse(const std::string& path)
{
    std::ostringstream out;
    std::ostringstream err;
    PosixFileSystem disk;
    const int status = AnalyseRecordFile(path, disk, out, err);
    return {status, out.str(), err.str()};
}

struct BoardCase {
    const char* situation;
    std::function<void(BestRecord&)> damage; // applied to the corner game's record
};

class StoredBoardIsNoGame : public ::testing::TestWithParam<BoardCase> {};

TEST_P(StoredBoardIsNoGame, AndSaysSo)
{
    BestRecord record = StoredGame("Ann", CornerCutOff);
    ASSERT_TRUE(StoredGameOrder(record));
    GetParam().damage(record);
    EXPECT_FALSE(StoredGameOrder(record));
    EXPECT_NE(AnalysisLine(3, record).find("the stored board is not a game"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, StoredBoardIsNoGame,
    ::testing::Values(BoardCase{"a number twice", [](BestRecord& r) { r.SchemeBytes[99] = 2; }},
                      BoardCase{"a number above the score", [](BestRecord& r) { r.SchemeBytes[99] = 6; }},
                      BoardCase{"a number missing", [](BestRecord& r) { r.SchemeBytes[30] = 0; }},
                      BoardCase{"an illegal step", [](BestRecord& r) { std::swap(r.SchemeBytes[25], r.SchemeBytes[22]); }},
                      BoardCase{"a score above 100", [](BestRecord& r) { r.Score = 101; }}),
    [](const auto& row) {
        std::string name = row.param.situation;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

TEST(AnalyseRecordFile, WritesOneLinePerStoredGameWithWhere100WasLost)
{
    PosixFileSystem disk;
    TempDir dir;
    BestTable table = FreshTable();
    table.ByRank(1) = StoredGame("Full", FullGame());
    table.ByRank(2) = StoredGame("Corner", CornerCutOff);
    table.ByRank(3) = StoredGame("Esc\x1b[2Jape", CornerCutOff);
    ASSERT_EQ(SaveBestTable(table, dir.Path(), disk), SaveOutcome::Saved);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0444), 0); // a read-only file is read all the same

    const Analysis analysis = Analyse(dir.Path());
    EXPECT_EQ(analysis.status, 0);
    EXPECT_EQ(analysis.err, "");
    EXPECT_EQ(analysis.out, " 1  Full                            100  100 reached\n"
                            " 2  Corner                            5  100 reachable until number 4\n"
                            " 3  Esc\\x1B[2Jape                     5  100 reachable until number 4\n");
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(table));
}

TEST(AnalyseRecordFile, SaysSoWhenNoGameIsStored)
{
    PosixFileSystem disk;
    TempDir dir;
    ASSERT_EQ(SaveBestTable(FreshTable(), dir.Path(), disk), SaveOutcome::Saved);
    EXPECT_EQ(Analyse(dir.Path()).out, "No stored games.\n");
}

TEST(AnalyseRecordFile, ReportsAnUnreadableFileAsAtStartUpAndFails)
{
    TempDir dir;
    WriteFile(dir.Path(), Bytes(100, 0));
    const Analysis shortFile = Analyse(dir.Path());
    EXPECT_EQ(shortFile.status, 1);
    EXPECT_EQ(shortFile.err, dir.Path() + ": not a record file (100 bytes; a record file has 2,880)\n");
    EXPECT_EQ(shortFile.out, "");

    const Analysis missing = Analyse(dir.Path("other.dat"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, dir.Path("other.dat") + ": File not found.\n");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"record.dat"}); // nothing created
}

struct ForeignFile {
    const char* situation;
    std::function<Bytes()> bytes;
    const char* says; // after the file's name
};

class AnalyseForeignFile : public ::testing::TestWithParam<ForeignFile> {};

// Another kind of file must not read as games that never were.
TEST_P(AnalyseForeignFile, NamesItInOneLineAndFails)
{
    TempDir dir;
    WriteFile(dir.Path(), GetParam().bytes());
    const Analysis analysis = Analyse(dir.Path());
    EXPECT_EQ(analysis.status, 1);
    EXPECT_EQ(analysis.out, "");
    EXPECT_EQ(analysis.err, dir.Path() + ": " + GetParam().says + "\n");
}

Bytes TableWith(const std::function<void(BestRecord&)>& damage)
{
    BestTable table = FreshTable();
    table.ByRank(1) = StoredGame("Corner", CornerCutOff);
    damage(table.ByRank(4));
    return TableBytes(table);
}

INSTANTIATE_TEST_SUITE_P(
    Files, AnalyseForeignFile,
    ::testing::Values(
        ForeignFile{"text", [] { return Bytes(18127, '#'); }, "not a record file (18127 bytes; a record file has 2,880)"},
        ForeignFile{"a table and more", [] { return Bytes(TableSize + 1, 0); },
                    "not a record file (2881 bytes; a record file has 2,880)"},
        ForeignFile{"a table of other bytes", [] { return PatternBytes(TableSize); },
                    "not a record file (its record 1 is none the game writes)"},
        ForeignFile{"a name too long", [] { return TableWith([](BestRecord& r) { r.NameLength = 31; }); },
                    "not a record file (its record 4 is none the game writes)"},
        ForeignFile{"a score above 100", [] { return TableWith([](BestRecord& r) { r.Score = 114; }); },
                    "not a record file (its record 4 is none the game writes)"},
        ForeignFile{"a number above 100", [] { return TableWith([](BestRecord& r) { r.SchemeBytes[7] = 101; }); },
                    "not a record file (its record 4 is none the game writes)"},
        ForeignFile{"a day out of range", [] { return TableWith([](BestRecord& r) { r.SetDate(-3.0); }); },
                    "not a record file (its record 4 is none the game writes)"}),
    [](const auto& row) {
        std::string name = row.param.situation;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

} // namespace
} // namespace tovra
