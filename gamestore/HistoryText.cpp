#include "gamestore/HistoryText.h"

namespace tovra {

namespace {
std::string TwoDigits(std::int64_t value) { return (value < 10 ? "0" : "") + std::to_string(value); }

// Each end of a game in words, once: for the player, and for the CSV report.
struct GameEndNames {
    GameEnd end;
    const char* text;
    const char* word;
};
constexpr GameEndNames EndNames[] = {
    {GameEnd::Complete, "100 reached", "complete"},
    {GameEnd::Stuck, "No move left", "stuck"},
    {GameEnd::Abandoned, "Abandoned", "abandoned"},
};

// A value that is none of the three reads as abandoned.
const GameEndNames& NamesOf(GameEnd end)
{
    for (const GameEndNames& names : EndNames)
        if (names.end == end)
            return names;
    return EndNames[2];
}
} // namespace

std::string PlayedTimeText(std::int64_t milliseconds)
{
    const std::int64_t seconds = milliseconds / 1000;
    if (seconds >= 3600)
        return std::to_string(seconds / 3600) + ":" + TwoDigits(seconds / 60 % 60) + ":" + TwoDigits(seconds % 60);
    return std::to_string(seconds / 60) + ":" + TwoDigits(seconds % 60);
}

std::string GameEndText(GameEnd end) { return NamesOf(end).text; }

std::string GameEndWord(GameEnd end) { return NamesOf(end).word; }

} // namespace tovra
