#pragma once
// Today's board: the first numbers of a game, given, the same for everyone on a date. The
// board comes from the date alone, through SplitMix64 and the steps in DailyBoard.cpp, so
// that every copy of the game shows the same board for a date, for years: a change to any
// step changes every board, and the tests that pin some dates' boards say so.
#include "DateTime.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovra {

inline constexpr int EasiestGrade = 1;
inline constexpr int HardestGrade = 5;
inline constexpr int FewestGivenNumbers = 15;
inline constexpr int MostGivenNumbers = 45;

struct DailyBoard {
    CivilDate date;
    std::vector<int> cells; // cell indexes 0..99 of the given numbers 1..k, in order
    int grade = 0;          // 1 (easiest) .. 5
};

// A date written YYYY-MM-DD that exists in the Gregorian calendar, years 1..9999.
std::optional<CivilDate> ParseIsoDate(std::string_view text);
std::string IsoDateText(const CivilDate& date);

// 0 for Monday .. 6 for Sunday.
int Weekday(const CivilDate& date);

// The grade a date's board is made to have: the week climbs from Monday's easiest to
// Sunday's hardest.
int WeekdayGrade(int weekday);

// How hard it is to bring a position (numbers 1..k on `cells`, k >= 1) to 100: 1..5, from
// how many of 64 plays that follow the fewest onward moves, breaking ties at random with a
// seed taken from the cells, reach 100. The same cells always get the same grade.
int GradeOfPosition(const std::vector<int>& cells);
// The share of those 64 plays that reach 100, 0..64, of which the grade is made.
int FinishingPlays(const std::vector<int>& cells);

// The board of a date that exists. Every board it gives reaches 100 by the solver's exact
// answer and has the grade of its weekday.
DailyBoard MakeDailyBoard(const CivilDate& date);

} // namespace tovra
