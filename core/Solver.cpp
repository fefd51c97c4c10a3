#include "Solver.h"

#include "BoardTraversal.h"
#include "GameState.h"
#include "solver/CompletionSearch.h"

namespace tovra {

SolverAnswer SolveCompletion(const SolverPosition& position, const SolverLimits& limits)
{
    if (position.lastCell < NoCell || position.lastCell >= CellCount)
        return {}; // not a position: no answer rather than a wrong one
    return solver::SearchCompletion(position, limits);
}

SolverPosition PositionAfter(const std::vector<int>& cells, int count)
{
    SolverPosition position;
    for (int i = 0; i < count && i < static_cast<int>(cells.size()); ++i) {
        position.numbered.set(static_cast<std::size_t>(cells[static_cast<std::size_t>(i)]));
        position.lastCell = cells[static_cast<std::size_t>(i)];
    }
    return position;
}

int LastReachableNumber(const std::vector<int>& cells, const SolverLimits& limits)
{
    // The empty board always reaches 100 (a full tour exists from every cell), so k = 0 is the
    // lower end; the search keeps "reachable after low" and "unreachable after high" true.
    int low = 0;
    int high = static_cast<int>(cells.size()) + 1;
    while (high - low > 1) {
        const int middle = low + (high - low) / 2;
        const SolverAnswer answer = SolveCompletion(PositionAfter(cells, middle), limits);
        if (answer.answer == Reachability::Unknown)
            return -1;
        if (answer.answer == Reachability::Reachable)
            low = middle;
        else
            high = middle;
    }
    return low;
}

Reachability EveryFirstCellReaches(const SolverLimits& limits, std::uint64_t* nodes)
{
    Reachability result = Reachability::Reachable;
    for (int cell = 0; cell < CellCount; ++cell) {
        SolverPosition start;
        start.numbered.set(static_cast<std::size_t>(cell));
        start.lastCell = cell;
        const SolverAnswer answer = SolveCompletion(start, limits);
        if (nodes)
            *nodes += answer.nodes;
        if (answer.answer == Reachability::Unreachable)
            return Reachability::Unreachable;
        if (answer.answer == Reachability::Unknown)
            result = Reachability::Unknown;
    }
    return result;
}

} // namespace tovra
