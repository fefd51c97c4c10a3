#include "CompletionSearch.h"

#include "CompletionWalks.h"
#include "DegreeFactor.h"
#include "PathRotations.h"

#include "core/BoardCell.h"
#include "core/GameState.h"
#include "core/RandomSource.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstdint>
#include <utility>
#include <vector>

// Completing the board from the last number is a Hamiltonian path from that cell through every
// free cell. Joining one virtual end vertex to every free cell, with the last number's cell tied
// to it, turns the question into a Hamiltonian cycle, which is searched over edges: every edge is
// open, fixed (in the cycle) or removed, and simple rules on degrees, chains, connectivity and
// two-colourings settle most edges before any guess. A position that is not settled at once gets
// the dearer degree bound (some choice of open edges giving every vertex degree two) at its root
// and near it, and path rotations and walks that look for a completion before each restart.
// One that three runs do not settle has its root's edges probed: each fixed in turn, and
// removed when the bounds kill it at once.

namespace tovra::solver {
namespace {

constexpr int EndVertex = CellCount; // the virtual end: its edges are bit EndBit of each cell
constexpr int EndBit = 8;
constexpr std::uint16_t EndMask = 1u << EndBit;

// std::popcount, read from a table of its values for the nine edge bits: on the baseline x86-64
// target there is no popcount instruction and std::popcount is a library call, which took almost
// half of the search's time; the table is one load.
constexpr auto EdgeBitCounts = [] {
    std::array<std::uint8_t, 512> counts{};
    for (unsigned bits = 0; bits < counts.size(); ++bits)
        counts[bits] = static_cast<std::uint8_t>(std::popcount(bits));
    return counts;
}();

int Count(std::uint16_t bits) { return EdgeBitCounts[bits & 511u]; }

// A two-colouring of the cells with, for each cell, the moves that lead to its own colour.
struct Colouring {
    bool black[CellCount] = {};
    std::uint16_t same[CellCount] = {};

    // Only the listed cells get their `same` moves: the search reads no others.
    void Assign(const MoveTable& moves, const bool colour[CellCount], const int* cells, int count)
    {
        for (int cell = 0; cell < CellCount; ++cell)
            black[cell] = colour[cell];
        for (int i = 0; i < count; ++i) {
            const int cell = cells[i];
            same[cell] = 0;
            for (int k = 0; k < 8; ++k) {
                const int target = moves.target[cell][k];
                if (target >= 0 && black[target] == black[cell])
                    same[cell] |= static_cast<std::uint16_t>(1u << k);
            }
        }
    }

    void Flip(const MoveTable& moves, int cell)
    {
        black[cell] = !black[cell];
        for (int k = 0; k < 8; ++k) {
            const int target = moves.target[cell][k];
            if (target < 0)
                continue;
            same[cell] ^= static_cast<std::uint16_t>(1u << k);
            same[target] ^= static_cast<std::uint16_t>(1u << (k ^ 4));
        }
    }
};

// Everything a search node owns; copied on each branch (about 520 bytes).
struct State {
    std::uint16_t open[CellCount];  // edges still possible: bits 0-7 moves, bit 8 the end vertex
    std::uint16_t fixed[CellCount]; // edges in the cycle, a subset of open
    std::uint8_t chainEnd[CellCount + 1]; // for a chain's end vertex, the chain's other end
    int endOpen = 0;  // open edges of the end vertex
    int endFixed = 0; // fixed edges of the end vertex
    int fixedEdges = 0;
};

enum class Outcome { Found, Dead, OutOfBudget };

class CycleSearch {
public:
    CycleSearch(const SolverPosition& position, const SolverLimits& limits, SearchRules rules)
        : limits_(limits), rules_(rules), walks_(position), rotations_(position)
    {
        last_ = position.lastCell;
        for (int cell = 0; cell < CellCount; ++cell) {
            free_[cell] = !position.numbered.test(static_cast<std::size_t>(cell)) && cell != last_;
            inPlay_[cell] = free_[cell] || cell == last_;
            freeCount_ += free_[cell] ? 1 : 0;
            if (inPlay_[cell])
                pathCells_[pathCellCount_++] = cell;
        }
        pathVertices_ = freeCount_ + (last_ == NoCell ? 0 : 1);
        bool pattern[PatternCount][CellCount] = {};
        for (int cell = 0; cell < CellCount; ++cell) {
            const int row = cell / BoardSize;
            const int column = cell % BoardSize;
            pattern[0][cell] = (row + column) % 2 != 0;
            pattern[1][cell] = (column + row / 2) % 2 != 0;
            pattern[2][cell] = (column + (row + 1) / 2) % 2 != 0;
            pattern[3][cell] = (row + column / 2) % 2 != 0;
            pattern[4][cell] = (row + (column + 1) / 2) % 2 != 0;
            pattern[5][cell] = row % 2 != 0;
            pattern[6][cell] = column % 2 != 0;
        }
        for (int i = 0; i < PatternCount; ++i)
            patterns_[i].Assign(moves_, pattern[i], pathCells_, pathCellCount_);
        vertices_ = pathVertices_ + 1;
    }

