// The bounds that settle edges without guessing: the cut cells of the path's cells, the parity
// of two-colourings, and the degree factor.
#include "CycleSearch.h"

#include "DegreeFactor.h"

#include <algorithm>

namespace tovra::solver {

void CycleSearch::FindCutCells(const State& s, CutCells& cuts) const
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
bool CycleSearch::CutRule(State& s, bool& changed)
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
void CycleSearch::Polish(const State& s, Colouring& colouring, int passes) const
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

void CycleSearch::TallyCell(const State& s, const Colouring& colouring, int cell, int sign, ParityTally& tally) const
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

CycleSearch::ParityTally CycleSearch::Tally(const State& s, const Colouring& colouring) const
{
    ParityTally tally;
    for (int i = 0; i < pathCellCount_; ++i)
        TallyCell(s, colouring, pathCells_[i], 1, tally);
    return tally;
}

// Flips a cell's colour, keeping the tally of it and its neighbours up to date.
void CycleSearch::FlipTallied(const State& s, Colouring& colouring, int cell, ParityTally& tally) const
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

CycleSearch::ParityCount CycleSearch::CountParity(const State& s, const ParityTally& tally) const
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
bool CycleSearch::ParityRule(State& s, const Colouring& colouring, bool& changed)
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
bool CycleSearch::ParityRules(State& s, bool& changed)
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
void CycleSearch::SeekColourings(const State& s)
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
bool CycleSearch::Bound(State& s)
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

// Whether the path cells and the end vertex could still have degree two each, the fixed
// edges counted, in some set of open edges.
// The last factor found is tried first: the next call is mostly on a nearby state.
bool CycleSearch::DegreeFactorPossible(const State& s)
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
bool CycleSearch::FactorStillHolds(const State& s) const
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

} // namespace tovra::solver
