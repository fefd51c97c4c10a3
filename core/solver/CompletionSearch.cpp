#include "CompletionSearch.h"

#include "core/BoardTraversal.h"
#include "core/CellId.h"
#include "core/GameState.h"

#include <algorithm>
#include <array>

namespace tovra::solver {
namespace {

struct Neighbours {
    std::array<std::array<int, 8>, CellCount> cell{};
    std::array<int, CellCount> count{};
};

const Neighbours& MoveGraph()
{
    static const Neighbours graph = [] {
        Neighbours g;
        for (int c = 0; c < CellCount; ++c) {
            const int row = c / BoardSize;
            const int column = c % BoardSize;
            for (const Step step : MoveSteps) {
                const int r = row + step.rows;
                const int col = column + step.columns;
                if (r >= 0 && r < BoardSize && col >= 0 && col < BoardSize)
                    g.cell[static_cast<std::size_t>(c)][static_cast<std::size_t>(g.count[static_cast<std::size_t>(c)]++)] = r * BoardSize + col;
            }
        }
        return g;
    }();
    return graph;
}

// Plain depth-first search over path extensions, fewest onward moves first.
class PathSearch {
public:
    PathSearch(const SolverPosition& position, const SolverLimits& limits) : limits_(limits)
    {
        for (int c = 0; c < CellCount; ++c)
            used_[static_cast<std::size_t>(c)] = position.numbered.test(static_cast<std::size_t>(c));
        if (position.lastCell != NoCell)
            used_[static_cast<std::size_t>(position.lastCell)] = true;
        free_ = static_cast<int>(std::count(used_.begin(), used_.end(), false));
    }

    SolverAnswer Run(int from)
    {
        SolverAnswer answer;
        const bool found = Extend(from);
        answer.nodes = nodes_;
        if (stopped_)
            return answer;
        answer.answer = found ? Reachability::Reachable : Reachability::Unreachable;
        if (found)
            answer.completion = path_;
        return answer;
    }

private:
    int Onward(int cell) const
    {
        int n = 0;
        const auto& g = MoveGraph();
        for (int i = 0; i < g.count[static_cast<std::size_t>(cell)]; ++i)
            n += used_[static_cast<std::size_t>(g.cell[static_cast<std::size_t>(cell)][static_cast<std::size_t>(i)])] ? 0 : 1;
        return n;
    }

    bool Extend(int from)
    {
        if (free_ == 0)
            return true;
        if (++nodes_ % 1024 == 0 && limits_.stop.stop_requested())
            stopped_ = true;
        if (limits_.maxNodes != 0 && nodes_ >= limits_.maxNodes)
            stopped_ = true;
        if (stopped_)
            return false;
        const auto& g = MoveGraph();
        std::array<std::pair<int, int>, 8> moves{};
        int n = 0;
        for (int i = 0; i < g.count[static_cast<std::size_t>(from)]; ++i) {
            const int to = g.cell[static_cast<std::size_t>(from)][static_cast<std::size_t>(i)];
            if (!used_[static_cast<std::size_t>(to)])
                moves[static_cast<std::size_t>(n++)] = {Onward(to), to};
        }
        for (int i = 1; i < n; ++i) // insertion sort: at most eight moves
            for (int j = i; j > 0 && moves[static_cast<std::size_t>(j)] < moves[static_cast<std::size_t>(j - 1)]; --j)
                std::swap(moves[static_cast<std::size_t>(j)], moves[static_cast<std::size_t>(j - 1)]);
        for (int i = 0; i < n; ++i) {
            const int to = moves[static_cast<std::size_t>(i)].second;
            used_[static_cast<std::size_t>(to)] = true;
            --free_;
            path_.push_back(to);
            if (Extend(to))
                return true;
            path_.pop_back();
            ++free_;
            used_[static_cast<std::size_t>(to)] = false;
            if (stopped_)
                return false;
        }
        return false;
    }

    const SolverLimits& limits_;
    std::array<bool, CellCount> used_{};
    std::vector<int> path_;
    int free_ = 0;
    std::uint64_t nodes_ = 0;
    bool stopped_ = false;
};

} // namespace

SolverAnswer SearchCompletion(const SolverPosition& position, const SolverLimits& limits)
{
    if (position.lastCell != NoCell)
        return PathSearch(position, limits).Run(position.lastCell);
    // The empty board: the first number may go anywhere.
    SolverAnswer answer;
    for (int first = 0; first < CellCount; ++first) {
        SolverPosition start;
        start.numbered.set(static_cast<std::size_t>(first));
        start.lastCell = first;
        SolverLimits rest{limits.maxNodes == 0 ? 0 : limits.maxNodes - std::min(limits.maxNodes - 1, answer.nodes), limits.stop};
        SolverAnswer tour = PathSearch(start, rest).Run(first);
        answer.nodes += tour.nodes;
        if (tour.answer == Reachability::Reachable) {
            answer.answer = Reachability::Reachable;
            answer.completion = {first};
            answer.completion.insert(answer.completion.end(), tour.completion.begin(), tour.completion.end());
            return answer;
        }
        if (tour.answer == Reachability::Unknown)
            return answer;
    }
    answer.answer = Reachability::Unreachable;
    return answer;
}

} // namespace tovra::solver