    SolverAnswer Run()
    {
        SolverAnswer answer;
        if (freeCount_ == 0) {
            answer.answer = Reachability::Reachable;
            return answer;
        }
        State root;
        if (!Start(root) || !Bound(root)) {
            answer.answer = Reachability::Unreachable;
            answer.nodes = 1;
            return answer;
        }
        // Restarts with budgets of 100 nodes doubling from run to run, plus one node per free
        // cell so that every run has room for a dive to a full board, and shuffled tie-breaks:
        // a search that went astray early is abandoned for a fresh one, and every run is
        // complete, so whichever run finishes gives the answer. An unreachable position needs
        // one run through its whole tree, whose size depends much on the tie-breaks; doubling
        // gets there in a few runs. (Budgets on the Luby sequence, 1 1 2 1 1 2 4 ..., spent four
        // times more on such positions.) Before each run, short tries of path rotations and of
        // walks, as many as the Luby sequence says, look for a completion the cheap way: most
        // reachable positions that the search is slow on fall to them at once.
        for (std::uint32_t run = 0;; ++run) {
            random_ = RandomSource(run);
            const std::uint64_t free = static_cast<std::uint64_t>(freeCount_);
            if (rules_.walks && Rotations(RotationTries * Luby(run + 1), RotationStepsPerCell * free)) {
                answer.answer = Reachability::Reachable;
                answer.completion = rotations_.Completion();
                break;
            }
            // Not settled at once: the degree bound, too dear for every position, goes first.
            if (run == 0 && rules_.degreeFactor && !DegreeFactorPossible(root)) {
                answer.answer = Reachability::Unreachable;
                break;
            }
            if (rules_.walks && Walks(WalkTries * Luby(run + 1), WalkStepsPerCell * free + 20)) {
                answer.answer = Reachability::Reachable;
                answer.completion = walks_.Completion();
                break;
            }
            if (stopped_)
                break;
            runNodes_ = 0;
            runBudget_ = (std::uint64_t{100} << std::min(run, 40u)) + static_cast<std::uint64_t>(freeCount_);
            const Outcome outcome = Search(root);
            if (outcome == Outcome::Found) {
                answer.answer = Reachability::Reachable;
                answer.completion = Completion();
                break;
            }
            if (outcome == Outcome::Dead) {
                answer.answer = Reachability::Unreachable;
                break;
            }
            if (stopped_)
                break;
            if (rules_.degreeFactor && run >= 1)
                factorDepth_ = FactorDepth;
            if (run == 2 && rules_.probing && !ProbeRoot(root)) {
                answer.answer = Reachability::Unreachable;
                break;
            }
            if (stopped_)
                break;
            // After the 1st, 3rd, 7th ... run, the position gets another round of colourings of
            // its own.
            if (((run + 2) & (run + 1)) == 0)
                SeekColourings(root);
        }
        answer.nodes = nodes_;
        return answer;
    }

private:
    // The tries before a search run of budget unit 1: a rotation step costs about a
    // three-hundredth of a search node, a walk step about a thirtieth. Most tries that succeed
    // do so within a few steps per free cell, and more tries do better than longer ones.
    static constexpr std::uint64_t RotationTries = 8;
    static constexpr std::uint64_t RotationStepsPerCell = 10;
    static constexpr std::uint64_t WalkTries = 2;
    static constexpr std::uint64_t WalkStepsPerCell = 2;
    static constexpr int FactorDepth = 16;
    static constexpr int ProbeSurvivorsToStop = 24;

    // `count` tries of path rotations, then `count` walks, of up to `steps` steps each.
    bool Rotations(std::uint64_t count, std::uint64_t steps)
    {
        for (std::uint64_t i = 0; i < count && !Stopped(); ++i) {
            const std::uint64_t before = rotations_.Steps();
            const bool found = rotations_.Try(StepsWithinLimits(steps), Random());
            Charge(rotations_.Steps() - before);
            if (found)
                return true;
        }
        return false;
    }

    bool Walks(std::uint64_t count, std::uint64_t steps)
    {
        for (std::uint64_t i = 0; i < count && !Stopped(); ++i) {
            const std::uint64_t before = walks_.Steps();
            const bool found = walks_.Walk(StepsWithinLimits(steps), Random());
            Charge(walks_.Steps() - before);
            if (found)
                return true;
        }
        return false;
    }

    // Whether the caller asked the search to stop; checked before each try.
    bool Stopped()
    {
        stopped_ = stopped_ || limits_.stop.stop_requested();
        return stopped_;
    }

    // The tries' steps count as nodes.
    std::uint64_t StepsWithinLimits(std::uint64_t steps) const
    {
        if (limits_.maxNodes == 0)
            return steps;
        return std::min(steps, limits_.maxNodes > nodes_ ? limits_.maxNodes - nodes_ : 0);
    }

    void Charge(std::uint64_t steps)
    {
        nodes_ += steps;
        if (limits_.maxNodes != 0 && nodes_ >= limits_.maxNodes)
            stopped_ = true;
    }

