// The completion solver: every "reachable" answer comes with a sequence that an independent
// checker accepts, and every answer agrees with a plain exhaustive search where one is cheap.
#include "core/CellId.h"
#include "core/SplitMix64.h"
#include "core/Solver.h"
#include "core/solver/CompletionSearch.h"
#include "core/solver/CompletionWalks.h"
#include "core/solver/PathRotations.h"
#include "core/solver/DegreeFactor.h"

#include "MoveArithmetic.h"

#include <gtest/gtest.h>

#include <bitset>
#include <cstdlib>
#include <random>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace tovra::testing {
namespace {

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

// A board drawn as ten rows of "." (free), "#" (numbered) and "L" (the last number).
SolverPosition Drawn(const std::string& rows)
{
    SolverPosition position;
    int cell = 0;
    for (const char c : rows) {
        if (c == ' ')
            continue;
        if (c != '.')
            position.numbered.set(static_cast<std::size_t>(cell));
        if (c == 'L')
            position.lastCell = cell;
        ++cell;
    }
    EXPECT_EQ(cell, 100) << rows;
    return position;
}

// Each cell's targets, from the distance arithmetic above.
const std::vector<int>& TargetsOf(int cell)
{
    static const std::vector<std::vector<int>> targets = [] {
        std::vector<std::vector<int>> all(100);
        for (int from = 0; from < 100; ++from)
            for (int to = 0; to < 100; ++to)
                if (IsMove(from, to))
                    all[static_cast<std::size_t>(from)].push_back(to);
        return all;
    }();
    return targets[static_cast<std::size_t>(cell)];
}

std::vector<int> FreeTargets(const std::bitset<100>& filled, int from)
{
    std::vector<int> free;
    for (const int target : TargetsOf(from))
        if (!filled.test(static_cast<std::size_t>(target)))
            free.push_back(target);
    return free;
}

// Plain exhaustive search: how many ways finish the board (counting stops at `cap`). It gives up
// a branch only where a free cell that cannot be the next number has no free neighbour, or two
// such cells have one each (both would have to be the last number).
long long CountCompletions(std::bitset<100>& filled, int from, long long cap)
{
    if (filled.all())
        return 1;
    int deadEnds = 0;
    for (int cell = 0; cell < 100; ++cell) {
        if (filled.test(static_cast<std::size_t>(cell)) || IsMove(from, cell))
            continue;
        const std::size_t free = FreeTargets(filled, cell).size();
        if ((free == 0 && filled.count() < 99) || (free == 1 && ++deadEnds > 1))
            return 0;
    }
    long long count = 0;
    for (const int next : TargetsOf(from)) {
        if (filled.test(static_cast<std::size_t>(next)))
            continue;
        filled.set(static_cast<std::size_t>(next));
        count += CountCompletions(filled, next, cap - count);
        filled.reset(static_cast<std::size_t>(next));
        if (count >= cap)
            break;
    }
    return count;
}

bool ExhaustivelyReachable(const SolverPosition& position)
{
    std::bitset<100> filled = position.numbered;
    return CountCompletions(filled, position.lastCell, 1) > 0;
}

class SolverRandomTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        seed = std::random_device{}();
        if (const char* fixed = std::getenv("TOVRA_SEED"))
            seed = static_cast<unsigned>(std::strtoul(fixed, nullptr, 10));
        random = SplitMix64(seed);
    }

    // A game by a player who mostly takes the target with the fewest onward moves and now and
    // then any target, so that its games end anywhere from early to a full board.
    std::vector<int> PlayGame()
    {
        std::bitset<100> filled;
        std::vector<int> cells{Pick(0, 99)};
        filled.set(static_cast<std::size_t>(cells.back()));
        while (true) {
            const std::vector<int> targets = FreeTargets(filled, cells.back());
            if (targets.empty())
                return cells;
            int next = targets[static_cast<std::size_t>(Pick(0, static_cast<int>(targets.size()) - 1))];
            if (Pick(0, 3) > 0) {
                std::size_t fewest = 99;
                for (const int target : targets) {
                    filled.set(static_cast<std::size_t>(target));
                    const std::size_t onward = FreeTargets(filled, target).size();
                    filled.reset(static_cast<std::size_t>(target));
                    if (onward < fewest) {
                        fewest = onward;
                        next = target;
                    }
                }
            }
            cells.push_back(next);
            filled.set(static_cast<std::size_t>(next));
        }
    }

    int Pick(int low, int high) { return random.Between(low, high); }

    unsigned seed = 0;
    SplitMix64 random{0};
};

