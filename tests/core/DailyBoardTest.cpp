// Today's board: the board of a date never changes, exists for every date, reaches 100 by the
// solver's exact answer, and carries the grade of its weekday.
#include "DailyBoardChecks.h"

#include "core/BoardCode.h"
#include "core/DailyBoard.h"
#include "core/GameState.h"
#include "core/PlayPolicies.h"
#include "core/Solver.h"
#include "core/SplitMix64.h"

#include <gtest/gtest.h>

#include <bitset>
#include <cstdlib>
#include <string>
#include <vector>

namespace tovra::testing {
namespace {

TEST(SplitMix64, GivesThePublishedSequence)
{
    // The reference implementation's first outputs for seed 1234567.
    SplitMix64 random(1234567);
    EXPECT_EQ(random.Next(), 6457827717110365317ULL);
    EXPECT_EQ(random.Next(), 3203168211198807973ULL);
    EXPECT_EQ(random.Next(), 9817491932198370423ULL);
    EXPECT_EQ(random.Next(), 4593380528125082431ULL);
    EXPECT_EQ(random.Next(), 16408922859458223821ULL);
}

TEST(SplitMix64, BelowCoversItsRangeEvenly)
{
    for (const std::uint32_t count : {1u, 2u, 7u, 100u}) {
        SplitMix64 random(count);
        std::vector<int> seen(count, 0);
        const int draws = 2000 * static_cast<int>(count);
        for (int i = 0; i < draws; ++i) {
            const auto value = random.Below(count);
            ASSERT_LT(value, count);
            ++seen[value];
        }
        for (const int times : seen) // 2000 expected; 10 % off is far beyond chance
            EXPECT_NEAR(times, 2000, 200) << "range " << count;
    }
}

TEST(IsoDate, ReadsOnlyDatesThatExist)
{
    struct Row {
        const char* text;
        bool exists;
    };
    const Row rows[] = {
        {"2026-12-08", true},  {"2024-02-29", true},  {"2000-02-29", true},  {"0001-01-01", true},
        {"9999-12-31", true},  {"2025-02-29", false}, {"1900-02-29", false}, {"2026-04-31", false},
        {"2026-13-01", false}, {"2026-00-10", false}, {"2026-01-00", false}, {"0000-01-01", false},
        {"2026-1-01", false},  {"26-01-01", false},   {"2026/01/01", false}, {"", false},
        {"2026-01-01x", false}, {"abcd-ef-gh", false}, {"+026-01-01", false},
    };
    for (const Row& row : rows) {
        const auto date = ParseIsoDate(row.text);
        EXPECT_EQ(date.has_value(), row.exists) << row.text;
        if (date) {
            EXPECT_EQ(IsoDateText(*date), row.text);
        }
    }
}

TEST(IsoDate, WeekdaysFollowTheCalendar)
{
    struct Row {
        const char* date;
        int weekday; // 0 Monday
    };
    const Row rows[] = {{"2026-12-07", 0}, {"2026-12-08", 1}, {"2000-01-01", 5}, {"1970-01-01", 3},
                        {"1899-12-30", 5}, {"1899-12-24", 6}, {"0001-01-01", 0}, {"2024-02-29", 3}};
    for (const Row& row : rows)
        EXPECT_EQ(Weekday(*ParseIsoDate(row.date)), row.weekday) << row.date;
}

// The boards of these dates, pinned: every copy of the game must show them, for years.
TEST(DailyBoard, BoardsOfPinnedDatesStayTheSame)
{
    struct Row {
        const char* date;
        int grade;
        const char* code;
    };
    const Row rows[] = {
#include "DailyBoardGolden.inc"
    };
    ASSERT_GE(std::size(rows), 6u);
    for (const Row& row : rows) {
        const DailyBoard board = MakeDailyBoard(*ParseIsoDate(row.date));
        EXPECT_EQ(board.grade, row.grade) << row.date;
        EXPECT_EQ(EncodeBoardCode(board.cells), row.code) << row.date;
    }
}

// A year of boards: the ten-year run of the issue is daily_sweep_tests (CTest label "long").
TEST(DailyBoard, AYearOfBoardsIsCertifiedAndGraded)
{
    ExpectBoardsCertifiedAndGraded(*ParseIsoDate("2026-01-01"), 366);
}

TEST(DailyBoard, DatesFarFromTodayHaveBoardsToo)
{
    for (const char* text : {"0001-01-01", "1899-12-30", "1970-01-01", "2100-02-28", "9999-12-31"}) {
        const DailyBoard board = MakeDailyBoard(*ParseIsoDate(text));
        ASSERT_FALSE(board.cells.empty()) << text;
        EXPECT_EQ(SolveCompletion(PositionAfter(board.cells, static_cast<int>(board.cells.size()))).answer,
                  Reachability::Reachable)
            << text;
    }
}

// The grade's meaning, in the direction that matters: the easiest grade is finished by its
// plays more often than the hardest, on the same run of boards.
TEST(DailyBoard, GradeFollowsHowOftenItsPlaysFinish)
{
    const double firstDay = EncodeDate(2030, 1, 7); // a Monday
    for (int week = 0; week < 20; ++week) {
        const DailyBoard monday = MakeDailyBoard(DecodeDate(firstDay + week * 7));
        const DailyBoard sunday = MakeDailyBoard(DecodeDate(firstDay + week * 7 + 6));
        EXPECT_GT(FinishingPlays(monday.cells), FinishingPlays(sunday.cells)) << "week " << week;
    }
}

TEST(PlayPolicies, EveryPolicyPlaysLegallyToTheEnd)
{
    const PlayPolicy policies[] = {PlayPolicy::Random, PlayPolicy::FewestOnward, PlayPolicy::FewestOnwardInOrder,
                                   PlayPolicy::LookAhead};
    SplitMix64 random(99);
    for (const PlayPolicy policy : policies) {
        for (int start = 0; start < 100; start += 7) {
            const int reached = PlayOn({start}, policy, random);
            EXPECT_GE(reached, 2) << "every cell has a move";
            EXPECT_LE(reached, 100);
        }
    }
    // From a full tour but its last number, the one move left is taken.
    std::vector<int> tour = SolveCompletion(SolverPosition{}).completion;
    tour.pop_back();
    for (const PlayPolicy policy : policies)
        EXPECT_EQ(PlayOn(tour, policy, random), 100);
}

} // namespace
} // namespace tovra::testing
