#pragma once
// Checks shared by the daily board's unit tests and its ten-year sweep.
#include "core/DateTime.h"

#include <string>
#include <vector>

namespace tovra::testing {

// Empty when the given cells followed by `completion` fill the board by legal moves.
std::string TourFault(const std::vector<int>& given, const std::vector<int>& completion);
// Each board of `days` dates from `first`: legal, 15..45 numbers, certified by the solver
// (its completion checked move by move), graded by the rule and at its weekday's grade.
void ExpectBoardsCertifiedAndGraded(const CivilDate& first, int days);

} // namespace tovra::testing
