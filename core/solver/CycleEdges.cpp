// The search's edge state: the position set up as a cycle problem, the degree rules run to a
// fixpoint, and the completion read off a solved cycle.
#include "CycleSearch.h"

namespace tovra::solver {

CycleSearch::CycleSearch(const SolverPosition& position, const SolverLimits& limits, SearchRules rules)
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

// Degree rules to a fixpoint: fewer than two open edges fails, exactly two are both fixed,
// two fixed edges close the rest.
bool CycleSearch::Propagate(State& s)
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

bool CycleSearch::Start(State& s)
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

// The cells after the last number, read off the solved cycle.
std::vector<int> CycleSearch::Completion() const
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

} // namespace tovra::solver
