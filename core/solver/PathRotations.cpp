#include "PathRotations.h"

#include "core/BoardCell.h"

#include <algorithm>

namespace tovra::solver {

PathRotations::PathRotations(const SolverPosition& position)
    : start_(position.lastCell)
{
    for (int cell = 0; cell < CellCount; ++cell) {
        inPlay_[cell] = !position.numbered.test(static_cast<std::size_t>(cell)) || cell == start_;
        cellCount_ += inPlay_[cell] ? 1 : 0;
    }
}

// The neighbours' table, built at the first try: most solves end before any.
void PathRotations::Prepare()
{
    prepared_ = true;
    for (int cell = 0; cell < CellCount; ++cell) {
        for (const int target : Moves.target[cell])
            if (target != NoCell && inPlay_[target])
                neighbours_[cell][neighbourCount_[cell]++] = target;
    }
}

void PathRotations::Append(int cell)
{
    path_[length_] = cell;
    place_[cell] = length_++;
    onPath_[cell] = true;
    for (int i = 0; i < neighbourCount_[cell]; ++i)
        --unvisited_[neighbours_[cell][i]];
}

bool PathRotations::Try(std::uint64_t steps, std::uint32_t seed)
{
    if (start_ == NoCell)
        return false; // the empty board: the exact search settles it at once
    if (!prepared_)
        Prepare();
    random_ = TieBreaks(seed | 1u);
    length_ = 0;
    for (int cell = 0; cell < CellCount; ++cell) {
        onPath_[cell] = false;
        unvisited_[cell] = neighbourCount_[cell];
    }
    Append(start_);
    for (std::uint64_t step = 0; length_ < cellCount_; ++step) {
        if (step == steps)
            return false;
        ++steps_;
        const int end = path_[length_ - 1];
        const int* around = neighbours_[end];
        // Grow: fewest onward moves first, but a cell with none would end the path early, so
        // it comes last unless it is the final cell.
        int next = NoCell;
        std::uint32_t nextKey = ~0u;
        for (int i = 0; i < neighbourCount_[end]; ++i) {
            const int cell = around[i];
            if (onPath_[cell])
                continue;
            const bool deadEnd = unvisited_[cell] == 0 && length_ + 1 < cellCount_;
            const std::uint32_t key = (static_cast<std::uint32_t>(deadEnd ? 9 : unvisited_[cell]) << 8) | (random_.Next() & 255u);
            if (key < nextKey) {
                nextKey = key;
                next = cell;
            }
        }
        if (next != NoCell) {
            Append(next);
            continue;
        }
        // Stuck: rotate at a random edge from the end back into the path, preferring one that
        // leaves the new end a way on.
        int leading[8]; // rotations whose new end has a free target
        int others[8];
        int leadingCount = 0;
        int otherCount = 0;
        for (int i = 0; i < neighbourCount_[end]; ++i) {
            const int place = place_[around[i]];
            if (!onPath_[around[i]] || place >= length_ - 2)
                continue;
            if (unvisited_[path_[place + 1]] > 0)
                leading[leadingCount++] = place;
            else
                others[otherCount++] = place;
        }
        if (leadingCount + otherCount == 0)
            return false; // the end's only way is back: only a fresh try helps
        const int pick = leadingCount > 0 ? leading[random_.Next() % static_cast<std::uint32_t>(leadingCount)]
                                          : others[random_.Next() % static_cast<std::uint32_t>(otherCount)];
        std::reverse(path_ + pick + 1, path_ + length_);
        for (int i = pick + 1; i < length_; ++i)
            place_[path_[i]] = i;
    }
    return true;
}

std::vector<int> PathRotations::Completion() const { return std::vector<int>(path_ + 1, path_ + length_); }

} // namespace tovra::solver