    // Whether the path cells and the end vertex could still have degree two each, the fixed
    // edges counted, in some set of open edges.
    // The last factor found is tried first: the next call is mostly on a nearby state.
    bool DegreeFactorPossible(const State& s)
    {
        if (FactorStillHolds(s))
            return true;
        std::vector<int> degree(CellCount + 1, 0);
        std::vector<std::pair<int, int>> edges;
        std::vector<std::pair<int, int>> edgeBits; // (cell, bit) of each edge
        std::vector<std::uint8_t> used;
        for (int i = 0; i < pathCellCount_; ++i) {
            const int cell = pathCells_[i];
            degree[static_cast<std::size_t>(cell)] = 2 - Count(s.fixed[cell]);
            std::uint16_t rest = s.open[cell] & static_cast<std::uint16_t>(~s.fixed[cell]);
            while (rest) {
                const int bit = std::countr_zero(static_cast<unsigned>(rest));
                rest &= static_cast<std::uint16_t>(rest - 1);
                const int other = Across(cell, bit);
                if (other > cell) { // each edge once; the end vertex is the highest
                    edges.emplace_back(cell, other);
                    edgeBits.emplace_back(cell, bit);
                    used.push_back((lastFactor_[cell] >> bit) & 1u);
                }
            }
        }
        degree[EndVertex] = 2 - s.endFixed;
        if (!HasDegreeFactor(degree, edges, &used))
            return false;
        std::fill(std::begin(lastFactor_), std::end(lastFactor_), std::uint16_t{0});
        for (int i = 0; i < pathCellCount_; ++i)
            wholeFactor_[pathCells_[i]] = s.fixed[pathCells_[i]];
        for (std::size_t i = 0; i < edges.size(); ++i) {
            if (!used[i])
                continue;
            const auto [cell, bit] = edgeBits[i];
            lastFactor_[cell] |= static_cast<std::uint16_t>(1u << bit);
            wholeFactor_[cell] |= static_cast<std::uint16_t>(1u << bit);
            if (bit != EndBit)
                wholeFactor_[moves_.target[cell][bit]] |= static_cast<std::uint16_t>(1u << (bit ^ 4));
        }
        haveFactor_ = true;
        return true;
    }

    // Whether the last degree factor found is one of this state too: its edges still open, the
    // fixed ones among them. Each path cell then has its two edges, and so has the end vertex,
    // whose edges are the cells' end edges. Much cheaper than a matching, and nodes near each
    // other mostly share a factor.
    bool FactorStillHolds(const State& s) const
    {
        if (!haveFactor_)
            return false;
        for (int i = 0; i < pathCellCount_; ++i) {
            const int cell = pathCells_[i];
            const std::uint16_t factor = wholeFactor_[cell];
            if ((factor & ~s.open[cell]) || (s.fixed[cell] & ~factor))
                return false;
        }
        return true;
    }

    // Each open edge of the root fixed in turn, as a node of its own: an edge whose node the
    // bounds kill at once (degrees, cut cells, parity, degree factor) is in no completion and
    // goes, which narrows the root for every later run and may kill it. The positions a search
    // is slowest to prove unreachable have many such edges, but ones where the search merely
    // wanders have few, and each probe costs about as much as a few nodes, so probing stops
    // after a long row of edges that survive. Returns false when the root is dead.
    bool ProbeRoot(State& root)
    {
        int survivedInARow = 0;
        for (int pass = 0; pass < 4; ++pass) {
            bool changed = false;
            for (int i = 0; i < pathCellCount_; ++i) {
                const int cell = pathCells_[i];
                std::uint16_t rest = root.open[cell] & static_cast<std::uint16_t>(~root.fixed[cell]);
                while (rest) {
                    const int bit = std::countr_zero(static_cast<unsigned>(rest));
                    rest &= static_cast<std::uint16_t>(rest - 1);
                    if (Across(cell, bit) < cell) // each edge once, from its lower end
                        continue;
                    if (Stopped())
                        return true;
                    Charge(1);
                    State child = root;
                    const bool alive = Fix(child, cell, bit) && Propagate(child) &&
                                       (child.fixedEdges == vertices_ ||
                                        (Bound(child) && (child.fixedEdges == vertices_ || !rules_.degreeFactor ||
                                                          DegreeFactorPossible(child))));
                    if (alive) {
                        if (++survivedInARow >= ProbeSurvivorsToStop)
                            return true;
                        continue;
                    }
                    Fail();
                    survivedInARow = 0;
                    if (!Remove(root, cell, bit) || !Propagate(root) || !Bound(root))
                        return false;
                    if (root.fixedEdges == vertices_)
                        return true;
                    changed = true;
                    // The root's edges changed: go on from the next edge still open.
                    rest = root.open[cell] & static_cast<std::uint16_t>(~root.fixed[cell]) &
                           static_cast<std::uint16_t>(~((2u << bit) - 1));
                }
            }
            if (!changed)
                break;
        }
        return true;
    }

    // The i-th term (from 1) of the Luby sequence 1 1 2 1 1 2 4 1 1 2 1 1 2 4 8 ...
    static std::uint64_t Luby(std::uint32_t i)
    {
        for (std::uint32_t k = 1; k < 32; ++k) {
            if (i == (1u << k) - 1)
                return std::uint64_t{1} << (k - 1);
            if (i >= (1u << (k - 1)) && i < (1u << k) - 1)
                return Luby(i - (1u << (k - 1)) + 1);
        }
        return 1;
    }

    // --- Edges ---------------------------------------------------------------------------------

    // The vertex at the other end of edge `bit` of `cell`.
    int Across(int cell, int bit) const { return bit == EndBit ? EndVertex : moves_.target[cell][bit]; }

    // The bit of `from`'s edge to `to`, or -1 when they are not joined by a move.
    int EdgeBit(int from, int to) const
    {
        if (to == EndVertex)
            return EndBit;
        for (int k = 0; k < 8; ++k)
            if (moves_.target[from][k] == to)
                return k;
        return -1;
    }

