#include "DailyBoardChecks.h"
#include "MoveArithmetic.h"

#include "core/BoardCode.h"
#include "core/DailyBoard.h"
#include "core/Solver.h"

#include <gtest/gtest.h>

#include <bitset>
#include <cstdlib>

namespace tovra::testing {

std::string TourFault(const std::vector<int>& given, const std::vector<int>& completion)
{
    std::vector<int> all = given;
    all.insert(all.end(), completion.begin(), completion.end());
    if (all.size() != 100)
        return "the tour has " + std::to_string(all.size()) + " cells";
    std::bitset<100> seen;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i] < 0 || all[i] >= 100 || seen.test(static_cast<std::size_t>(all[i])))
            return "cell " + std::to_string(all[i]) + " off the board or twice";
        if (i > 0 && !IsMove(all[i - 1], all[i]))
            return "number " + std::to_string(i + 1) + " is no move";
        seen.set(static_cast<std::size_t>(all[i]));
    }
    return {};
}

void ExpectBoardsCertifiedAndGraded(const CivilDate& first, int days)
{
    const double firstDay = EncodeDate(first.year, first.month, first.day);
    int perWeekday[7][HardestGrade + 1] = {};
    for (int day = 0; day < days; ++day) {
        const CivilDate date = DecodeDate(firstDay + day);
        const DailyBoard board = MakeDailyBoard(date);
        const std::string when = IsoDateText(date);
        ASSERT_EQ(board.date, date) << when;
        const int given = static_cast<int>(board.cells.size());
        ASSERT_GE(given, FewestGivenNumbers) << when;
        ASSERT_LE(given, MostGivenNumbers) << when;
        ASSERT_EQ(ReadBoardCode(EncodeBoardCode(board.cells)).fault, BoardCodeFault::None) << when;
        const SolverAnswer answer = SolveCompletion(PositionAfter(board.cells, given));
        ASSERT_EQ(answer.answer, Reachability::Reachable) << when;
        ASSERT_EQ(TourFault(board.cells, answer.completion), "") << when;
        ASSERT_EQ(board.grade, GradeOfPosition(board.cells)) << when;
        ASSERT_EQ(board.grade, WeekdayGrade(Weekday(date))) << when;
        ++perWeekday[Weekday(date)][board.grade];
    }
    // The week climbs: Monday among the easiest grades, Sunday among the hardest.
    for (int grade = 3; grade <= HardestGrade; ++grade)
        EXPECT_EQ(perWeekday[0][grade], 0) << "a Monday of grade " << grade;
    for (int grade = EasiestGrade; grade <= 3; ++grade)
        EXPECT_EQ(perWeekday[6][grade], 0) << "a Sunday of grade " << grade;
}

} // namespace tovra::testing
