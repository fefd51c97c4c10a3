#include "core/CellId.h"
#include "core/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tovra {
namespace {

TEST(CellIdTest, IdentifiersRoundTripThroughRowAndColumn)
{
    EXPECT_EQ(MakeCellId(1, 1), "bt0101");
    EXPECT_EQ(MakeCellId(10, 10), "bt1010");
    EXPECT_EQ(MakeCellId(3, 10), "bt0310");
    EXPECT_EQ(MakeCellId(7, 2, "lb"), "lb0702");
    for (int row = 1; row <= 10; ++row)
        for (int column = 1; column <= 10; ++column) {
            const std::string id = MakeCellId(row, column);
            ASSERT_EQ(id.size(), 6u);
            EXPECT_EQ(CellRow(id), row) << id;
            EXPECT_EQ(CellColumn(id), column) << id;
        }
}

TEST(CellIdTest, MalformedPartsReadAsZero)
{
    struct Row { const char* id; int row, column; };
    for (const Row r : {Row{"", 0, 0}, Row{"bt", 0, 0}, Row{"bt01", 1, 0}, Row{"bt0x05", 0, 5}, Row{"bt-112", 0, 12}}) {
        EXPECT_EQ(CellRow(r.id), r.row) << r.id;
        EXPECT_EQ(CellColumn(r.id), r.column) << r.id;
    }
}

TEST(CellIdTest, CellIndexesFollowTheBoardIdentifiers)
{
    const struct {
        const char* id;
        int index;
    } cases[] = {{"bt0101", 0}, {"bt0110", 9}, {"bt0310", 29}, {"bt1001", 90}, {"bt1010", 99},
                 {"bt0001", -1}, {"bt1101", -1}, {"bt0111", -1}, {"lb0101", -1},
                 {"bt010", -1}, {"bt01011", -1}, {"btx101", -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(CellIndexOf(c.id), c.index) << c.id;
        if (c.index != -1) {
            EXPECT_EQ(CellIdOf(c.index), c.id);
        }
    }
    EXPECT_EQ(CellIdOf(100), "");
    EXPECT_EQ(CellIdOf(-1), "");
}

TEST(DateTimeTest, DayCountsMatchTheCalendar)
{
    struct Row { int y, m, d; double days; };
    for (const Row row : {Row{1899, 12, 30, 0}, Row{1899, 12, 31, 1}, Row{1900, 1, 1, 2}, Row{1900, 3, 1, 61},
                          Row{2000, 1, 1, 36526}, Row{2007, 6, 15, 39248}, Row{9999, 12, 31, 2958465},
                          Row{1899, 12, 29, -1}}) {
        EXPECT_EQ(EncodeDate(row.y, row.m, row.d), row.days) << row.y << "-" << row.m << "-" << row.d;
        EXPECT_EQ(DecodeDate(row.days), (CivilDate{row.y, row.m, row.d})) << row.days;
    }
}

TEST(DateTimeTest, ValuesNoCalendarHoldsGiveTheEmptyDate)
{
    for (double value : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300, -1e18})
        EXPECT_EQ(DecodeDate(value), CivilDate{}) << value;
}

TEST(DateTimeTest, TimeOfDayIsTheFraction)
{
    const DateTime start = EncodeDateTime(2026, 12, 7, 23, 59, 0);
    const DateTime later = EncodeDateTime(2026, 12, 8, 1, 1, 5);
    EXPECT_EQ(SecondsOfDay(later - start), 3600 + 2 * 60 + 5);
    EXPECT_EQ(SecondsOfDay(EncodeDateTime(2026, 1, 1, 12, 0, 0)), 12 * 3600);
    EXPECT_EQ(DecodeDate(later), (CivilDate{2026, 12, 8}));
}

} // namespace
} // namespace tovra