    void Touch(int vertex)
    {
        assert(workSize_ < WorkCapacity);
        work_[workSize_++] = static_cast<std::int16_t>(vertex);
    }

    bool Remove(State& s, int cell, int bit)
    {
        const std::uint16_t mask = static_cast<std::uint16_t>(1u << bit);
        if (!(s.open[cell] & mask))
            return true;
        if (s.fixed[cell] & mask)
            return false;
        s.open[cell] &= static_cast<std::uint16_t>(~mask);
        const int other = Across(cell, bit);
        if (other == EndVertex)
            --s.endOpen;
        else
            s.open[other] &= static_cast<std::uint16_t>(~(1u << (bit ^ 4)));
        Touch(cell);
        Touch(other);
        return true;
    }

    // Removes the edge between two vertices, if any.
    bool RemoveBetween(State& s, int a, int b)
    {
        if (a == EndVertex)
            std::swap(a, b);
        const int bit = EdgeBit(a, b);
        return bit < 0 || Remove(s, a, bit);
    }

    bool Fix(State& s, int cell, int bit)
    {
        const std::uint16_t mask = static_cast<std::uint16_t>(1u << bit);
        if (s.fixed[cell] & mask)
            return true;
        if (!(s.open[cell] & mask))
            return false;
        const int other = Across(cell, bit);
        s.fixed[cell] |= mask;
        if (Count(s.fixed[cell]) > 2)
            return false;
        if (other == EndVertex) {
            if (++s.endFixed > 2)
                return false;
        } else {
            s.fixed[other] |= static_cast<std::uint16_t>(1u << (bit ^ 4));
            if (Count(s.fixed[other]) > 2)
                return false;
        }
        ++s.fixedEdges;
        // Join the two chains; an edge between the new chain's ends would close a cycle that
        // leaves vertices out, unless it is the very last edge.
        const int endA = s.chainEnd[cell];
        const int endB = s.chainEnd[other];
        if (endA == other)
            return s.fixedEdges == vertices_;
        s.chainEnd[endA] = static_cast<std::uint8_t>(endB);
        s.chainEnd[endB] = static_cast<std::uint8_t>(endA);
        const bool singleEdge = endA == cell && endB == other;
        if (!singleEdge && s.fixedEdges < vertices_ - 1 && !RemoveBetween(s, endA, endB))
            return false;
        Touch(cell);
        Touch(other);
        return true;
    }

    // Degree rules to a fixpoint: fewer than two open edges fails, exactly two are both fixed,
    // two fixed edges close the rest.
    bool Propagate(State& s)
    {
        while (workSize_ > 0) {
            const int v = work_[--workSize_];
            if (v == EndVertex) {
                if (s.endOpen < 2 || s.endFixed > 2)
                    return Fail();
                if (s.endOpen == s.endFixed)
                    continue;
                const bool closeRest = s.endFixed == 2;
                if (!closeRest && s.endOpen != 2)
                    continue;
                for (int i = 0; i < pathCellCount_; ++i) {
                    const int cell = pathCells_[i];
                    if (!(s.open[cell] & EndMask) || (s.fixed[cell] & EndMask))
                        continue;
                    if (!(closeRest ? Remove(s, cell, EndBit) : Fix(s, cell, EndBit)))
                        return Fail();
                }
                continue;
            }
            const int open = Count(s.open[v]);
            const int fixed = Count(s.fixed[v]);
            if (open < 2 || fixed > 2)
                return Fail();
            if (open == fixed || (fixed < 2 && open > 2))
                continue;
            std::uint16_t rest = s.open[v] & static_cast<std::uint16_t>(~s.fixed[v]);
            while (rest) {
                const int bit = std::countr_zero(static_cast<unsigned>(rest));
                rest &= static_cast<std::uint16_t>(rest - 1);
                if (!(fixed == 2 ? Remove(s, v, bit) : Fix(s, v, bit)))
                    return Fail();
            }
        }
        return true;
    }

    bool Fail()
    {
        workSize_ = 0;
        return false;
    }

    // --- The root ------------------------------------------------------------------------------

    bool Start(State& s)
    {
        for (int cell = 0; cell < CellCount; ++cell) {
            s.open[cell] = 0;
            s.fixed[cell] = 0;
            s.chainEnd[cell] = static_cast<std::uint8_t>(cell);
            if (!inPlay_[cell])
                continue;
            for (int k = 0; k < 8; ++k) {
                const int to = moves_.target[cell][k];
                // The last number's cell joins only free cells; two free cells join each other.
                if (to >= 0 && inPlay_[to] && (free_[cell] || free_[to]))
                    s.open[cell] |= static_cast<std::uint16_t>(1u << k);
            }
            s.open[cell] |= EndMask;
            ++s.endOpen;
        }
        s.chainEnd[EndVertex] = EndVertex;
        for (int cell = 0; cell < CellCount; ++cell)
            if (inPlay_[cell])
                Touch(cell);
        Touch(EndVertex);
        if (last_ != NoCell && !Fix(s, last_, EndBit))
            return Fail();
        if (!Propagate(s))
            return false;
        for (auto& pattern : patterns_)
            Polish(s, pattern, 8);
        return true;
    }

    // --- Bounds --------------------------------------------------------------------------------

