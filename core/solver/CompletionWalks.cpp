#include "CompletionWalks.h"

#include "core/BoardCell.h"

#include <algorithm>
#include <array>
#include <bit>

namespace tovra::solver {
namespace {

// Bits set, without std::popcount's library call on targets with no popcount instruction.
int BitCount(std::uint64_t bits)
{
    bits = bits - ((bits >> 1) & 0x5555555555555555u);
    bits = (bits & 0x3333333333333333u) + ((bits >> 2) & 0x3333333333333333u);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return static_cast<int>((bits * 0x0101010101010101u) >> 56);
}

bool Has(std::uint64_t low, std::uint64_t high, int cell)
{
    return cell < 64 ? (low >> cell) & 1u : (high >> (cell - 64)) & 1u;
}

using Cells = CompletionWalks::Cells;

// The move table as sets: each cell's targets.
constexpr auto TargetSets = [] {
    std::array<Cells, CellCount> targets{};
    for (int cell = 0; cell < CellCount; ++cell)
        for (const int target : Moves.target[cell])
            if (target != NoCell)
                (target < 64 ? targets[static_cast<std::size_t>(cell)].low : targets[static_cast<std::size_t>(cell)].high) |=
                    std::uint64_t{1} << (target % 64);
    return targets;
}();

} // namespace

CompletionWalks::CompletionWalks(const SolverPosition& position)
    : targets_(TargetSets.data())
    , from_(position.lastCell)
{
    for (int cell = 0; cell < 100; ++cell) {
        if (!position.numbered.test(static_cast<std::size_t>(cell)) && cell != from_) {
            (cell < 64 ? start_.low : start_.high) |= std::uint64_t{1} << (cell % 64);
            ++startLeft_;
        }
    }
}

bool CompletionWalks::Walk(std::uint64_t steps, std::uint32_t seed)
{
    if (from_ == NoCell)
        return false; // the empty board: the exact search settles it at once
    random_ = TieBreaks(seed | 1u);
    budget_ = steps_ + steps;
    path_.clear();
    if (!Step(from_, start_, startLeft_))
        return false;
    completion_ = path_;
    return true;
}

// `free` holds the `left` cells still to fill; `from` is the last number so far.
bool CompletionWalks::Step(int from, Cells free, int left)
{
    if (left == 0)
        return true;
    if (++steps_ > budget_)
        return false;
    if (!Promising(from, free))
        return false;
    int order[8];
    const int count = NextCells(from, free, order);
    for (int i = 0; i < count; ++i) {
        const int cell = order[i];
        Cells after = free;
        (cell < 64 ? after.low : after.high) &= ~(std::uint64_t{1} << (cell % 64));
        path_.push_back(cell);
        if (Step(cell, after, left - 1))
            return true;
        path_.pop_back();
        if (steps_ > budget_)
            return false;
    }
    return false;
}

// Each free cell needs two ways in and out of it among the free cells and `from`, the path's
// far end only one: more than one cell with one way, or any with none, ends this walk. And the
// free cells must hang together with `from`.
bool CompletionWalks::Promising(int from, Cells free) const
{
    const Cells& near = targets_[from];
    int ends = 0;
    for (int half = 0; half < 2; ++half) {
        std::uint64_t rest = half == 0 ? free.low : free.high;
        while (rest) {
            const int cell = std::countr_zero(rest) + 64 * half;
            rest &= rest - 1;
            const Cells& around = targets_[cell];
            const int ways = BitCount(around.low & free.low) + BitCount(around.high & free.high) +
                             (Has(near.low, near.high, cell) ? 1 : 0);
            if (ways == 0 || (ways == 1 && ++ends > 1))
                return false;
        }
    }
    Cells reached{near.low & free.low, near.high & free.high};
    Cells frontier = reached;
    while (frontier.low | frontier.high) {
        Cells next{};
        for (int half = 0; half < 2; ++half) {
            std::uint64_t rest = half == 0 ? frontier.low : frontier.high;
            while (rest) {
                const int cell = std::countr_zero(rest) + 64 * half;
                rest &= rest - 1;
                next.low |= targets_[cell].low;
                next.high |= targets_[cell].high;
            }
        }
        frontier = {next.low & free.low & ~reached.low, next.high & free.high & ~reached.high};
        reached.low |= frontier.low;
        reached.high |= frontier.high;
    }
    return reached.low == free.low && reached.high == free.high;
}

// The free targets of `from` into `order`, fewest onward moves first, ties at random; returns
// how many.
int CompletionWalks::NextCells(int from, Cells free, int order[8])
{
    const Cells& near = targets_[from];
    std::uint32_t keys[8];
    int count = 0;
    const Cells choices{near.low & free.low, near.high & free.high};
    for (int half = 0; half < 2; ++half) {
        std::uint64_t rest = half == 0 ? choices.low : choices.high;
        while (rest) {
            const int cell = std::countr_zero(rest) + 64 * half;
            rest &= rest - 1;
            const Cells& around = targets_[cell];
            const auto onward = static_cast<std::uint32_t>(BitCount(around.low & free.low) + BitCount(around.high & free.high));
            const std::uint32_t key = (onward << 8) | (random_.Next() & 255u);
            int i = count++;
            for (; i > 0 && keys[i - 1] > key; --i) {
                keys[i] = keys[i - 1];
                order[i] = order[i - 1];
            }
            keys[i] = key;
            order[i] = cell;
        }
    }
    return count;
}

} // namespace tovra::solver
