// The words for the history's games, which the window, its list and the printed report share.
#include "gamestore/HistoryText.h"

#include <gtest/gtest.h>

namespace tovra {
namespace {

TEST(HistoryTextTest, PlayedTimeShowsMinutesAndSecondsThenHoursFromAnHourOn)
{
    struct Row {
        std::int64_t ms;
        const char* text;
    };
    for (const Row& row : {Row{0, "0:00"}, Row{999, "0:00"}, Row{59'999, "0:59"}, Row{61'000, "1:01"},
                           Row{3'599'999, "59:59"}, Row{3'600'000, "1:00:00"}, Row{36'061'000, "10:01:01"},
                           Row{360'000'000, "100:00:00"}})
        EXPECT_EQ(PlayedTimeText(row.ms), row.text) << row.ms;
}

TEST(HistoryTextTest, EachEndHasItsOwnWords)
{
    EXPECT_EQ(GameEndText(GameEnd::Complete), "100 reached");
    EXPECT_EQ(GameEndText(GameEnd::Stuck), "No move left");
    EXPECT_EQ(GameEndText(GameEnd::Abandoned), "Abandoned");
}

} // namespace
} // namespace tovra