    // The cells whose removal splits the path's cells (joined by open moves), from one
    // depth-first search: for each cell, its discovery time, the end of its subtree's times, and
    // how many children's subtrees hang on it alone.
    struct CutCells {
        int disc[CellCount];
        int subtreeEnd[CellCount];
        int splits[CellCount];     // children whose subtree hangs on this cell alone
        int splitChild[CellCount]; // the last such child
        int order[CellCount];      // the cells by discovery time
        int root = NoCell;
        int reached = 0; // cells found from the root
    };

    void FindCutCells(const State& s, CutCells& cuts) const
    {
        int low[CellCount];
        int parent[CellCount];
        int stack[CellCount];
        std::uint16_t pending[CellCount];
        int* disc = cuts.disc;
        int root = last_;
        for (int cell = 0; cell < CellCount; ++cell) {
            disc[cell] = -1;
            cuts.splits[cell] = 0;
            if (root == NoCell && inPlay_[cell])
                root = cell;
        }
        cuts.root = root;
        int time = 0;
        int size = 0;
        disc[root] = low[root] = time++;
        cuts.order[disc[root]] = root;
        parent[root] = -1;
        stack[size] = root;
        pending[size++] = s.open[root] & static_cast<std::uint16_t>(~EndMask);
        while (size > 0) {
            const int v = stack[size - 1];
            if (pending[size - 1]) {
                const int bit = std::countr_zero(static_cast<unsigned>(pending[size - 1]));
                pending[size - 1] &= static_cast<std::uint16_t>(pending[size - 1] - 1);
                const int w = moves_.target[v][bit];
                if (disc[w] < 0) {
                    disc[w] = low[w] = time++;
                    cuts.order[disc[w]] = w;
                    parent[w] = v;
                    stack[size] = w;
                    pending[size++] = s.open[w] & static_cast<std::uint16_t>(~EndMask);
                } else if (w != parent[v]) {
                    low[v] = std::min(low[v], disc[w]);
                }
                continue;
            }
            --size;
            cuts.subtreeEnd[v] = time;
            if (size > 0) {
                const int p = stack[size - 1];
                low[p] = std::min(low[p], low[v]);
                if (low[v] >= disc[p]) {
                    ++cuts.splits[p];
                    cuts.splitChild[p] = v;
                }
            }
        }
        cuts.reached = time;
    }

    // The path (the cycle without the end vertex) must join all its cells, and a cell whose
    // removal splits them cuts the cycle: each part needs two cycle edges out of it, to that cell
    // or to the end vertex, which have four between them. So no cell splits the path's cells into
    // three parts, and one that splits them in two is no end: each part holds one end.
    bool CutRule(State& s, bool& changed)
    {
        CutCells cuts;
        FindCutCells(s, cuts);
        const int time = cuts.reached;
        if (time != pathVertices_)
            return false;
        const int* order = cuts.order;
        // End edges, open and fixed, counted along the discovery order, so that a subtree's
        // count is a difference.
        int openEnds[CellCount + 1];
        int fixedEnds[CellCount + 1];
        openEnds[0] = fixedEnds[0] = 0;
        for (int t = 0; t < time; ++t) {
            openEnds[t + 1] = openEnds[t] + ((s.open[order[t]] & EndMask) ? 1 : 0);
            fixedEnds[t + 1] = fixedEnds[t] + ((s.fixed[order[t]] & EndMask) ? 1 : 0);
        }
        for (int i = 0; i < pathCellCount_; ++i) {
            const int cut = pathCells_[i];
            const int parts = cuts.splits[cut] + (cut == cuts.root ? 0 : 1);
            if (parts < 2)
                continue;
            if (parts > 2)
                return false;
            if (s.open[cut] & EndMask) {
                if (!Remove(s, cut, EndBit))
                    return false;
                changed = true;
            }
            // Two parts: the subtree of the splitting child, and everything else but the cut.
            const int first = cuts.disc[cuts.splitChild[cut]];
            const int last = cuts.subtreeEnd[cuts.splitChild[cut]];
            const int cutOpen = (s.open[cut] & EndMask) ? 1 : 0;
            const int inOpen = openEnds[last] - openEnds[first];
            const int inFixed = fixedEnds[last] - fixedEnds[first];
            const int outOpen = openEnds[time] - inOpen - cutOpen;
            const int outFixed = fixedEnds[time] - inFixed;
            if (inOpen == 0 || outOpen == 0 || inFixed > 1 || outFixed > 1)
                return false;
            const bool clearInside = inFixed == 1 && inOpen > 1;
            const bool clearOutside = outFixed == 1 && outOpen > 1;
            if (!clearInside && !clearOutside)
                continue;
            // The part that already has its end keeps no other end edge.
            for (int t = 0; t < time; ++t) {
                const int cell = order[t];
                const bool inside = t >= first && t < last;
                if (cell == cut || (inside ? !clearInside : !clearOutside))
                    continue;
                if ((s.open[cell] & EndMask) && !(s.fixed[cell] & EndMask)) {
                    if (!Remove(s, cell, EndBit))
                        return false;
                    changed = true;
                }
            }
        }
        return true;
    }

    // Improves a two-colouring of the path's cells by flipping any cell with more open edges to
    // its own colour than to the other, so that few edges join cells of one colour.
    void Polish(const State& s, Colouring& colouring, int passes) const
    {
        for (int pass = 0; pass < passes; ++pass) {
            bool changed = false;
            for (int i = 0; i < pathCellCount_; ++i) {
                const int cell = pathCells_[i];
                const std::uint16_t moves = s.open[cell] & static_cast<std::uint16_t>(~EndMask);
                if (2 * Count(moves & colouring.same[cell]) > Count(moves)) {
                    colouring.Flip(moves_, cell);
                    changed = true;
                }
            }
            if (!changed)
                return;
        }
    }

