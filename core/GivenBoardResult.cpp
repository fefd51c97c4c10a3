#include "GivenBoardResult.h"

#include "DailyBoard.h"
#include "GameState.h"

#include <cstdio>

namespace tovra {

namespace {
std::string Times(int count) { return count == 1 ? "once" : std::to_string(count) + " times"; }
} // namespace

std::string GivenBoardTitle(const GivenBoardPlay& play)
{
    if (!play.date)
        return "A board from a code";
    std::string title = "Today's board, " + IsoDateText(*play.date);
    if (play.grade > 0)
        title += ", grade " + std::to_string(play.grade) + " of " + std::to_string(HardestGrade);
    return title;
}

std::string ProgressSymbols(int given, int reached)
{
    std::string symbols;
    for (int ten = 0; ten < CellCount / 10; ++ten) {
        const int last = (ten + 1) * 10;
        if (last <= given)
            symbols += "\u2B1C"; // white square
        else if (last <= reached)
            symbols += "\U0001F7E9"; // green square
        else if (ten * 10 < reached)
            symbols += "\U0001F7E8"; // yellow square
        else
            symbols += "\u2B1B"; // black square
    }
    return symbols;
}

std::string PlayedTimeShort(int seconds)
{
    if (seconds < 0)
        seconds = 0;
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
    return text;
}

std::string GivenBoardResultText(const GivenBoardPlay& play, int reached, int playedSeconds)
{
    return "Tovra!, Tovra!, Tovra! " + GivenBoardTitle(play) + "\n" + std::to_string(reached) + "/100 in " +
           PlayedTimeShort(playedSeconds) + ", F3 " + Times(play.reachabilityAsked) + ", Moves " +
           Times(play.movesShown) + "\n" + ProgressSymbols(play.given, reached) + "\n";
}

std::string GivenBoardEndText(const GivenBoardPlay& play, int reached, int playedSeconds)
{
    const std::string board = play.date ? "today's board" : "this board";
    std::string text = reached == CellCount ? "You brought " + board + " to 100"
                                            : "You brought " + board + " to " + std::to_string(reached);
    text += " in " + PlayedTimeShort(playedSeconds) + (reached == CellCount ? "!" : ".");
    text += "\n\nIts first " + std::to_string(play.given) +
            " numbers came with the board, so this game does not go into the best 20.";
    return text;
}

} // namespace tovra