TEST(SolverTest, EmptyBoardHasAFullTourAndEveryFirstCellReaches)
{
    const SolverAnswer answer = SolveCompletion({});
    ASSERT_EQ(answer.answer, Reachability::Reachable);
    EXPECT_EQ(answer.completion.size(), 100u);
    EXPECT_EQ(CompletionFault({}, answer.completion), "");
    EXPECT_EQ(EveryFirstCellReaches(), Reachability::Reachable);
}

TEST(SolverTest, NamedPositions)
{
    const struct {
        const char* name;
        const char* board;
        Reachability expected;
    } cases[] = {
        {"corner shut in", "L..#...... .......... ..#....... #......... .......... .......... .......... .......... "
                           ".......... ..........", Reachability::Unreachable},
        {"one number", ".......... .......... .......... .......... .....L.... .......... .......... .......... "
                       ".......... ..........", Reachability::Reachable},
        {"the last cell free", "########## ########## ########## ########## ########## ########## ########## "
                               "####L##### ########## ######.###", Reachability::Reachable},
        {"the last cell out of reach", "########## ########## ########## ########## ########## ########## "
                                       "########## ####L##### ########## #######.##", Reachability::Unreachable},
        {"two dead ends", "L####.#### ########## ########## ########## ########## ########## ########## ########## "
                          "#########. .#######.#", Reachability::Unreachable},
        {"full board", "########## ########## ########## ########## ########## ########## ########## ########## "
                       "########## #########L", Reachability::Reachable},
        // Found by the "fewest onward moves" player's games: the random restarts find it after
        // several hundred nodes.
        {"a hard one", "##..#..##. #.##.#..#. ..#...#..# ##......#. #.......#. ..L......# ........#. #......... "
                       "......#..# ..#..#..#.", Reachability::Reachable},
    };
    for (const auto& c : cases) {
        const SolverPosition position = Drawn(c.board);
        const SolverAnswer answer = SolveCompletion(position);
        EXPECT_EQ(answer.answer, c.expected) << c.name;
        if (answer.answer == Reachability::Reachable) {
            EXPECT_EQ(CompletionFault(position, answer.completion), "") << c.name;
        }
    }
}

// A board as one line of 100 cells, row after row: "x" a number, "@" the last one, "." free.
SolverPosition Lined(const std::string& cells)
{
    std::string rows;
    for (std::size_t i = 0; i < cells.size(); ++i)
        rows += cells[i] == 'x' ? '#' : cells[i] == '@' ? 'L' : '.';
    return Drawn(rows);
}

