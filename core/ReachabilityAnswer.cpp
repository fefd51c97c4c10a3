#include "ReachabilityAnswer.h"

#include "CellId.h"

namespace tovra {

ReachabilityAnswer AnswerForEmptyBoard(const SolverLimits& limits)
{
    // Computed, not assumed: every first cell is tried.
    switch (EveryFirstCellReaches(limits)) {
    case Reachability::Reachable:
        return {ReachabilityAnswer::Kind::FromAnyFirstCell};
    case Reachability::Unknown:
        return {};
    case Reachability::Unreachable:
        break;
    }
    // Some first cell is stuck; a whole tour, if there is one, starts on a cell that is not.
    const SolverAnswer tour = SolveCompletion({}, limits);
    if (tour.answer == Reachability::Unknown)
        return {};
    if (tour.answer == Reachability::Reachable && !tour.completion.empty())
        return {ReachabilityAnswer::Kind::Reachable, tour.completion.front()};
    return {ReachabilityAnswer::Kind::Unreachable, NoCell, 0};
}

ReachabilityAnswer AnswerReachability(const std::vector<int>& cells, std::stop_token stop)
{
    const SolverLimits limits{0, stop};
    if (cells.empty())
        return AnswerForEmptyBoard(limits);
    if (cells.size() >= CellCount)
        return {ReachabilityAnswer::Kind::Reached};
    const SolverAnswer now = SolveCompletion(PositionAfter(cells, static_cast<int>(cells.size())), limits);
    switch (now.answer) {
    case Reachability::Reachable:
        if (now.completion.empty())
            return {ReachabilityAnswer::Kind::Reached};
        return {ReachabilityAnswer::Kind::Reachable, now.completion.front()};
    case Reachability::Unreachable:
        if (const int last = LastReachableNumber(cells, limits); last >= 0)
            return {ReachabilityAnswer::Kind::Unreachable, NoCell, last};
        return {};
    case Reachability::Unknown:
        break;
    }
    return {};
}

std::string AnswerText(const ReachabilityAnswer& answer)
{
    using Kind = ReachabilityAnswer::Kind;
    switch (answer.kind) {
    case Kind::FromAnyFirstCell:
        return "100 can be reached from any first cell.";
    case Kind::Reached:
        return "100 has been reached.";
    case Kind::Reachable: {
        const BoardCell next = BoardCell::FromIndex(answer.nextCell);
        return "100 can still be reached.\nNext: row " + std::to_string(next.Row()) + ", column " +
               std::to_string(next.Column());
    }
    case Kind::Unreachable:
        return "100 can no longer be reached. It could until number " + std::to_string(answer.lastReachable) + ".";
    case Kind::Stopped:
        break;
    }
    return {};
}

std::vector<int> GameCells(const GameState& game)
{
    std::vector<int> cells;
    cells.reserve(game.MoveCount);
    for (int number = 1; number <= game.MoveCount; ++number)
        cells.push_back(game.MoveHistory[number].Index());
    return cells;
}

} // namespace tovra
