#pragma once
// The search behind SolveCompletion.
#include "core/Solver.h"

namespace tovra::solver {

SolverAnswer SearchCompletion(const SolverPosition& position, const SolverLimits& limits);

} // namespace tovra::solver
