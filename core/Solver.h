#pragma once
// "Can 100 still be reached?": an exact answer for a position, with one way to finish the
// board when there is one. Positions use cell indexes 0..99, (row - 1) * 10 + (column - 1).
#include "BoardCell.h"

#include <bitset>
#include <cstdint>
#include <stop_token>
#include <vector>

namespace tovra {

// The numbered cells and the cell of the highest number (NoCell on the empty board). A last
// cell outside 0..99 is no position: the answer is then Unknown.
struct SolverPosition {
    std::bitset<100> numbered;
    int lastCell = NoCell;
};

enum class Reachability { Reachable, Unreachable, Unknown };

struct SolverAnswer {
    Reachability answer = Reachability::Unknown;
    // When Reachable: the cells of the numbers after the last one, in order, up to 100
    // (the whole tour on the empty board). Its first cell is a next number that keeps 100
    // reachable.
    std::vector<int> completion;
    std::uint64_t nodes = 0; // search nodes spent, for benchmarks
};

// maxNodes 0 means no budget: the answer is then never Unknown. A stop request also ends
// the search with Unknown.
struct SolverLimits {
    std::uint64_t maxNodes = 0;
    std::stop_token stop;
};

SolverAnswer SolveCompletion(const SolverPosition& position, const SolverLimits& limits = {});

// The position after numbers 1..count of a game whose numbers sit on `cells` in order.
SolverPosition PositionAfter(const std::vector<int>& cells, int count);

// The highest k (0..cells.size()) such that 100 is reachable after numbers 1..k; k = 0 is the
// empty board. Reachability only gets lost along a game, so this is a binary search of about
// seven solves, maxNodes applying to each. Returns -1 when the limits ran out before an answer.
int LastReachableNumber(const std::vector<int>& cells, const SolverLimits& limits = {});

// Whether 100 can be reached from every first cell, each of the 100 solved on its own (the
// empty board's answer, computed rather than assumed). Unknown when the limits, which apply to
// each cell's search, ran out on some cell and none was found unreachable. Adds the nodes spent
// to *nodes when given.
Reachability EveryFirstCellReaches(const SolverLimits& limits = {}, std::uint64_t* nodes = nullptr);

} // namespace tovra
