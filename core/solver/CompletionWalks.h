#pragma once
// Finding a completion by walking: depth-first from the last number, the next number among
// those with the fewest onward moves first, ties at random, with a budget of steps. It cannot
// prove that there is none; beside the exact search it finds the completions that search is
// slow to reach, where completions are few but the rules settle little.
#include "TieBreaks.h"

#include "core/Solver.h"

#include <cstdint>
#include <vector>

namespace tovra::solver {

class CompletionWalks {
public:
    explicit CompletionWalks(const SolverPosition& position);

    // One walk of at most `steps` steps, its ties broken by `seed`: true when it filled the board.
    bool Walk(std::uint64_t steps, std::uint32_t seed);

    // The cells after the last number, once a walk has filled the board.
    const std::vector<int>& Completion() const { return completion_; }
    std::uint64_t Steps() const { return steps_; }

    // A set of cells, as two words of bits.
    struct Cells {
        std::uint64_t low = 0;
        std::uint64_t high = 0; // cells 64..99
    };

private:
    bool Step(int from, Cells free, int left);
    bool Promising(int from, Cells free) const;
    int NextCells(int from, Cells free, int order[8]);

    const Cells* targets_; // each cell's targets
    Cells start_{};
    int from_ = NoCell;
    int startLeft_ = 0;
    std::vector<int> path_;
    std::vector<int> completion_;
    std::uint64_t steps_ = 0;
    std::uint64_t budget_ = 0;
    TieBreaks random_;
};

} // namespace tovra::solver
