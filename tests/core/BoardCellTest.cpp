// The move table against the rule as a player reads it: a number follows another three cells
// away in a straight line or two cells away on a diagonal.
#include "core/BoardCell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace tovra {
namespace {

TEST(BoardCellTest, EveryCellHasExactlyTheEightJumpsOfTheRulesOnTheBoard)
{
    for (int row = 1; row <= 10; ++row) {
        for (int column = 1; column <= 10; ++column) {
            std::set<int> byRule;
            for (int toRow = 1; toRow <= 10; ++toRow)
                for (int toColumn = 1; toColumn <= 10; ++toColumn) {
                    const int rows = std::abs(toRow - row);
                    const int columns = std::abs(toColumn - column);
                    if ((rows == 3 && columns == 0) || (rows == 0 && columns == 3) || (rows == 2 && columns == 2))
                        byRule.insert((toRow - 1) * 10 + toColumn - 1);
                }
            std::set<int> byTable;
            const BoardCell cell = BoardCell::At(row, column);
            ForEachMoveTarget(cell, [&](BoardCell target) { EXPECT_TRUE(byTable.insert(target.Index()).second); });
            EXPECT_EQ(byTable, byRule) << cell.Id();
            for (int to = 0; to < CellCount; ++to)
                EXPECT_EQ(IsMove(cell, BoardCell::FromIndex(to)), byRule.count(to) == 1) << cell.Id() << " to " << to;
        }
    }
}

// The solver follows an edge back by the opposite move, k ^ 4.
TEST(BoardCellTest, OppositeMovesLeadBack)
{
    for (int cell = 0; cell < CellCount; ++cell)
        for (int k = 0; k < 8; ++k) {
            if (const int target = Moves.target[cell][k]; target != NoCell) {
                EXPECT_EQ(Moves.target[target][k ^ 4], cell) << cell << " move " << k;
            }
        }
}

// The hint and end-of-game order: clockwise from straight up.
TEST(BoardCellTest, TargetsComeClockwiseFromStraightUp)
{
    std::vector<std::string> targets;
    ForEachMoveTarget(BoardCell::FromId("bt0505"), [&](BoardCell target) { targets.push_back(target.Id()); });
    EXPECT_EQ(targets, (std::vector<std::string>{"bt0205", "bt0307", "bt0508", "bt0707", "bt0805", "bt0703", "bt0502", "bt0303"}));
}

TEST(BoardCellTest, CellsConvertBetweenIndexRowColumnAndIdentifier)
{
    struct Row {
        const char* id;
        int index;
        int row;
        int column;
    };
    for (const Row& r : {Row{"bt0101", 0, 1, 1}, Row{"bt0310", 29, 3, 10}, Row{"bt1001", 90, 10, 1}, Row{"bt1010", 99, 10, 10}}) {
        const BoardCell cell = BoardCell::FromId(r.id);
        EXPECT_EQ(cell.Index(), r.index);
        EXPECT_EQ(cell.Row(), r.row);
        EXPECT_EQ(cell.Column(), r.column);
        EXPECT_EQ(cell.Id(), r.id);
        EXPECT_EQ(BoardCell::At(r.row, r.column), cell);
        EXPECT_EQ(BoardCell::FromIndex(r.index), cell);
    }
    for (const char* bad : {"", "bt0001", "bt1101", "bt0511", "lb0505", "bt05055"})
        EXPECT_FALSE(BoardCell::FromId(bad).IsValid()) << bad;
    EXPECT_FALSE(BoardCell::FromIndex(100).IsValid());
    EXPECT_FALSE(BoardCell::FromIndex(-1).IsValid());
    EXPECT_FALSE(BoardCell::At(0, 5).IsValid());
    EXPECT_FALSE(IsMove(BoardCell(), BoardCell::FromId("bt0101")));
}

} // namespace
} // namespace tovra
