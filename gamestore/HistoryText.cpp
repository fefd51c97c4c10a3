#include "gamestore/HistoryText.h"

namespace tovra {

namespace {
std::string TwoDigits(std::int64_t value) { return (value < 10 ? "0" : "") + std::to_string(value); }
} // namespace

std::string PlayedTimeText(std::int64_t milliseconds)
{
    const std::int64_t seconds = milliseconds / 1000;
    if (seconds >= 3600)
        return std::to_string(seconds / 3600) + ":" + TwoDigits(seconds / 60 % 60) + ":" + TwoDigits(seconds % 60);
    return std::to_string(seconds / 60) + ":" + TwoDigits(seconds % 60);
}

std::string GameEndText(GameEnd end)
{
    switch (end) {
    case GameEnd::Complete:
        return "100 reached";
    case GameEnd::Stuck:
        return "No move left";
    case GameEnd::Abandoned:
        break;
    }
    return "Abandoned";
}

} // namespace tovra
