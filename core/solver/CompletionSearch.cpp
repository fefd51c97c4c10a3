#include "CompletionSearch.h"

#include "core/BoardTraversal.h"
#include "core/CellId.h"
#include "core/GameState.h"

#include <algorithm>
#include <bit>
#include <cstdint>

// Completing the board from the last number is a Hamiltonian path from that cell through every
// free cell. Joining one virtual end vertex to every free cell, with the last number's cell tied
// to it, turns the question into a Hamiltonian cycle, which is searched over edges: every edge is
// open, fixed (in the cycle) or removed, and simple rules on degrees, chains, connectivity and
// two-colourings settle most edges before any guess.

namespace tovra::solver {
namespace {

constexpr int EndVertex = CellCount; // the virtual end: its edges are bit EndBit of each cell
constexpr int EndBit = 8;
constexpr std::uint16_t EndMask = 1u << EndBit;

struct MoveTable {
    int target[CellCount][8]; // the cell reached by each move, -1 off the board
};

// Move k and move k ^ 4 are opposite (the steps go clockwise, the opposite one four further).
const MoveTable& Moves()
{
    static const MoveTable table = [] {
        MoveTable t{};
        for (int cell = 0; cell < CellCount; ++cell) {
            for (int k = 0; k < 8; ++k) {
                const int row = cell / BoardSize + MoveSteps[k].rows;
                const int column = cell % BoardSize + MoveSteps[k].columns;
                const bool on = row >= 0 && row < BoardSize && column >= 0 && column < BoardSize;
                t.target[cell][k] = on ? row * BoardSize + column : -1;
            }
        }
        return t;
    }();
    return table;
}

int Count(std::uint16_t bits) { return std::popcount(static_cast<unsigned>(bits)); }

// Everything a search node owns; copied on each branch (about 700 bytes).
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
    CycleSearch(const SolverPosition& position, const SolverLimits& limits) : limits_(limits)
    {
        last_ = position.lastCell;
        for (int cell = 0; cell < CellCount; ++cell) {
            free_[cell] = !position.numbered.test(static_cast<std::size_t>(cell)) && cell != last_;
            inPlay_[cell] = free_[cell] || cell == last_;
            freeCount_ += free_[cell] ? 1 : 0;
        }
        pathVertices_ = freeCount_ + (last_ == NoCell ? 0 : 1);
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
        if (!Start(root)) {
            answer.answer = Reachability::Unreachable;
            answer.nodes = 1;
            return answer;
        }
        // Restarts with doubling budgets and shuffled tie-breaks: a search that went astray early
        // is abandoned, and every run is complete, so whichever run finishes gives the answer.
        std::uint64_t budget = 2000;
        for (std::uint32_t run = 0;; ++run) {
            random_ = 0x9E3779B9u * (run + 1);
            runNodes_ = 0;
            runBudget_ = budget;
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
            budget *= 2;
        }
        answer.nodes = nodes_;
        return answer;
    }

private:
    // --- Edges ---------------------------------------------------------------------------------

    // The vertex at the other end of edge `bit` of `cell`.
    int Across(int cell, int bit) const { return bit == EndBit ? EndVertex : Moves().target[cell][bit]; }

    // The bit of `from`'s edge to `to`, or -1 when they are not joined by a move.
    int EdgeBit(int from, int to) const
    {
        if (to == EndVertex)
            return EndBit;
        for (int k = 0; k < 8; ++k)
            if (Moves().target[from][k] == to)
                return k;
        return -1;
    }

    void Touch(int vertex) { work_[workSize_++] = static_cast<std::int16_t>(vertex); }

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
                for (int cell = 0; cell < CellCount; ++cell) {
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
                const int to = Moves().target[cell][k];
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
        return Propagate(s);
    }

    // --- Bounds --------------------------------------------------------------------------------

    // The path itself (the cycle without the end vertex) must join all its cells.
    bool Connected(const State& s) const
    {
        int stack[CellCount];
        bool seen[CellCount] = {};
        int size = 0;
        int reached = 0;
        for (int cell = 0; cell < CellCount && size == 0; ++cell) {
            if (inPlay_[cell]) {
                stack[size++] = cell;
                seen[cell] = true;
            }
        }
        while (size > 0) {
            const int cell = stack[--size];
            ++reached;
            std::uint16_t moves = s.open[cell] & static_cast<std::uint16_t>(~EndMask);
            while (moves) {
                const int bit = std::countr_zero(static_cast<unsigned>(moves));
                moves &= static_cast<std::uint16_t>(moves - 1);
                const int to = Moves().target[cell][bit];
                if (!seen[to]) {
                    seen[to] = true;
                    stack[size++] = to;
                }
            }
        }
        return reached == pathVertices_;
    }

