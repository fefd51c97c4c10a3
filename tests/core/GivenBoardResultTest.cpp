// The shared result and the command line's board printing: what they say, and that the
// result never names a cell.
#include "core/BoardCode.h"
#include "core/DailyBoard.h"
#include "core/DailyCommand.h"
#include "core/GivenBoardResult.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tovra::testing {
namespace {

TEST(GivenBoardResult, SymbolsCountTensGivenFilledAndLeft)
{
    const std::string white = "\u2B1C", green = "\U0001F7E9", yellow = "\U0001F7E8", black = "\u2B1B";
    struct Row {
        int given;
        int reached;
        std::string symbols;
    };
    const Row rows[] = {
        {20, 20, white + white + black + black + black + black + black + black + black + black},
        {20, 67, white + white + green + green + green + green + yellow + black + black + black},
        {25, 100, white + white + green + green + green + green + green + green + green + green},
        {15, 30, white + green + green + black + black + black + black + black + black + black},
        {45, 45, white + white + white + white + yellow + black + black + black + black + black},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ProgressSymbols(row.given, row.reached), row.symbols) << row.given << " " << row.reached;
}

TEST(GivenBoardResult, ResultTellsDateGradeScoreTimeAndHelpButNoCell)
{
    GivenBoardPlay play;
    play.date = CivilDate{2026, 12, 8};
    play.grade = 2;
    play.given = 28;
    play.reachabilityAsked = 1;
    play.movesShown = 4;
    const std::string text = GivenBoardResultText(play, 67, 192);
    for (const char* part : {"2026-12-08", "grade 2 of 5", "67/100", "3:12", "F3 once", "Moves 4 times"})
        EXPECT_NE(text.find(part), std::string::npos) << part << " in\n" << text;
    // No cell: neither "row"/"column" words nor a board code of the position.
    EXPECT_EQ(text.find("row"), std::string::npos);
    EXPECT_EQ(text.find("column"), std::string::npos);
    const DailyBoard board = MakeDailyBoard(*play.date);
    EXPECT_EQ(text.find(EncodeBoardCode(board.cells).substr(0, 8)), std::string::npos);
}

TEST(GivenBoardResult, EndTextSaysTheGameIsNotRanked)
{
    GivenBoardPlay play;
    play.given = 30;
    const std::string lost = GivenBoardEndText(play, 72, 61);
    EXPECT_NE(lost.find("to 72 in 1:01."), std::string::npos) << lost;
    EXPECT_NE(lost.find("does not go into the best 20"), std::string::npos) << lost;
    play.date = CivilDate{2026, 12, 8};
    EXPECT_NE(GivenBoardEndText(play, 100, 3723).find("today's board to 100 in 1:02:03!"), std::string::npos);
}

TEST(DailyCommand, PrintsTheCodeAndGradeOfADate)
{
    std::ostringstream out, err;
    EXPECT_EQ(PrintDailyBoard("2026-12-13", 0, out, err), 0);
    const DailyBoard board = MakeDailyBoard({2026, 12, 13});
    EXPECT_EQ(out.str(), "2026-12-13: grade " + std::to_string(board.grade) + " of 5, numbers 1 to " +
                             std::to_string(board.cells.size()) + " given\n" + EncodeBoardCode(board.cells) + "\n");
    EXPECT_TRUE(err.str().empty());
}

TEST(DailyCommand, TodayIsTheDateOfTheClock)
{
    std::ostringstream out, err, expected;
    EXPECT_EQ(PrintDailyBoard(std::nullopt, EncodeDateTime(2026, 12, 8, 23, 59, 59), out, err), 0);
    PrintDailyBoard("2026-12-08", 0, expected, err);
    EXPECT_EQ(out.str(), expected.str());
}

TEST(DailyCommand, RefusesDatesThatDoNotExist)
{
    for (const char* date : {"2026-02-29", "2026-13-01", "yesterday", ""}) {
        std::ostringstream out, err;
        EXPECT_EQ(PrintDailyBoard(date, 0, out, err), 2) << date;
        EXPECT_TRUE(out.str().empty()) << date;
        EXPECT_NE(err.str().find("is not a date"), std::string::npos) << err.str();
    }
}

TEST(DailyCommand, CodeArgumentsAreReadOrRefusedWithTheirMessage)
{
    std::ostringstream err;
    const auto cells = CellsOfCodeArgument(EncodeBoardCode({0, 3, 6}), err);
    ASSERT_TRUE(cells);
    EXPECT_EQ(*cells, (std::vector<int>{0, 3, 6}));
    EXPECT_FALSE(CellsOfCodeArgument(EncodeBoardCode({0, 3, 4}), err));
    EXPECT_NE(err.str().find("no legal move"), std::string::npos) << err.str();
}

} // namespace
} // namespace tovra::testing
