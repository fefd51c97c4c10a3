// Today's boards in the statistics: which days count as played and brought to 100, their runs
// by the boards' dates, and the month calendar.
#include "gamestore/DailyStatistics.h"

#include <gtest/gtest.h>

#include <string>

namespace tovra {
namespace {

// A game on the board of 2026-12-`day`: 20 given numbers, then the player's up to `score`.
HistoryGame DayGame(int day, int score, GameEnd end = GameEnd::Stuck)
{
    HistoryGame game;
    game.end = score == 100 ? GameEnd::Complete : end;
    game.cells.resize(static_cast<std::size_t>(score));
    game.given = 20;
    game.boardDate = CivilDate{2026, 12, day};
    return game;
}

struct RunCase {
    const char* name;
    std::vector<HistoryGame> games;
    int today; // of December 2026
    std::vector<int> playingNow;
    int played, hundreds, current, longest;
};

const RunCase RunCases[] = {
    {"NoDailyGame", {}, 8, {}, 0, 0, 0, 0},
    {"ThreeDaysInARowUpToToday", {DayGame(6, 100), DayGame(7, 100), DayGame(8, 100)}, 8, {}, 3, 3, 3, 3},
    // Today's board is still to be brought to 100: the run up to yesterday goes on.
    {"TodayNotYetPlayed", {DayGame(6, 100), DayGame(7, 100)}, 8, {}, 2, 2, 2, 2},
    {"TodayPlayedNotYetAt100", {DayGame(6, 100), DayGame(7, 100), DayGame(8, 40)}, 8, {}, 3, 2, 2, 2},
    {"TodayInProgress", {DayGame(6, 100), DayGame(7, 100)}, 8, {8}, 3, 2, 2, 2},
    {"YesterdayMissedEndsTheRun", {DayGame(5, 100), DayGame(6, 100)}, 8, {}, 2, 2, 0, 2},
    {"AGapSplitsTheRuns", {DayGame(1, 100), DayGame(2, 100), DayGame(3, 100), DayGame(5, 100), DayGame(7, 100)}, 7, {}, 5, 5, 1, 3},
    {"ADayPlayedBelow100BreaksARun", {DayGame(5, 100), DayGame(6, 55), DayGame(7, 100)}, 7, {}, 3, 2, 1, 1},
    // Played twice: brought to 100 once is enough, in either order.
    {"ADayPlayedTwiceCountsOnce", {DayGame(6, 100), DayGame(6, 31), DayGame(7, 44), DayGame(7, 100)}, 7, {}, 2, 2, 2, 2},
    {"ADayPlayedTwiceNeverTo100", {DayGame(7, 60), DayGame(7, 70, GameEnd::Abandoned)}, 7, {}, 1, 0, 0, 0},
    // Opened and left without a number of the player's own.
    {"ABoardLeftAsItCameIsNotPlayed", {DayGame(7, 20, GameEnd::Abandoned)}, 7, {}, 0, 0, 0, 0},
    {"OrdinaryGamesAreNoDays", {HistoryGame{}, [] { HistoryGame g; g.cells.resize(100); g.end = GameEnd::Complete; return g; }()}, 7, {}, 0, 0, 0, 0},
    // A board from a code has given numbers but no date.
    {"ABoardFromACodeIsNoDay", {[] { HistoryGame g = DayGame(7, 100); g.boardDate.reset(); return g; }()}, 7, {}, 0, 0, 0, 0},
};

class DailyRunTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(DailyRunTest, CountsDaysAndRunsByTheBoardsDates)
{
    const RunCase& c = GetParam();
    std::vector<CivilDate> playing;
    for (const int day : c.playingNow)
        playing.push_back({2026, 12, day});
    const DailyStatistics statistics = ComputeDailyStatistics(c.games, {2026, 12, c.today}, playing);
    EXPECT_EQ(statistics.daysPlayed, c.played);
    EXPECT_EQ(statistics.daysBroughtTo100, c.hundreds);
    EXPECT_EQ(statistics.currentRun, c.current);
    EXPECT_EQ(statistics.longestRun, c.longest);
}

INSTANTIATE_TEST_SUITE_P(DailyStatistics, DailyRunTest, ::testing::ValuesIn(RunCases),
                         [](const auto& test) { return std::string(test.param.name); });

// A run goes on across the end of a month and of a year, and is counted by the boards' dates:
// the board of the 31st finished after midnight is still the 31st's.
TEST(DailyStatistics, RunsCrossMonthsAndYearsByBoardDate)
{
    std::vector<HistoryGame> games;
    for (const CivilDate date : {CivilDate{2026, 11, 30}, CivilDate{2026, 12, 1}, CivilDate{2026, 12, 31}, CivilDate{2027, 1, 1}}) {
        HistoryGame game = DayGame(1, 100);
        game.boardDate = date;
        game.endedAt = 1.9e9; // whenever it was played
        games.push_back(game);
    }
    const DailyStatistics statistics = ComputeDailyStatistics(games, {2027, 1, 2});
    EXPECT_EQ(statistics.longestRun, 2);
    EXPECT_EQ(statistics.currentRun, 2);
    EXPECT_EQ(statistics.On({2026, 12, 31}), DayResult::Hundred);
    EXPECT_EQ(statistics.On({2026, 12, 30}), DayResult::NotPlayed);
}

struct MonthCase {
    const char* name;
    int year, month;
    int leadingBlanks;
    int days;
};

const MonthCase Months[] = {
    {"December2026StartsOnTuesday", 2026, 12, 1, 31},
    {"February2027", 2027, 2, 0, 28},
    {"February2024Leap", 2024, 2, 3, 29},
    {"February2100NotLeap", 2100, 2, 0, 28},
    {"February2000Leap", 2000, 2, 1, 29},
    {"March2026StartsOnSunday", 2026, 3, 6, 31},
};

class CalendarMonthTest : public ::testing::TestWithParam<MonthCase> {};

TEST_P(CalendarMonthTest, LaysTheDaysOutFromMonday)
{
    const MonthCase& c = GetParam();
    const CalendarMonth month = MonthOf(DailyStatistics{}, c.year, c.month);
    EXPECT_EQ(month.leadingBlanks, c.leadingBlanks);
    EXPECT_EQ(static_cast<int>(month.days.size()), c.days);
}

INSTANTIATE_TEST_SUITE_P(DailyStatistics, CalendarMonthTest, ::testing::ValuesIn(Months),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(DailyStatistics, TheCalendarShowsEachDaysResult)
{
    const DailyStatistics statistics =
        ComputeDailyStatistics({DayGame(3, 100), DayGame(4, 50), DayGame(4, 62), DayGame(9, 20, GameEnd::Abandoned)}, {2026, 12, 9});
    const CalendarMonth december = MonthOf(statistics, 2026, 12);
    std::string days;
    for (const DayResult day : december.days)
        days += day == DayResult::Hundred ? 'H' : day == DayResult::Played ? 'p' : '.';
    EXPECT_EQ(days, "..Hp...........................");
    EXPECT_EQ(MonthOf(statistics, 2026, 11).days, std::vector<DayResult>(30, DayResult::NotPlayed));
}

struct StepCase {
    int year, month, step;
    int wantYear, wantMonth;
};

TEST(DailyStatistics, StepsMonthsAcrossYears)
{
    const StepCase steps[] = {{2026, 12, 1, 2027, 1}, {2027, 1, -1, 2026, 12}, {2026, 5, 0, 2026, 5},
                              {2026, 3, -15, 2024, 12}, {2026, 11, 14, 2028, 1}};
    for (const StepCase& s : steps) {
        int year = s.year;
        int month = s.month;
        StepMonth(year, month, s.step);
        EXPECT_EQ(year * 100 + month, s.wantYear * 100 + s.wantMonth) << s.year << "-" << s.month << " + " << s.step;
    }
}

// The calendar steps from the first played month to the month of today, and no further.
TEST(DailyStatistics, MonthsWorthSteppingToSpanThePlayedDaysAndToday)
{
    const DailyStatistics statistics = ComputeDailyStatistics({DayGame(3, 100)}, {2026, 12, 9});
    HistoryGame older = DayGame(1, 40);
    older.boardDate = CivilDate{2026, 9, 14};
    const DailyStatistics longer = ComputeDailyStatistics({older, DayGame(3, 100)}, {2026, 12, 9});
    EXPECT_TRUE(MonthHasDays(statistics, {2026, 12, 9}, 2026, 12));
    EXPECT_FALSE(MonthHasDays(statistics, {2026, 12, 9}, 2026, 11));
    EXPECT_FALSE(MonthHasDays(statistics, {2026, 12, 9}, 2027, 1));
    EXPECT_TRUE(MonthHasDays(longer, {2026, 12, 9}, 2026, 10)); // between two played days
    EXPECT_FALSE(MonthHasDays(longer, {2026, 12, 9}, 2026, 8));
}

} // namespace
} // namespace tovra