    // What the counting says for one colouring: which numbers of black ends among the open ends
    // are possible, the most same-colour edges of each colour over those, and the slack (the
    // widest range of white-white counts left, -1 when none is).
    struct ParityCount {
        bool feasible[3] = {false, false, false}; // by black ends among the unknown ends
        int highestSame[2] = {-1, -1};
        int fixedSame[2] = {0, 0};
        int slack = -1;
    };

    // The per-cell sums behind a ParityCount, by colour (0 white, 1 black). Each cell's share
    // depends on its colour and its neighbours' only, so a flip updates them in a few steps.
    struct ParityTally {
        int cells[2] = {0, 0};      // path cells
        int capacity[2] = {0, 0};   // twice the most same-colour edges each colour can have
        int fixedSame[2] = {0, 0};  // twice the fixed same-colour edges
        int knownEnds[2] = {0, 0};  // cells whose end edge is fixed
        int candidates[2] = {0, 0}; // cells that may still be the open end
    };

    void TallyCell(const State& s, const Colouring& colouring, int cell, int sign, ParityTally& tally) const
    {
        const int c = colouring.black[cell] ? 1 : 0;
        const std::uint16_t moves = s.open[cell] & static_cast<std::uint16_t>(~EndMask);
        const std::uint16_t same = moves & colouring.same[cell];
        const std::uint16_t fixedMoves = s.fixed[cell] & moves;
        const int fixedOther = Count(fixedMoves & static_cast<std::uint16_t>(~same));
        const bool endFixed = s.fixed[cell] & EndMask;
        tally.cells[c] += sign;
        tally.fixedSame[c] += sign * Count(fixedMoves & same);
        tally.knownEnds[c] += endFixed ? sign : 0;
        tally.candidates[c] += (s.open[cell] & EndMask) && !endFixed ? sign : 0;
        tally.capacity[c] += sign * std::min(Count(same), 2 - fixedOther - (endFixed ? 1 : 0));
    }

    ParityTally Tally(const State& s, const Colouring& colouring) const
    {
        ParityTally tally;
        for (int i = 0; i < pathCellCount_; ++i)
            TallyCell(s, colouring, pathCells_[i], 1, tally);
        return tally;
    }

    // Flips a cell's colour, keeping the tally of it and its neighbours up to date.
    void FlipTallied(const State& s, Colouring& colouring, int cell, ParityTally& tally) const
    {
        const auto tallyAround = [&](int sign) {
            TallyCell(s, colouring, cell, sign, tally);
            for (int k = 0; k < 8; ++k) {
                const int target = moves_.target[cell][k];
                if (target >= 0 && inPlay_[target])
                    TallyCell(s, colouring, target, sign, tally);
            }
        };
        tallyAround(-1);
        colouring.Flip(moves_, cell);
        tallyAround(1);
    }

    ParityCount CountParity(const State& s, const Colouring& colouring) const { return CountParity(s, Tally(s, colouring)); }

    ParityCount CountParity(const State& s, const ParityTally& tally) const
    {
        ParityCount result;
        int* fixedSame = result.fixedSame;
        int* highestSame = result.highestSame;
        bool* feasible = result.feasible;
        const int* cells = tally.cells;
        const int* capacity = tally.capacity;
        const int* knownEnds = tally.knownEnds;
        const int* candidates = tally.candidates;
        fixedSame[0] = tally.fixedSame[0] / 2;
        fixedSame[1] = tally.fixedSame[1] / 2;
        const int most[2] = {capacity[0] / 2, capacity[1] / 2};
        const int unknown = 2 - s.endFixed;
        for (int blackUnknown = 0; blackUnknown <= unknown; ++blackUnknown) {
            const int whiteUnknown = unknown - blackUnknown;
            if (candidates[1] < blackUnknown || candidates[0] < whiteUnknown)
                continue;
            const int blackEnds = knownEnds[1] + blackUnknown;
            const int excess = cells[1] - cells[0] - blackEnds + 1; // black-black minus white-white
            const int lowWhite = std::max(fixedSame[0], fixedSame[1] - excess);
            const int highWhite = std::min(most[0], most[1] - excess);
            if (lowWhite > highWhite)
                continue;
            feasible[blackUnknown] = true;
            result.slack = std::max(result.slack, highWhite - lowWhite);
            highestSame[0] = std::max(highestSame[0], highWhite);
            highestSame[1] = std::max(highestSame[1], highWhite + excess);
        }
        return result;
    }

