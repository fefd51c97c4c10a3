#include "gamestore/DailyStatistics.h"

#include "core/DailyBoard.h"

#include <algorithm>

namespace tovra {

namespace {

std::int64_t DayNumber(const CivilDate& date) { return static_cast<std::int64_t>(EncodeDate(date.year, date.month, date.day)); }

int DaysIn(int year, int month)
{
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : Days[month - 1];
}

void Note(std::map<std::int64_t, DayResult>& days, const CivilDate& date, DayResult result)
{
    if (!ParseIsoDate(IsoDateText(date)))
        return; // not a day of the calendar
    DayResult& day = days[DayNumber(date)];
    day = std::max(day, result);
}

// The days brought to 100 one after the other, ending on `last`.
int RunEndingOn(const std::map<std::int64_t, DayResult>& days, std::int64_t last)
{
    int run = 0;
    for (auto day = days.find(last); day != days.end() && day->first == last - run && day->second == DayResult::Hundred;
         day = days.find(last - run))
        ++run;
    return run;
}

} // namespace

DayResult DailyStatistics::On(const CivilDate& date) const
{
    const auto day = days.find(DayNumber(date));
    return day == days.end() ? DayResult::NotPlayed : day->second;
}

DailyStatistics ComputeDailyStatistics(const std::vector<HistoryGame>& games, const CivilDate& today,
                                       const std::vector<CivilDate>& playingNow)
{
    DailyStatistics statistics;
    for (const HistoryGame& game : games) {
        // A board left before a number of the player's own was not played.
        if (!game.boardDate || game.Score() <= game.given)
            continue;
        const bool hundred = game.end == GameEnd::Complete && game.Score() == 100;
        Note(statistics.days, *game.boardDate, hundred ? DayResult::Hundred : DayResult::Played);
    }
    for (const CivilDate& date : playingNow)
        Note(statistics.days, date, DayResult::Played);

    int run = 0;
    std::int64_t previous = 0;
    for (const auto& [day, result] : statistics.days) {
        ++statistics.daysPlayed;
        if (result != DayResult::Hundred) {
            run = 0;
            continue;
        }
        ++statistics.daysBroughtTo100;
        run = run > 0 && day == previous + 1 ? run + 1 : 1;
        previous = day;
        statistics.longestRun = std::max(statistics.longestRun, run);
    }
    const std::int64_t todayNumber = DayNumber(today);
    statistics.currentRun = statistics.On(today) == DayResult::Hundred ? RunEndingOn(statistics.days, todayNumber)
                                                                       : RunEndingOn(statistics.days, todayNumber - 1);
    return statistics;
}

CalendarMonth MonthOf(const DailyStatistics& statistics, int year, int month)
{
    CalendarMonth calendar;
    calendar.year = year;
    calendar.month = month;
    calendar.leadingBlanks = Weekday(CivilDate{year, month, 1});
    const int days = DaysIn(year, month);
    calendar.days.reserve(static_cast<std::size_t>(days));
    for (int day = 1; day <= days; ++day)
        calendar.days.push_back(statistics.On(CivilDate{year, month, day}));
    return calendar;
}

void StepMonth(int& year, int& month, int step)
{
    const int index = year * 12 + (month - 1) + step;
    year = index / 12;
    month = index % 12 + 1;
}

bool MonthHasDays(const DailyStatistics& statistics, const CivilDate& today, int year, int month)
{
    const std::int64_t first = DayNumber(CivilDate{year, month, 1});
    const std::int64_t last = first + DaysIn(year, month) - 1;
    std::int64_t earliest = DayNumber(today);
    std::int64_t latest = earliest;
    if (!statistics.days.empty()) {
        earliest = std::min(earliest, statistics.days.begin()->first);
        latest = std::max(latest, statistics.days.rbegin()->first);
    }
    return last >= earliest && first <= latest;
}

} // namespace tovra