TEST(SolverTest, PositionsThatWereSlow)
{
    // From random-like play; each took an earlier version of the search from 20,000 to over a
    // million nodes. Half are reachable, so a wrong "unreachable" shows here too.
    const struct {
        const char* cells;
        Reachability expected;
    } cases[] = {
        {"x..xx..x..x..........xx..x....x.x...xx.@x..x.......xx.xxx.xxx..x......xx.xx.x....x..................", Reachability::Unreachable},
        {".......x...x..x@.x..x.xx...x.x.......x...xx.xx.x....x..x.x....xx....................xx.x............", Reachability::Reachable},
        {"x.x....x..............x.@xx..xxxx.x..x.....xx.....x.xx..x....xx.xx..x...........x.xx..x.............", Reachability::Reachable},
        {"......x..x..............x.x..x.........xx..x..x.......x.xx.xxx..x....@x.xxx.xx....x.......x.x......x", Reachability::Reachable},
        {"....xx..x...x..x..x.......xx.....xx.x.xx....x...x..x.....xx.......x.xx...@x.xx..........x.........xx", Reachability::Reachable},
        {"..x..x......x..x...........x..x..x.xx.....x..x@..x..xxx..xx.xx..x.....xxxxxxx..x..x..x..x.xx.xx..x..", Reachability::Unreachable},
        {"......@.......x........xx.x......xxx.x.....xxxx......xxxxx.....xxxx........x........................", Reachability::Unreachable},
        {".....xx..x...@x........x...xx..xx...x..x..........xx.xx..xx....x..x........x....xx..x...x....x......", Reachability::Reachable},
        {"......x...............x.@...x...........xx..........xxxxx.xx...x.xx...xx.x...x....x.xx.xx......x....", Reachability::Reachable},
        {".x....................xx.x.@....x.xxxx.....xxxx.......xxxx.....xxxxx......xx.....................x..", Reachability::Unreachable},
        // Two that took 100 to 200 ms when the search's budgets followed the Luby sequence.
        {"...x..x..x...........x.xxxxxxx......x..x...x.xx..xxx.xx..xxx..@x..xx....x...x..x.x..x...xx....x.....", Reachability::Unreachable},
        {".....x@x.x.......x..xx.x.x.........x.x.x.xxx...x..xx..x..x.....xx..x....x.................x..x......", Reachability::Unreachable},
    };
    for (const auto& c : cases) {
        const SolverPosition position = Lined(c.cells);
        const SolverAnswer answer = SolveCompletion(position);
        EXPECT_EQ(answer.answer, c.expected) << c.cells;
        if (answer.answer == Reachability::Reachable) {
            EXPECT_EQ(CompletionFault(position, answer.completion), "") << c.cells;
        }
    }
}

TEST(SolverTest, ProbingTheRootShrinksAnUnreachableSearch)
{
    // No rule settles this root, and the search needs thousands of nodes to exhaust it; fixing
    // its edges one at a time shows most of them dead, and what is left is quickly done.
    const SolverPosition position =
        Lined("...x..x..x...........x.xxxxxxx......x..x...x.xx..xxx.xx..xxx..@x..xx....x...x..x.x..x...xx....x.....");
    solver::SearchRules withoutProbing;
    withoutProbing.probing = false;
    const SolverAnswer without = solver::SearchCompletion(position, {}, withoutProbing);
    const SolverAnswer with = solver::SearchCompletion(position, {});
    EXPECT_EQ(without.answer, Reachability::Unreachable);
    EXPECT_EQ(with.answer, Reachability::Unreachable);
    EXPECT_LT(with.nodes * 2, without.nodes);
}

TEST(SolverTest, DegreeBoundNeedsMoreThanCounting)
{
    // Two triangles sharing vertex 4: every vertex touches enough edges and the degrees add up
    // to an even sum, yet vertices 0..3 of degree two take all four edges of vertex 4.
    const std::vector<std::pair<int, int>> bowtie = {{0, 1}, {0, 4}, {1, 4}, {2, 3}, {2, 4}, {3, 4}};
    EXPECT_FALSE(solver::HasDegreeFactor({2, 2, 2, 2, 2}, bowtie));
    EXPECT_TRUE(solver::HasDegreeFactor({2, 2, 2, 2, 4}, bowtie));
    EXPECT_TRUE(solver::HasDegreeFactor({1, 1, 1, 1, 0}, bowtie)); // edges 0-1 and 2-3
    EXPECT_FALSE(solver::HasDegreeFactor({1, 0, 0, 0, 0}, bowtie)); // an odd sum
    // A cycle of six with its three long diagonals: a factor of degree one needs a diagonal or
    // alternate cycle edges; degree three takes everything.
    std::vector<std::pair<int, int>> prism = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {0, 5}, {0, 3}, {1, 4}, {2, 5}};
    EXPECT_TRUE(solver::HasDegreeFactor({1, 1, 1, 1, 1, 1}, prism));
    EXPECT_TRUE(solver::HasDegreeFactor({3, 3, 3, 3, 3, 3}, prism));
    EXPECT_FALSE(solver::HasDegreeFactor({3, 3, 3, 3, 3, 1}, prism));
}

