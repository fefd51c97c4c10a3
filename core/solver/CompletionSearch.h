#pragma once
// The search behind SolveCompletion.
#include "core/Solver.h"

namespace tovra::solver {

// The rules the search may use; tests switch one off to show what it alone decides.
struct SearchRules {
    bool parity = true;
    bool degreeFactor = true;
    bool walks = true;
    bool probing = true; // the root's edges tried one by one when three runs do not finish
};

SolverAnswer SearchCompletion(const SolverPosition& position, const SolverLimits& limits, SearchRules rules = {});

} // namespace tovra::solver