    // Improves a two-colouring of the path's cells by flipping any cell with more open edges to
    // its own colour than to the other, so that few edges join cells of one colour.
    void Polish(const State& s, bool colour[CellCount]) const
    {
        for (int pass = 0; pass < 4; ++pass) {
            bool changed = false;
            for (int cell = 0; cell < CellCount; ++cell) {
                if (!inPlay_[cell])
                    continue;
                int same = 0;
                int other = 0;
                std::uint16_t moves = s.open[cell] & static_cast<std::uint16_t>(~EndMask);
                while (moves) {
                    const int bit = std::countr_zero(static_cast<unsigned>(moves));
                    moves &= static_cast<std::uint16_t>(moves - 1);
                    (colour[Moves().target[cell][bit]] == colour[cell] ? same : other) += 1;
                }
                if (same > other) {
                    colour[cell] = !colour[cell];
                    changed = true;
                }
            }
            if (!changed)
                return;
        }
    }

    // Breadth-first layers of the open moves from the last number (or any cell), by parity.
    void LayerColouring(const State& s, bool colour[CellCount]) const
    {
        int queue[CellCount];
        bool seen[CellCount] = {};
        int head = 0;
        int tail = 0;
        int start = last_;
        for (int cell = 0; start == NoCell && cell < CellCount; ++cell)
            if (inPlay_[cell])
                start = cell;
        queue[tail++] = start;
        seen[start] = true;
        colour[start] = false;
        while (head < tail) {
            const int cell = queue[head++];
            std::uint16_t moves = s.open[cell] & static_cast<std::uint16_t>(~EndMask);
            while (moves) {
                const int bit = std::countr_zero(static_cast<unsigned>(moves));
                moves &= static_cast<std::uint16_t>(moves - 1);
                const int to = Moves().target[cell][bit];
                if (!seen[to]) {
                    seen[to] = true;
                    colour[to] = !colour[cell];
                    queue[tail++] = to;
                }
            }
        }
    }