    // The parity rule for one colouring. With b black and w white path cells, a path whose ends
    // hold k black cells has exactly b - w - k + 1 more black-black edges than white-white ones.
    // Each cell can give at most two (one at an end) edges to its own colour, which bounds both
    // counts: no possible k means unreachable; one possible colour for the open end keeps only
    // the end edges of that colour; a count already at its bound closes the remaining edges of
    // that kind. Returns false on a contradiction; `changed` tells whether edges were settled.
    bool ParityRule(State& s, const Colouring& colouring, bool& changed)
    {
        const bool* colour = colouring.black;
        const ParityCount count = CountParity(s, colouring);
        const bool* feasible = count.feasible;
        const int* highestSame = count.highestSame;
        const int* fixedSame = count.fixedSame;
        const int unknown = 2 - s.endFixed;
        if (!feasible[0] && !feasible[1] && !feasible[2])
            return false;
        if (unknown > 0) {
            // Only one colour left for the open ends: the other colour's end edges go.
            const bool onlyBlack = !feasible[0] && (unknown == 1 || !feasible[1]);
            const bool onlyWhite = !feasible[unknown] && (unknown == 1 || !feasible[1]);
            if (onlyBlack || onlyWhite) {
                const bool dropColour = onlyWhite; // drop black candidates when only white is left
                for (int i = 0; i < pathCellCount_; ++i) {
                    const int cell = pathCells_[i];
                    if (colour[cell] != dropColour)
                        continue;
                    if ((s.open[cell] & EndMask) && !(s.fixed[cell] & EndMask)) {
                        if (!Remove(s, cell, EndBit))
                            return false;
                        changed = true;
                    }
                }
            }
        }
        for (int c = 0; c < 2; ++c) {
            if (highestSame[c] > fixedSame[c])
                continue;
            // Every same-colour edge of colour c the path can have is already fixed.
            for (int i = 0; i < pathCellCount_; ++i) {
                const int cell = pathCells_[i];
                if ((colour[cell] ? 1 : 0) != c)
                    continue;
                std::uint16_t moves = s.open[cell] & static_cast<std::uint16_t>(~(EndMask | s.fixed[cell]));
                while (moves) {
                    const int bit = std::countr_zero(static_cast<unsigned>(moves));
                    moves &= static_cast<std::uint16_t>(moves - 1);
                    if (colour[moves_.target[cell][bit]] == colour[cell]) {
                        if (!Remove(s, cell, bit))
                            return false;
                        changed = true;
                    }
                }
            }
        }
        return true;
    }

    // The parity rule under each kept colouring. (A colouring by the breadth-first layers from
    // the last number, rebuilt at every node, cost more time than the nodes it saved.)
    bool ParityRules(State& s, bool& changed)
    {
        for (int i = 0; i < PatternCount; ++i) {
            Polish(s, patterns_[i], 1);
            if (!ParityRule(s, patterns_[i], changed))
                return false;
        }
        for (int i = 0; i < foundCount_; ++i)
            if (!ParityRule(s, found_[i], changed))
                return false;
        return true;
    }

    // A search that did not end quickly gets colourings made for its position: from random
    // starts, flips that narrow what the counting leaves possible, kept for every later node.
    void SeekColourings(const State& s)
    {
        for (int attempt = 0; attempt < 24; ++attempt) {
            Colouring colouring;
            bool colour[CellCount] = {};
            for (int cell = 0; cell < CellCount; ++cell)
                colour[cell] = (Random() & 1u) != 0;
            colouring.Assign(moves_, colour, pathCells_, pathCellCount_);
            Polish(s, colouring, 8);
            ParityTally tally = Tally(s, colouring);
            int slack = CountParity(s, tally).slack;
            for (int pass = 0; pass < 6 && slack >= 0; ++pass) {
                bool improved = false;
                for (int i = 0; i < pathCellCount_ && slack >= 0; ++i) {
                    const int cell = pathCells_[i];
                    FlipTallied(s, colouring, cell, tally);
                    const int flipped = CountParity(s, tally).slack;
                    if (flipped < slack || (flipped == slack && (Random() & 3u) == 0)) {
                        improved = improved || flipped < slack;
                        slack = flipped;
                    } else {
                        FlipTallied(s, colouring, cell, tally);
                    }
                }
                if (!improved)
                    break;
            }
            // Keep the narrowest ones.
            if (foundCount_ < FoundCapacity) {
                found_[foundCount_] = colouring;
                foundSlack_[foundCount_++] = slack;
            } else {
                int worst = 0;
                for (int i = 1; i < FoundCapacity; ++i)
                    if (foundSlack_[i] > foundSlack_[worst])
                        worst = i;
                if (slack < foundSlack_[worst]) {
                    found_[worst] = colouring;
                    foundSlack_[worst] = slack;
                }
            }
            if (slack < 0)
                return;
        }
    }

    // Connectivity and the parity rule, re-propagating until nothing changes.
    bool Bound(State& s)
    {
        for (int round = 0; round < 8; ++round) {
            bool changed = false;
            if (!CutRule(s, changed))
                return Fail();
            if (rules_.parity && !ParityRules(s, changed))
                return Fail();
            if (!changed)
                return true;
            if (!Propagate(s))
                return false;
            if (s.fixedEdges == vertices_)
                return true;
        }
        return true;
    }

    // --- Search --------------------------------------------------------------------------------

    std::uint32_t Random() { return static_cast<std::uint32_t>(random_.Next() >> 32); }

    int OpenNotFixed(const State& s, int vertex) const
    {
        if (vertex == EndVertex)
            return s.endOpen - s.endFixed;
        return Count(s.open[vertex]) - Count(s.fixed[vertex]);
    }