TEST(SolverTest, DegreeFactorGivesItsEdgesWhateverItTriesFirst)
{
    // The six-cycle with its diagonals, degree one everywhere: from no hint, from a factor of
    // diagonals and from a hint that is no factor at all, the edges given back are one.
    const std::vector<std::pair<int, int>> prism = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {0, 5}, {0, 3}, {1, 4}, {2, 5}};
    const std::vector<int> degree = {1, 1, 1, 1, 1, 1};
    const std::vector<std::vector<std::uint8_t>> hints = {{}, {0, 0, 0, 0, 0, 0, 1, 1, 1}, {1, 1, 1, 1, 1, 1, 1, 1, 1}};
    for (std::vector<std::uint8_t> used : hints) {
        used.resize(prism.size(), 0);
        ASSERT_TRUE(solver::HasDegreeFactor(degree, prism, &used));
        std::vector<int> got(degree.size(), 0);
        for (std::size_t i = 0; i < prism.size(); ++i) {
            got[static_cast<std::size_t>(prism[i].first)] += used[i];
            got[static_cast<std::size_t>(prism[i].second)] += used[i];
        }
        EXPECT_EQ(got, degree);
    }
}

TEST(SolverTest, ParityAloneProvesUnreachable)
{
    // 29 free cells, each with at least two moves, all joined: the move rules give no contradiction,
    // but some two-colouring of them leaves more cells of one colour than a path can take.
    const SolverPosition position = Drawn(".##.##.### #####.##.# #..#.##### .##.##.### .##.#.#### #..#.##### "
                                          "#..##.#### .##.##.### .##.###### #..#L.##.#");
    ASSERT_FALSE(ExhaustivelyReachable(position));
    const SolverAnswer withParity = solver::SearchCompletion(position, {});
    EXPECT_EQ(withParity.answer, Reachability::Unreachable);
    EXPECT_EQ(withParity.nodes, 1u); // settled before any guess
    const SolverAnswer without = solver::SearchCompletion(position, {}, solver::SearchRules{false});
    EXPECT_EQ(without.answer, Reachability::Unreachable);
    EXPECT_GT(without.nodes, 1u);
}

TEST(SolverTest, RareReachableHasItsOnlyCompletion)
{
    // 28 free cells that can be filled in exactly one order.
    const SolverPosition position = Drawn(".##.#..#.# ##.##..#.. #..#.##.## .##....L## .#.###.##. #..#.##.## "
                                          "########## .######### ########## ##########");
    std::bitset<100> filled = position.numbered;
    ASSERT_EQ(CountCompletions(filled, position.lastCell, 2), 1);
    const SolverAnswer answer = SolveCompletion(position);
    ASSERT_EQ(answer.answer, Reachability::Reachable);
    EXPECT_EQ(CompletionFault(position, answer.completion), "");
}

TEST(SolverTest, WalksFindOnlyWhatIsThere)
{
    const SolverPosition rare = Drawn(".##.#..#.# ##.##..#.. #..#.##.## .##....L## .#.###.##. #..#.##.## "
                                      "########## .######### ########## ##########");
    solver::CompletionWalks walks(rare);
    ASSERT_TRUE(walks.Walk(100000, 7));
    EXPECT_EQ(CompletionFault(rare, walks.Completion()), "");
    const SolverPosition shutIn = Drawn("L..#...... .......... ..#....... #......... .......... .......... .......... "
                                        ".......... .......... ..........");
    solver::CompletionWalks none(shutIn);
    EXPECT_FALSE(none.Walk(1000, 7));
    EXPECT_LE(none.Steps(), 1000u);
}

