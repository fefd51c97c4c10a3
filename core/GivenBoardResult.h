#pragma once
// What a game on a board with given numbers ends with: the text the player can share, which
// tells how far they got and with how much help, and never where a number went.
#include "DateTime.h"

#include <optional>
#include <string>

namespace tovra {

// A game on a board that came with its first numbers: today's board or one from a code.
struct GivenBoardPlay {
    std::optional<CivilDate> date; // today's board: its date; a board from a code: none
    int grade = 0;                 // 1..5 for today's board, 0 when not graded
    int given = 0;                 // numbers 1..given came with the board
    int reachabilityAsked = 0;     // F3 presses
    int movesShown = 0;            // "Moves" presses
    friend bool operator==(const GivenBoardPlay&, const GivenBoardPlay&) = default;
};

// "Today's board, 2026-12-08, grade 2 of 5" or "A board from a code".
std::string GivenBoardTitle(const GivenBoardPlay& play);

// Ten symbols, one for each ten numbers: white for tens that came with the board, green for
// tens the player filled, yellow for the ten where the game ended, black for tens not reached.
std::string ProgressSymbols(int given, int reached);

// The shared result: the title, score, time, help used and the symbols; three lines.
std::string GivenBoardResultText(const GivenBoardPlay& play, int reached, int playedSeconds);

// The end-of-game message, in the window's words: what was reached and why the game is not
// ranked.
std::string GivenBoardEndText(const GivenBoardPlay& play, int reached, int playedSeconds);

// Minutes and seconds, with hours when there are any: "3:07", "1:02:03".
std::string PlayedTimeShort(int seconds);

} // namespace tovra
