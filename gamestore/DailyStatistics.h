#pragma once
// Today's boards in the history: the days played, the days brought to 100 and their runs, and
// the month calendar of the days. Days are the boards' dates, not the days they were played
// on: a board finished after midnight still counts for its own day.
#include "gamestore/GameHistory.h"

#include <cstdint>
#include <map>
#include <vector>

namespace tovra {

enum class DayResult {
    NotPlayed, // no number of the player's own on that day's board
    Played,    // played, never to 100
    Hundred,   // brought to 100, at least once
};

struct DailyStatistics {
    int daysPlayed = 0;
    int daysBroughtTo100 = 0;
    // Days brought to 100 one after the other up to today; a today not brought to 100 yet
    // does not end it, so the run up to yesterday still counts.
    int currentRun = 0;
    int longestRun = 0;
    std::map<std::int64_t, DayResult> days; // by day number (EncodeDate), played days only

    DayResult On(const CivilDate& date) const;
};

// `games` as ReadHistory gives them; `playingNow`: dates of today's boards in progress with a
// number of the player's own (a game in progress is played, not yet ended).
DailyStatistics ComputeDailyStatistics(const std::vector<HistoryGame>& games, const CivilDate& today,
                                       const std::vector<CivilDate>& playingNow = {});

// One month of the calendar, weeks from Monday: `leadingBlanks` empty places before day 1,
// then one result per day of the month.
struct CalendarMonth {
    int year = 0;
    int month = 0; // 1..12
    int leadingBlanks = 0;
    std::vector<DayResult> days;
};

CalendarMonth MonthOf(const DailyStatistics& statistics, int year, int month);

// The month `step` months after (before, when negative) year/month.
void StepMonth(int& year, int& month, int step);

// Whether year/month holds a played day or today, or lies between them: the months worth
// stepping to.
bool MonthHasDays(const DailyStatistics& statistics, const CivilDate& today, int year, int month);

} // namespace tovra
