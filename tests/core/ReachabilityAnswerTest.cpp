// The four answers to "Can 100 still be reached?" about a game, and a question stopped before
// its answer.
#include "GameTestSupport.h"
#include "core/CellId.h"
#include "core/ReachabilityAnswer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stop_token>
#include <vector>

namespace tovra::testing {
namespace {

using Kind = ReachabilityAnswer::Kind;

// The move rule written out on its own: three cells straight or two along a diagonal.
bool IsStep(int from, int to)
{
    const int columns = std::abs(from % 10 - to % 10);
    const int rows = std::abs(from / 10 - to / 10);
    return (columns == 3 && rows == 0) || (columns == 0 && rows == 3) || (columns == 2 && rows == 2);
}

std::vector<int> Indexes(std::initializer_list<const char*> ids)
{
    std::vector<int> cells;
    for (const char* id : ids)
        cells.push_back(CellIndexOf(id));
    return cells;
}

TEST(ReachabilityAnswerTest, EmptyBoardReachesFromAnyFirstCell)
{
    EXPECT_EQ(AnswerReachability({}, {}).kind, Kind::FromAnyFirstCell);
}

TEST(ReachabilityAnswerTest, ReachableNamesANextNumberThatKeeps100Reachable)
{
    const std::vector<int> cells = Indexes({"bt0505", "bt0508", "bt0808"});
    const ReachabilityAnswer answer = AnswerReachability(cells, {});
    ASSERT_EQ(answer.kind, Kind::Reachable);
    EXPECT_TRUE(IsStep(cells.back(), answer.nextCell)) << CellIdOf(answer.nextCell);
    std::vector<int> after = cells;
    after.push_back(answer.nextCell);
    EXPECT_EQ(SolveCompletion(PositionAfter(after, static_cast<int>(after.size()))).answer, Reachability::Reachable);
}

TEST(ReachabilityAnswerTest, FullBoardHasReached100)
{
    std::vector<int> tour = SolveCompletion({}).completion;
    ASSERT_EQ(tour.size(), 100u);
    EXPECT_EQ(AnswerReachability(tour, {}).kind, Kind::Reached);
}

TEST(ReachabilityAnswerTest, UnreachableTellsTheLastNumberThatStillReached)
{
    // Number 5 takes the last free target of the corner bt0101, which is still free.
    const ReachabilityAnswer answer = AnswerReachability(Indexes({"bt0104", "bt0306", "bt0303", "bt0603", "bt0401"}), {});
    EXPECT_EQ(answer.kind, Kind::Unreachable);
    EXPECT_EQ(answer.lastReachable, 4);
}

TEST(ReachabilityAnswerTest, StopRequestGivesNoAnswer)
{
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(AnswerReachability({}, stop.get_token()).kind, Kind::Stopped);
    EXPECT_EQ(AnswerReachability(Indexes({"bt0505"}), stop.get_token()).kind, Kind::Stopped);
}

TEST(ReachabilityAnswerTest, EachAnswerHasOneTextForEveryWindow)
{
    struct Row {
        ReachabilityAnswer answer;
        const char* text;
    };
    for (const Row& row : {Row{{Kind::FromAnyFirstCell}, "100 can be reached from any first cell."},
                           Row{{Kind::Reached}, "100 has been reached."},
                           Row{{Kind::Reachable, CellIndexOf("bt0310")}, "100 can still be reached.\nNext: row 3, column 10"},
                           Row{{Kind::Unreachable, NoCell, 41}, "100 can no longer be reached. It could until number 41."},
                           Row{{Kind::Stopped}, ""}})
        EXPECT_EQ(AnswerText(row.answer), row.text);
}

class GameCellsTest : public GameFixture {};

TEST_F(GameCellsTest, NumbersInTheirOrder)
{
    EXPECT_TRUE(GameCells(game).empty());
    Play({"bt0101", "bt0104", "bt0306"});
    EXPECT_EQ(GameCells(game), Indexes({"bt0101", "bt0104", "bt0306"}));
}

} // namespace
} // namespace tovra::testing
