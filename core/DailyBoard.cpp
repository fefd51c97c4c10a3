#include "DailyBoard.h"

#include "GameState.h"
#include "PlayPolicies.h"
#include "Solver.h"
#include "SplitMix64.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace tovra {

namespace {

constexpr int GradingPlays = 64;
// Fewest plays of the 64 that reach 100 for grades 1..4; fewer than the last is grade 5.
constexpr int GradeFloors[HardestGrade - 1] = {40, 24, 12, 4};
// Boards tried for a date before the nearest grade is taken instead of the weekday's.
constexpr int Attempts = 400;
// Far more than any position of the game needs (the worst known takes tens of thousands).
constexpr std::uint64_t CertifyNodes = 20'000'000;

constexpr std::uint64_t DailySeed = 0x546f7672612d6461ULL; // changes every board if changed

long long DayNumber(const CivilDate& date)
{
    return static_cast<long long>(EncodeDate(date.year, date.month, date.day));
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month)
{
    constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// One candidate board: a walk of k numbers from a random cell, each step the cell with the
// fewest onward moves with a chance of greed/4 (0..4), any free cell otherwise. Greedy walks leave
// the board tidy; careless ones leave holes that make the rest hard. Empty when the walk
// got stuck before k.
std::vector<int> CandidateWalk(SplitMix64& random, std::uint32_t greed)
{
    const int given = random.Between(FewestGivenNumbers, MostGivenNumbers);
    std::vector<int> cells{static_cast<int>(random.Below(CellCount))};
    UsedCells used{};
    used[static_cast<std::size_t>(cells.back())] = true;
    int targets[8];
    while (static_cast<int>(cells.size()) < given) {
        const int free = FreeTargets(cells.back(), used, targets);
        if (free == 0)
            return {};
        int next = targets[random.Below(static_cast<std::uint32_t>(free))];
        if (random.Below(4) < greed) {
            int fewest = 9;
            for (int i = 0; i < free; ++i) {
                used[static_cast<std::size_t>(targets[i])] = true;
                int onward[8];
                const int count = FreeTargets(targets[i], used, onward);
                used[static_cast<std::size_t>(targets[i])] = false;
                if (count > 0 && count < fewest) {
                    fewest = count;
                    next = targets[i];
                }
            }
        }
        cells.push_back(next);
        used[static_cast<std::size_t>(next)] = true;
    }
    return cells;
}

// The plays of the grade, one by one, stopping as soon as the count can no longer end within
// low..high: then it returns a count outside that range. Every play draws from the same
// sequence whether or not the count stops early, so the counts it does return are the grade's.
int FinishingPlaysWithin(const std::vector<int>& cells, int low, int high)
{
    // The seed is the cells' own (FNV-1a), so the grade belongs to the board, not to the date.
    std::uint64_t seed = 0xcbf29ce484222325ULL;
    for (const int cell : cells)
        seed = (seed ^ static_cast<std::uint64_t>(cell)) * 0x100000001b3ULL;
    SplitMix64 random(seed);
    int finished = 0;
    for (int play = 0; play < GradingPlays; ++play) {
        finished += PlayOn(cells, PlayPolicy::FewestOnward, random) == CellCount;
        if (finished > high || finished + (GradingPlays - 1 - play) < low)
            return finished > high ? finished : -1;
    }
    return finished;
}

// The range of finishing plays of a grade.
int FewestFinishing(int grade) { return grade == HardestGrade ? 0 : GradeFloors[grade - 1]; }
int MostFinishing(int grade) { return grade == EasiestGrade ? GradingPlays : GradeFloors[grade - 2] - 1; }

bool ReachesHundred(const std::vector<int>& cells)
{
    SolverLimits limits;
    limits.maxNodes = CertifyNodes;
    return SolveCompletion(PositionAfter(cells, static_cast<int>(cells.size())), limits).answer ==
           Reachability::Reachable;
}

} // namespace

std::optional<CivilDate> ParseIsoDate(std::string_view text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    auto number = [&](std::size_t at, std::size_t length) {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return -1;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    const CivilDate date{number(0, 4), number(5, 2), number(8, 2)};
    if (date.year < 1 || date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > DaysInMonth(date.year, date.month))
        return std::nullopt;
    return date;
}

std::string IsoDateText(const CivilDate& date)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

int Weekday(const CivilDate& date)
{
    // Day 0, 30 December 1899, was a Saturday.
    const long long weekday = (DayNumber(date) + 5) % 7;
    return static_cast<int>(weekday < 0 ? weekday + 7 : weekday);
}

int WeekdayGrade(int weekday)
{
    constexpr int grades[7] = {1, 2, 2, 3, 3, 4, 5};
    return grades[weekday];
}

int FinishingPlays(const std::vector<int>& cells)
{
    return FinishingPlaysWithin(cells, 0, GradingPlays);
}

int GradeOfPosition(const std::vector<int>& cells)
{
    const int finished = FinishingPlays(cells);
    int grade = EasiestGrade;
    for (const int floor : GradeFloors) {
        if (finished >= floor)
            return grade;
        ++grade;
    }
    return HardestGrade;
}

DailyBoard MakeDailyBoard(const CivilDate& date)
{
    const int wanted = WeekdayGrade(Weekday(date));
    // How greedy the walks are for each grade: measured so that about one walk in ten or more
    // lands on the grade (careless walks for the hard ones).
    constexpr std::uint32_t Greed[HardestGrade + 1] = {0, 4, 2, 2, 1, 1};
    SplitMix64 random(DailySeed ^ static_cast<std::uint64_t>(DayNumber(date)));
    DailyBoard nearest{date, {}, 0};
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        std::vector<int> cells = CandidateWalk(random, Greed[wanted]);
        if (cells.empty())
            continue;
        const int finished = FinishingPlaysWithin(cells, FewestFinishing(wanted), MostFinishing(wanted));
        const bool onGrade = finished >= FewestFinishing(wanted) && finished <= MostFinishing(wanted);
        // Off the grade, a board is only kept in case no board of the grade turns up at all.
        if (!onGrade && !nearest.cells.empty())
            continue;
        if (!ReachesHundred(cells))
            continue;
        nearest = {date, std::move(cells), 0};
        nearest.grade = GradeOfPosition(nearest.cells);
        if (onGrade)
            break;
    }
    return nearest;
}

} // namespace tovra