    Outcome Search(State& s, int depth = 0)
    {
        ++nodes_;
        if (++runNodes_ > runBudget_)
            return Outcome::OutOfBudget;
        if ((limits_.maxNodes != 0 && nodes_ >= limits_.maxNodes) ||
            ((nodes_ & 255) == 1 && limits_.stop.stop_requested())) {
            stopped_ = true;
            return Outcome::OutOfBudget;
        }
        if (s.fixedEdges < vertices_ && !Bound(s))
            return Outcome::Dead;
        if (depth < factorDepth_ && s.fixedEdges < vertices_ && !DegreeFactorPossible(s))
            return Outcome::Dead;
        if (s.fixedEdges == vertices_) {
            solution_ = s;
            return Outcome::Found;
        }

        // The most constrained cell: fewest open edges, a chain's end before a loose cell.
        int best = -1;
        std::uint32_t bestKey = ~0u;
        for (int i = 0; i < pathCellCount_; ++i) {
            const int cell = pathCells_[i];
            const int fixed = Count(s.fixed[cell]);
            if (fixed == 2)
                continue;
            const std::uint32_t key = static_cast<std::uint32_t>((Count(s.open[cell]) * 2 + (fixed == 0 ? 1 : 0)) << 8) |
                                      (Random() & 255u);
            if (key < bestKey) {
                bestKey = key;
                best = cell;
            }
        }

        if (best < 0)
            return Outcome::Dead;

        // Its edges, toward the most constrained neighbour first; ending the path here last.
        int bits[9];
        std::uint32_t keys[9];
        int count = 0;
        std::uint16_t rest = s.open[best] & static_cast<std::uint16_t>(~s.fixed[best]);
        while (rest) {
            const int bit = std::countr_zero(static_cast<unsigned>(rest));
            rest &= static_cast<std::uint16_t>(rest - 1);
            const int other = Across(best, bit);
            const std::uint32_t key = other == EndVertex ? 0xFFFFu : static_cast<std::uint32_t>(OpenNotFixed(s, other) << 8) | (Random() & 255u);
            int i = count++;
            for (; i > 0 && keys[i - 1] > key; --i) {
                keys[i] = keys[i - 1];
                bits[i] = bits[i - 1];
            }
            keys[i] = key;
            bits[i] = bit;
        }

        // Branch i takes edge i and leaves out edges 0..i-1, which the earlier branches took.
        State without = s;
        for (int i = 0; i < count; ++i) {
            State child = without;
            if (Fix(child, best, bits[i]) && Propagate(child)) {
                const Outcome outcome = Search(child, depth + 1);
                if (outcome != Outcome::Dead)
                    return outcome;
            } else {
                Fail();
            }
            if (i + 1 == count || !Remove(without, best, bits[i]) || !Propagate(without))
                break;
        }
        Fail();
        return Outcome::Dead;
    }

    // The cells after the last number, read off the solved cycle.
    std::vector<int> Completion() const
    {
        const State& s = solution_;
        std::vector<int> cells;
        int previous = EndVertex;
        int current = last_;
        if (current == NoCell) {
            for (int cell = 0; cell < CellCount && current == NoCell; ++cell)
                if (s.fixed[cell] & EndMask)
                    current = cell;
            cells.push_back(current);
        }
        while (true) {
            int next = EndVertex;
            std::uint16_t edges = s.fixed[current];
            while (edges) {
                const int bit = std::countr_zero(static_cast<unsigned>(edges));
                edges &= static_cast<std::uint16_t>(edges - 1);
                const int other = Across(current, bit);
                if (other != previous)
                    next = other;
            }
            if (next == EndVertex)
                break;
            cells.push_back(next);
            previous = current;
            current = next;
        }
        return cells;
    }

    // Colourings kept for the whole search, each polished a little at every node: the
    // checkerboard, and four that make the straight moves of one direction and the diagonals
    // change colour (column plus half the row, row plus half the column, in both phases).
    static constexpr int PatternCount = 7;
    Colouring patterns_[PatternCount];
    static constexpr int FoundCapacity = 3;
    Colouring found_[FoundCapacity];
    int foundSlack_[FoundCapacity] = {};
    int foundCount_ = 0;

    const MoveTable& moves_ = Moves;
    int pathCells_[CellCount] = {}; // the free cells and the last number's cell
    int pathCellCount_ = 0;
    const SolverLimits& limits_;
    SearchRules rules_;
    CompletionWalks walks_;
    PathRotations rotations_;
    int factorDepth_ = 0; // nodes this close to the root check the degree bound
    std::uint16_t lastFactor_[CellCount] = {}; // the edges of the last degree factor, by cell
    std::uint16_t wholeFactor_[CellCount] = {}; // the same with the fixed ones, at both ends
    bool haveFactor_ = false;
    int last_ = NoCell;
    bool free_[CellCount] = {};
    bool inPlay_[CellCount] = {}; // the free cells and the last number's cell
    int freeCount_ = 0;
    int pathVertices_ = 0;
    int vertices_ = 0; // path cells plus the end vertex
    // Vertices whose edges changed, for Propagate. Between two drains each edge changes at most
    // once (open to fixed or to removed) and touches its two ends: at most twice the 400 moves
    // and 100 end edges, plus the 101 vertices the root touches.
    static constexpr int WorkCapacity = 2 * (400 + 100) + 101;
    std::int16_t work_[WorkCapacity] = {};
    int workSize_ = 0;
    RandomSource random_{1};
    std::uint64_t nodes_ = 0;
    std::uint64_t runNodes_ = 0;
    std::uint64_t runBudget_ = 0;
    bool stopped_ = false;
    State solution_{};
};

} // namespace

SolverAnswer SearchCompletion(const SolverPosition& position, const SolverLimits& limits, SearchRules rules)
{
    return CycleSearch(position, limits, rules).Run();
}

} // namespace tovra::solver
