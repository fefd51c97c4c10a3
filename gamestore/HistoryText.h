#pragma once
// How the history's games are put into words, the same in the statistics window, its list and
// the printed report.
#include "gamestore/GameHistory.h"

#include <cstdint>
#include <string>

namespace tovra {

// A time played: "m:ss", or "h:mm:ss" from an hour on; whole seconds, rounded down.
std::string PlayedTimeText(std::int64_t milliseconds);

// How a game ended: "100 reached", "No move left" or "Abandoned".
std::string GameEndText(GameEnd end);
// The same as one word for the CSV report: "complete", "stuck" or "abandoned".
std::string GameEndWord(GameEnd end);

} // namespace tovra
