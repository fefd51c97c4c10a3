// The completion solver: every "reachable" answer comes with a sequence that an independent
// checker accepts, and every answer agrees with a plain exhaustive search where one is cheap.
#include "core/Solver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace tovra::testing {
namespace {

int RowOf(int cell) { return cell / 10; }
int ColumnOf(int cell) { return cell % 10; }

// The move rule by plain distance arithmetic, apart from the solver's move tables.
bool IsMove(int from, int to)
{
    const int rows = std::abs(RowOf(from) - RowOf(to));
    const int columns = std::abs(ColumnOf(from) - ColumnOf(to));
    return (rows == 3 && columns == 0) || (rows == 0 && columns == 3) || (rows == 2 && columns == 2);
}

// Empty when `completion` legally fills every free cell of `position`, from its last number.
std::string CompletionFault(const SolverPosition& position, const std::vector<int>& completion)
{
    std::bitset<100> filled = position.numbered;
    int previous = position.lastCell;
    for (const int cell : completion) {
        if (cell < 0 || cell >= 100)
            return "cell out of range: " + std::to_string(cell);
        if (filled.test(static_cast<std::size_t>(cell)))
            return "cell used twice: " + CellIdOf(cell);
        if (previous != NoCell && !IsMove(previous, cell))
            return "illegal move " + CellIdOf(previous) + " -> " + CellIdOf(cell);
        filled.set(static_cast<std::size_t>(cell));
        previous = cell;
    }
    if (!filled.all())
        return "board not full: " + std::to_string(filled.count()) + " cells";
    return "";
}

SolverPosition Numbered(std::initializer_list<const char*> ids)
{
    std::vector<int> cells;
    for (const char* id : ids)
        cells.push_back(CellIndexOf(id));
    return PositionAfter(cells, static_cast<int>(cells.size()));
}

TEST(SolverTest, CellIndexesFollowTheBoardIdentifiers)
{
    const struct {
        const char* id;
        int index;
    } cases[] = {{"bt0101", 0}, {"bt0110", 9}, {"bt0310", 29}, {"bt1001", 90}, {"bt1010", 99},
                 {"bt0001", NoCell}, {"bt1101", NoCell}, {"bt0111", NoCell}, {"lb0101", NoCell},
                 {"bt010", NoCell}, {"bt01011", NoCell}, {"btx101", NoCell}};
    for (const auto& c : cases) {
        EXPECT_EQ(CellIndexOf(c.id), c.index) << c.id;
        if (c.index != NoCell) {
            EXPECT_EQ(CellIdOf(c.index), c.id);
        }
    }
    EXPECT_EQ(CellIdOf(100), "");
}

TEST(SolverTest, EmptyBoardHasAFullTour)
{
    const SolverAnswer answer = SolveCompletion({});
    ASSERT_EQ(answer.answer, Reachability::Reachable);
    EXPECT_EQ(answer.completion.size(), 100u);
    EXPECT_EQ(CompletionFault({}, answer.completion), "");
}

TEST(SolverTest, NamedPositions)
{
    const struct {
        const char* name;
        SolverPosition position;
        Reachability expected;
    } cases[] = {
        {"corner shut in", Numbered({"bt0104", "bt0401", "bt0303", "bt0101"}), Reachability::Unreachable},
        {"one number", Numbered({"bt0505"}), Reachability::Reachable},
    };
    for (const auto& c : cases) {
        const SolverAnswer answer = SolveCompletion(c.position);
        EXPECT_EQ(answer.answer, c.expected) << c.name;
        if (answer.answer == Reachability::Reachable) {
            EXPECT_EQ(CompletionFault(c.position, answer.completion), "") << c.name;
        }
    }
}

} // namespace
} // namespace tovra::testing
