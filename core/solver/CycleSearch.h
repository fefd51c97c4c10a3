#pragma once
// The exact search behind SearchCompletion, one object per question. Its parts live in three
// files: the edge state and the degree rules (CycleEdges.cpp), the bounds that settle edges
// without guessing (CycleBounds.cpp), and the restarts and the branching (CompletionSearch.cpp).
// The edge primitives stay here, inline: every rule calls them in its inner loop.
//
// Completing the board from the last number is a Hamiltonian path from that cell through every
// free cell. Joining one virtual end vertex to every free cell, with the last number's cell tied
// to it, turns the question into a Hamiltonian cycle, which is searched over edges: every edge is
// open, fixed (in the cycle) or removed, and simple rules on degrees, chains, connectivity and
// two-colourings settle most edges before any guess. A position that is not settled at once gets
// the dearer degree bound (some choice of open edges giving every vertex degree two) at its root
// and near it, and path rotations and walks that look for a completion before each restart.
// One that three runs do not settle has its root's edges probed: each fixed in turn, and
// removed when the bounds kill it at once.
#include "CompletionSearch.h"
#include "CompletionWalks.h"
#include "PathRotations.h"
#include "TieBreaks.h"

#include "core/BoardCell.h"
#include "core/GameState.h"

#include <array>
#include <bit>
#include <cassert>
#include <cstdint>
#include <utility>
#include <vector>

namespace tovra::solver {

inline constexpr int EndVertex = CellCount; // the virtual end: its edges are bit EndBit of each cell
inline constexpr int EndBit = 8;
inline constexpr std::uint16_t EndMask = 1u << EndBit;

// std::popcount, read from a table of its values for the nine edge bits: on the baseline x86-64
// target there is no popcount instruction and std::popcount is a library call, which took almost
// half of the search's time; the table is one load.
inline constexpr auto EdgeBitCounts = [] {
    std::array<std::uint8_t, 512> counts{};
    for (unsigned bits = 0; bits < counts.size(); ++bits)
        counts[bits] = static_cast<std::uint8_t>(std::popcount(bits));
    return counts;
}();

inline int Count(std::uint16_t bits) { return EdgeBitCounts[bits & 511u]; }

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
    CycleSearch(const SolverPosition& position, const SolverLimits& limits, SearchRules rules);

    SolverAnswer Run();

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
    bool Settle(std::uint32_t run, State& root, SolverAnswer& answer);

    // `count` tries of path rotations, then `count` walks, of up to `steps` steps each.
    bool Rotations(std::uint64_t count, std::uint64_t steps);

    bool Walks(std::uint64_t count, std::uint64_t steps);

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
    bool DegreeFactorPossible(const State& s);

    // Whether the last degree factor found is one of this state too: its edges still open, the
    // fixed ones among them. Each path cell then has its two edges, and so has the end vertex,
    // whose edges are the cells' end edges. Much cheaper than a matching, and nodes near each
    // other mostly share a factor.
    bool FactorStillHolds(const State& s) const;

    // Each open edge of the root fixed in turn, as a node of its own: an edge whose node the
    // bounds kill at once (degrees, cut cells, parity, degree factor) is in no completion and
    // goes, which narrows the root for every later run and may kill it. The positions a search
    // is slowest to prove unreachable have many such edges, but ones where the search merely
    // wanders have few, and each probe costs about as much as a few nodes, so probing stops
    // after a long row of edges that survive. Returns false when the root is dead.
    bool ProbeRoot(State& root);

    // The i-th term (from 1) of the Luby sequence 1 1 2 1 1 2 4 1 1 2 1 1 2 4 8 ...
    static std::uint64_t Luby(std::uint32_t i);

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
    bool Propagate(State& s);

    bool Fail()
    {
        workSize_ = 0;
        return false;
    }

    // --- The root ------------------------------------------------------------------------------

    bool Start(State& s);

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

    void FindCutCells(const State& s, CutCells& cuts) const;

    // The path (the cycle without the end vertex) must join all its cells, and a cell whose
    // removal splits them cuts the cycle: each part needs two cycle edges out of it, to that cell
    // or to the end vertex, which have four between them. So no cell splits the path's cells into
    // three parts, and one that splits them in two is no end: each part holds one end.
    bool CutRule(State& s, bool& changed);

    // Improves a two-colouring of the path's cells by flipping any cell with more open edges to
    // its own colour than to the other, so that few edges join cells of one colour.
    void Polish(const State& s, Colouring& colouring, int passes) const;

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

    void TallyCell(const State& s, const Colouring& colouring, int cell, int sign, ParityTally& tally) const;

    ParityTally Tally(const State& s, const Colouring& colouring) const;

    // Flips a cell's colour, keeping the tally of it and its neighbours up to date.
    void FlipTallied(const State& s, Colouring& colouring, int cell, ParityTally& tally) const;

    ParityCount CountParity(const State& s, const Colouring& colouring) const { return CountParity(s, Tally(s, colouring)); }

    ParityCount CountParity(const State& s, const ParityTally& tally) const;

    // The parity rule for one colouring. With b black and w white path cells, a path whose ends
    // hold k black cells has exactly b - w - k + 1 more black-black edges than white-white ones.
    // Each cell can give at most two (one at an end) edges to its own colour, which bounds both
    // counts: no possible k means unreachable; one possible colour for the open end keeps only
    // the end edges of that colour; a count already at its bound closes the remaining edges of
    // that kind. Returns false on a contradiction; `changed` tells whether edges were settled.
    bool ParityRule(State& s, const Colouring& colouring, bool& changed);

    // The parity rule under each kept colouring. (A colouring by the breadth-first layers from
    // the last number, rebuilt at every node, cost more time than the nodes it saved.)
    bool ParityRules(State& s, bool& changed);

    // A search that did not end quickly gets colourings made for its position: from random
    // starts, flips that narrow what the counting leaves possible, kept for every later node.
    void SeekColourings(const State& s);

    // Connectivity and the parity rule, re-propagating until nothing changes.
    bool Bound(State& s);

    // --- Search --------------------------------------------------------------------------------

    std::uint32_t Random() { return random_.Next(); }

    int OpenNotFixed(const State& s, int vertex) const
    {
        if (vertex == EndVertex)
            return s.endOpen - s.endFixed;
        return Count(s.open[vertex]) - Count(s.fixed[vertex]);
    }

    Outcome Search(State& s, int depth = 0);
    int MostConstrainedCell(const State& s);
    int EdgesInOrder(const State& s, int cell, int bits[9]);

    // The cells after the last number, read off the solved cycle.
    std::vector<int> Completion() const;

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
    TieBreaks random_;
    std::uint64_t nodes_ = 0;
    std::uint64_t runNodes_ = 0;
    std::uint64_t runBudget_ = 0;
    bool stopped_ = false;
    State solution_{};
};

} // namespace tovra::solver
