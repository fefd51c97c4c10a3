#pragma once
// Finding a completion by extending a path and rotating it: from the last number, the path
// grows to the free target with the fewest onward moves; where it is stuck, an edge from its
// end back into the path turns the tail around (p0 .. pi pi+1 .. pk becomes p0 .. pi pk .. pi+1),
// which gives the path a new end without undoing it. Far cheaper per step than the walks'
// depth-first search and not lost in its early choices; like them, it cannot prove that there
// is no completion.
#include "core/GameState.h"
#include "TieBreaks.h"

#include "core/Solver.h"

#include <cstdint>
#include <vector>

namespace tovra::solver {

class PathRotations {
public:
    explicit PathRotations(const SolverPosition& position);

    // One try of at most `steps` extensions and rotations, its choices drawn from `seed`: true
    // when the path covers every free cell.
    bool Try(std::uint64_t steps, std::uint32_t seed);

    // The cells after the last number, once a try has succeeded.
    std::vector<int> Completion() const;
    std::uint64_t Steps() const { return steps_; }

private:
    void Prepare();
    void Append(int cell);

    int start_ = NoCell;
    bool prepared_ = false;
    int cellCount_ = 0;           // the free cells and the last number's
    bool inPlay_[CellCount] = {};
    int neighbours_[CellCount][8] = {}; // the targets in play
    int neighbourCount_[CellCount] = {};
    // The current try: the path, each cell's place in it, and each cell's free targets not yet
    // on it.
    int path_[CellCount] = {};
    int place_[CellCount] = {};
    bool onPath_[CellCount] = {};
    int unvisited_[CellCount] = {};
    int length_ = 0;
    std::uint64_t steps_ = 0;
    TieBreaks random_;
};

} // namespace tovra::solver