    // The parity rule for one colouring. With b black and w white path cells, a path whose ends
    // hold k black cells has exactly b - w - k + 1 more black-black edges than white-white ones.
    // Each cell can give at most two (one at an end) edges to its own colour, which bounds both
    // counts: no possible k means unreachable; one possible colour for the open end keeps only
    // the end edges of that colour; a count already at its bound closes the remaining edges of
    // that kind. Returns false on a contradiction; `changed` tells whether edges were settled.
    bool ParityRule(State& s, const bool colour[CellCount], bool& changed)
    {
        int cells[2] = {0, 0};    // path cells of each colour (0 white, 1 black)
        int capacity[2] = {0, 0}; // twice the most same-colour edges each colour can have
        int fixedSame[2] = {0, 0};
        int knownEnds[2] = {0, 0};
        int candidates[2] = {0, 0}; // cells of each colour that may still be the open end
        for (int cell = 0; cell < CellCount; ++cell) {
            if (!inPlay_[cell])
                continue;
            const int c = colour[cell] ? 1 : 0;
            ++cells[c];
            int openSame = 0;
            int fixedOther = 0;
            std::uint16_t moves = s.open[cell] & static_cast<std::uint16_t>(~EndMask);
            while (moves) {
                const int bit = std::countr_zero(static_cast<unsigned>(moves));
                moves &= static_cast<std::uint16_t>(moves - 1);
                const bool same = colour[Moves().target[cell][bit]] == colour[cell];
                const bool isFixed = (s.fixed[cell] >> bit) & 1u;
                openSame += same ? 1 : 0;
                fixedOther += (!same && isFixed) ? 1 : 0;
                fixedSame[c] += (same && isFixed) ? 1 : 0;
            }
            const bool endFixed = s.fixed[cell] & EndMask;
            knownEnds[c] += endFixed ? 1 : 0;
            if ((s.open[cell] & EndMask) && !endFixed)
                ++candidates[c];
            capacity[c] += std::min(openSame, 2 - fixedOther - (endFixed ? 1 : 0));
        }
        fixedSame[0] /= 2;
        fixedSame[1] /= 2;
        const int most[2] = {capacity[0] / 2, capacity[1] / 2};
        const int unknown = 2 - s.endFixed;
        bool feasible[3] = {false, false, false}; // by black ends among the unknown ends
        int highestSame[2] = {-1, -1};            // over the feasible cases
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
            highestSame[0] = std::max(highestSame[0], highWhite);
            highestSame[1] = std::max(highestSame[1], highWhite + excess);
        }
        if (!feasible[0] && !feasible[1] && !feasible[2])
            return false;
        if (unknown > 0) {
            // Only one colour left for the open ends: the other colour's end edges go.
            const bool onlyBlack = !feasible[0] && (unknown == 1 || !feasible[1]);
            const bool onlyWhite = !feasible[unknown] && (unknown == 1 || !feasible[1]);
            if (onlyBlack || onlyWhite) {
                const bool dropColour = onlyWhite; // drop black candidates when only white is left
                for (int cell = 0; cell < CellCount; ++cell) {
                    if (!inPlay_[cell] || colour[cell] != dropColour)
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
            for (int cell = 0; cell < CellCount; ++cell) {
                if (!inPlay_[cell] || (colour[cell] ? 1 : 0) != c)
                    continue;
                std::uint16_t moves = s.open[cell] & static_cast<std::uint16_t>(~(EndMask | s.fixed[cell]));
                while (moves) {
                    const int bit = std::countr_zero(static_cast<unsigned>(moves));
                    moves &= static_cast<std::uint16_t>(moves - 1);
                    if (colour[Moves().target[cell][bit]] == colour[cell]) {
                        if (!Remove(s, cell, bit))
                            return false;
                        changed = true;
                    }
                }
            }
        }
        return true;
    }

    // Connectivity and the parity rule, re-propagating until nothing changes.
    bool Bound(State& s)
    {
        for (int round = 0; round < 8; ++round) {
            if (!Connected(s))
                return false;
            bool changed = false;
            bool colour[CellCount] = {};
            LayerColouring(s, colour);
            Polish(s, colour);
            if (!ParityRule(s, colour, changed))
                return Fail();
            for (int cell = 0; cell < CellCount; ++cell)
                colour[cell] = (cell / BoardSize + cell % BoardSize) % 2 != 0;
            Polish(s, colour);
            if (!ParityRule(s, colour, changed))
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

    std::uint32_t Random()
    {
        random_ ^= random_ << 13;
        random_ ^= random_ >> 17;
        random_ ^= random_ << 5;
        return random_;
    }

    int OpenNotFixed(const State& s, int vertex) const
    {
        if (vertex == EndVertex)
            return s.endOpen - s.endFixed;
        return Count(s.open[vertex]) - Count(s.fixed[vertex]);
    }

    Outcome Search(State& s)
    {
        ++nodes_;
        if (++runNodes_ > runBudget_)
            return Outcome::OutOfBudget;
        if ((limits_.maxNodes != 0 && nodes_ >= limits_.maxNodes) ||
            ((nodes_ & 255) == 0 && limits_.stop.stop_requested())) {
            stopped_ = true;
            return Outcome::OutOfBudget;
        }
        if (s.fixedEdges < vertices_ && !Bound(s))
            return Outcome::Dead;
        if (s.fixedEdges == vertices_) {
            solution_ = s;
            return Outcome::Found;
        }

        // The most constrained cell: fewest open edges, a chain's end before a loose cell.
        int best = -1;
        std::uint32_t bestKey = ~0u;
        for (int cell = 0; cell < CellCount; ++cell) {
            const int fixed = Count(s.fixed[cell]);
            if (!inPlay_[cell] || fixed == 2)
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
                const Outcome outcome = Search(child);
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

    const SolverLimits& limits_;
    int last_ = NoCell;
    bool free_[CellCount] = {};
    bool inPlay_[CellCount] = {}; // the free cells and the last number's cell
    int freeCount_ = 0;
    int pathVertices_ = 0;
    int vertices_ = 0; // path cells plus the end vertex
    std::int16_t work_[4096] = {};
    int workSize_ = 0;
    std::uint32_t random_ = 1;
    std::uint64_t nodes_ = 0;
    std::uint64_t runNodes_ = 0;
    std::uint64_t runBudget_ = 0;
    bool stopped_ = false;
    State solution_{};
};

} // namespace

SolverAnswer SearchCompletion(const SolverPosition& position, const SolverLimits& limits)
{
    return CycleSearch(position, limits).Run();
}

} // namespace tovra::solver
