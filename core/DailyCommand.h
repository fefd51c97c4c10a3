#pragma once
// The command-line side of today's board and of board codes: what --daily prints and what
// --open refuses, without any window.
#include "DateTime.h"

#include <iosfwd>
#include <optional>
#include <string_view>
#include <vector>

namespace tovra {

// Prints the board of `date` (YYYY-MM-DD; the local date of `today` when none): a line with
// the date, its grade and the given numbers, then the board's code. A date that does not
// exist gets one line on `err` and exit status 2; otherwise 0.
int PrintDailyBoard(std::optional<std::string_view> date, DateTime today, std::ostream& out, std::ostream& err);

// The cells of a code given on the command line, or nothing after one line on `err` saying
// why the code cannot be read.
std::optional<std::vector<int>> CellsOfCodeArgument(std::string_view code, std::ostream& err);

} // namespace tovra
