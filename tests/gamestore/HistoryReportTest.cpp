// "--history": the columns a terminal shows and the CSV a spreadsheet reads.
#include "gamestore/HistoryReport.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tovra {
namespace {

using namespace tovra::testing;

HistoryGame Game(GameEnd end, std::vector<int> cells, std::string name, bool imported = false)
{
    HistoryGame game;
    game.end = end;
    game.cells = std::move(cells);
    game.name = std::move(name);
    game.imported = imported;
    game.playedMs = imported ? 0 : 754000;
    game.endedAt = NoonOf({2026, 12, 8});
    if (!imported)
        game.startedAt = *game.endedAt - 754;
    if (game.cells.size() == 2)
        game.lastReachable = 1;
    return game;
}

std::string Written(const std::vector<HistoryGame>& games, ReportFormat format)
{
    std::ostringstream out;
    WriteHistory(games, format, out);
    return out.str();
}

TEST(HistoryReport, CsvHasAHeaderAndQuotesWhatASpreadsheetWouldSplit)
{
    const std::string csv = Written({Game(GameEnd::Stuck, {0, 3}, "Smith, \"Jo\""),
                                     Game(GameEnd::Complete, {22}, "Bo", true)},
                                    ReportFormat::Csv);
    EXPECT_EQ(csv, "ended,started,score,seconds_played,outcome,reachable_until,origin,name,cells\r\n"
                   "2026-12-08 12:00:00,2026-12-08 11:47:26,2,754,stuck,1,played,\"Smith, \"\"Jo\"\"\",bt0101 bt0104\r\n"
                   "2026-12-08,,1,,complete,,imported,Bo,bt0303\r\n");
}

struct NameCell {
    const char* name;
    const char* cell; // as the CSV writes it
};

class CsvNameCell : public ::testing::TestWithParam<NameCell> {};

// Names come from a record.dat others may write: the spreadsheet must see text, never a formula,
// and a terminal printing the file must see no control character.
TEST_P(CsvNameCell, IsPlainTextInASpreadsheetAndATerminal)
{
    const std::string csv = Written({Game(GameEnd::Stuck, {0, 3}, GetParam().name)}, ReportFormat::Csv);
    EXPECT_NE(csv.find(std::string(",played,") + GetParam().cell + ",bt0101 bt0104\r\n"), std::string::npos) << csv;
}

INSTANTIATE_TEST_SUITE_P(
    Names, CsvNameCell,
    ::testing::Values(NameCell{"=HYPERLINK(\"http://x\",\"click\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"click\"\")\""},
                      NameCell{"+1+2", "'+1+2"}, NameCell{"-2+3", "'-2+3"}, NameCell{"@SUM(A1)", "'@SUM(A1)"},
                      NameCell{"\tTab", "'\\x09Tab"}, NameCell{"\rReturn", "'\\x0DReturn"},
                      NameCell{"Ann=1-2", "Ann=1-2"}, NameCell{"Esc\x1b[2J", "Esc\\x1B[2J"},
                      NameCell{"Csi\xc2\x9b" "2J", "Csi\\x9B2J"}, NameCell{"Zo\xc3\xab", "Zo\xc3\xab"}));

TEST(HistoryReport, TextTellsHowEachGameEndedAndHidesControlCharacters)
{
    const std::string text =
        Written({Game(GameEnd::Abandoned, {0, 3}, "Ann\x1b[2J"), Game(GameEnd::Stuck, {5}, "", true)},
                ReportFormat::Text);
    EXPECT_NE(text.find("2026-12-08 12:00       2  12:34     abandoned                   1  Ann\\x1B[2J\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("2026-12-08             1  -         no move left                ?  (from record.dat)\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(Written({}, ReportFormat::Text), "No games in the history yet.\n");
}

TEST(HistoryReport, NoDatabaseIsAnEmptyHistoryAndNothingIsCreated)
{
    TempDir dir;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(ReportHistory(dir.Path("games.db"), ReportFormat::Csv, out, err), 0);
    EXPECT_EQ(out.str(), "ended,started,score,seconds_played,outcome,reachable_until,origin,name,cells\r\n");
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(HistoryReport, ADamagedDatabaseIsOneLineAndExitStatusOne)
{
    TempDir dir;
    WriteFile(dir.Path("games.db"), PatternBytes(4096));
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(ReportHistory(dir.Path("games.db"), ReportFormat::Text, out, err), 1);
    EXPECT_EQ(out.str(), "");
    const std::string message = err.str();
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
}

} // namespace
} // namespace tovra