TEST(SolverTest, RotationsFindOnlyWhatIsThere)
{
    // The only completion, found in one of a few tries, and none where a cell is shut in.
    const SolverPosition rare = Drawn(".##.#..#.# ##.##..#.. #..#.##.## .##....L## .#.###.##. #..#.##.## "
                                      "########## .######### ########## ##########");
    solver::PathRotations rotations(rare);
    bool found = false;
    for (std::uint32_t i = 1; i <= 16 && !found; ++i)
        found = rotations.Try(2000, 0x9E3779B9u * i);
    ASSERT_TRUE(found);
    EXPECT_EQ(CompletionFault(rare, rotations.Completion()), "");
    const SolverPosition shutIn = Drawn("L..#...... .......... ..#....... #......... .......... .......... .......... "
                                        ".......... .......... ..........");
    solver::PathRotations none(shutIn);
    for (std::uint32_t i = 1; i <= 16; ++i)
        EXPECT_FALSE(none.Try(1000, 0x9E3779B9u * i));
    EXPECT_LE(none.Steps(), 16'000u);
}

TEST(SolverTest, LimitsGiveUnknownNeverAWrongAnswer)
{
    SolverLimits tight;
    tight.maxNodes = 5;
    const SolverAnswer budgeted = SolveCompletion({}, tight);
    EXPECT_EQ(budgeted.answer, Reachability::Unknown);
    EXPECT_TRUE(budgeted.completion.empty());
    EXPECT_LE(budgeted.nodes, 5u);

    std::stop_source stop;
    stop.request_stop();
    SolverLimits stopped;
    stopped.stop = stop.get_token();
    EXPECT_EQ(SolveCompletion({}, stopped).answer, Reachability::Unknown);
    EXPECT_EQ(LastReachableNumber({0, 3, 6, 9}, stopped), -1);
}

TEST_F(SolverRandomTest, SmallPositionsAgreeWithExhaustiveSearch)
{
    SCOPED_TRACE("TOVRA_SEED=" + std::to_string(seed));
    int reachable = 0;
    int unreachable = 0;
    for (int tried = 0; tried < 2000 && reachable + unreachable < 100; ++tried) {
        const std::vector<int> cells = PlayGame();
        if (cells.size() < 70)
            continue;
        const SolverPosition position = PositionAfter(cells, Pick(70, static_cast<int>(cells.size())));
        const SolverAnswer answer = SolveCompletion(position);
        const bool expected = ExhaustivelyReachable(position);
        ASSERT_EQ(answer.answer, expected ? Reachability::Reachable : Reachability::Unreachable)
            << "last " << CellIdOf(position.lastCell) << ", " << position.numbered.count() << " numbered";
        if (expected) {
            ++reachable;
            ASSERT_EQ(CompletionFault(position, answer.completion), "");
        } else {
            ++unreachable;
        }
    }
    // Both answers were really exercised.
    EXPECT_GT(reachable, 10);
    EXPECT_GT(unreachable, 10);
}

TEST_F(SolverRandomTest, ReachabilityOnlyGetsLostAlongAGame)
{
    SCOPED_TRACE("TOVRA_SEED=" + std::to_string(seed));
    for (int game = 0; game < 4; ++game) {
        const std::vector<int> cells = PlayGame();
        int lastReachable = 0;
        for (int count = 1; count <= static_cast<int>(cells.size()); ++count) {
            const SolverPosition position = PositionAfter(cells, count);
            const SolverAnswer answer = SolveCompletion(position);
            ASSERT_NE(answer.answer, Reachability::Unknown);
            if (answer.answer == Reachability::Reachable) {
                ASSERT_EQ(lastReachable, count - 1) << "reachable again after number " << count;
                ASSERT_EQ(CompletionFault(position, answer.completion), "") << "after number " << count;
                lastReachable = count;
            }
        }
        EXPECT_EQ(LastReachableNumber(cells), lastReachable);
        EXPECT_EQ(lastReachable == static_cast<int>(cells.size()), cells.size() == 100u);
    }
}

} // namespace
} // namespace tovra::testing
