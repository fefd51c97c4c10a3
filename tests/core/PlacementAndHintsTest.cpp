#include "GameTestSupport.h"

#include <algorithm>
#include <functional>

namespace tovra::testing {
namespace {

class PlacementTest : public GameFixture {};

TEST_F(PlacementTest, FirstClickStartsTheClockAndPlacesOne)
{
    board.now = 46000.25;
    Click("bt0505");
    EXPECT_TRUE(board.ClockEnabled());
    EXPECT_EQ(board.PanelText(Panel::TimePanel), " Time: 0.00.00");
    EXPECT_EQ(game.StartTime, 46000.25);
    EXPECT_EQ(Caption("bt0505"), "1");
    EXPECT_TRUE(IsBold("bt0505"));
    EXPECT_EQ(ColorOf("bt0505"), NumberColor);
    EXPECT_EQ(game.LastCell.Id(), "bt0505");
    EXPECT_EQ(game.MoveHistory[1].Id(), "bt0505");
    EXPECT_EQ(board.PanelText(Panel::ScorePanel), " Score: 1");
}

TEST_F(PlacementTest, SecondNumberTakesTheBoldAndTheScore)
{
    Play({"bt0505", "bt0805"});
    EXPECT_FALSE(IsBold("bt0505"));
    EXPECT_TRUE(IsBold("bt0805"));
    EXPECT_EQ(Caption("bt0805"), "2");
    EXPECT_EQ(board.PanelText(Panel::ScorePanel), " Score: 2");
}

TEST_F(PlacementTest, ClockStartsOnceAndOnlyWhileStopped)
{
    board.now = 100;
    Click("bt0505");
    board.now = 200;
    board.SetPanelText(Panel::TimePanel, " Time: 0.00.07");
    Click("bt0805");
    Click("bt0101"); // illegal: still no restart
    EXPECT_EQ(game.StartTime, 100);
    EXPECT_EQ(board.PanelText(Panel::TimePanel), " Time: 0.00.07");
}

TEST_F(PlacementTest, IllegalOrNumberedCellsChangeNothingButTheClock)
{
    Play({"bt0505"});
    const std::string before = board.ToText();
    for (const char* id : {"bt0505", "bt0506", "bt0101"})
        Click(id);
    EXPECT_EQ(board.ToText(), before);
    EXPECT_EQ(game.MoveCount, 1);
    EXPECT_TRUE(board.messages.empty());
}

TEST_F(PlacementTest, LegalMoveClearsHintsToFreeColourAndKeepsTheMark)
{
    Play({"bt0505"});
    RightPress("bt0505");
    BtnMosseClick(game, board);
    Click("bt0506"); // illegal: the hints stay
    EXPECT_EQ(CellsColored(HintColor).size(), 8u);
    Click("bt0205");
    EXPECT_TRUE(CellsColored(HintColor).empty());
    EXPECT_EQ(ColorOf("bt0307"), FreeColor);
    EXPECT_EQ(ColorOf("bt0505"), MarkColor);
    EXPECT_EQ(ColorOf("bt0205"), NumberColor);
}

TEST_F(PlacementTest, AFullBoardEndsAtOneHundred)
{
    // A complete tour, searched for on each run: Warnsdorff order (fewest onward moves first)
    // with backtracking, which finds one from the top-left corner at once.
    std::vector<std::string> tour;
    std::vector<bool> used(100, false);
    std::function<bool(int, int)> extend = [&](int row, int column) {
        tour.push_back(MakeCellId(row, column));
        used[(row - 1) * 10 + column - 1] = true;
        if (tour.size() == 100)
            return true;
        std::vector<std::pair<int, std::string>> next;
        ForEachTarget(tour.back(), [&](const std::string& id) {
            if (used[(CellRow(id) - 1) * 10 + CellColumn(id) - 1])
                return;
            int onward = 0;
            ForEachTarget(id, [&](const std::string& t) { onward += !used[(CellRow(t) - 1) * 10 + CellColumn(t) - 1]; });
            next.emplace_back(onward, id);
        });
        std::stable_sort(next.begin(), next.end(), [](auto& a, auto& b) { return a.first < b.first; });
        for (auto& [onward, id] : next)
            if (extend(CellRow(id), CellColumn(id)))
                return true;
        used[(row - 1) * 10 + column - 1] = false;
        tour.pop_back();
        return false;
    };
    ASSERT_TRUE(extend(1, 1));

    for (const std::string& id : tour) {
        EXPECT_FALSE(NoMovesLeft(game, board)) << game.MoveCount;
        Click(id);
    }
    EXPECT_EQ(game.MoveCount, 100);
    EXPECT_EQ(board.PanelText(Panel::ScorePanel), " Score: 100");
    for (int i = 1; i <= 100; ++i)
        EXPECT_FALSE(game.MoveHistory[i].Id().empty()) << i;
    EXPECT_TRUE(NoMovesLeft(game, board));
    EXPECT_EQ(BrokenInvariant(game, board), "");
}

class HintsTest : public GameFixture {};

TEST_F(HintsTest, EmptyBoardShowsTheMessageAndIsNeverOver)
{
    BtnMosseClick(game, board);
    EXPECT_EQ(board.messages, std::vector<std::string>{"The game is empty!"});
    EXPECT_TRUE(CellsColored(HintColor).empty());
    EXPECT_FALSE(NoMovesLeft(game, board));
}

TEST_F(HintsTest, HighlightsOnlyFreeTargetsAndRepeatsHarmlessly)
{
    Play({"bt0101", "bt0104", "bt0404", "bt0401"});
    // From bt0401: bt0101 and bt0404 are numbered, bt0203, bt0603 and bt0701 free.
    BtnMosseClick(game, board);
    BtnMosseClick(game, board);
    EXPECT_EQ(CellsColored(HintColor), (std::vector<std::string>{"bt0203", "bt0603", "bt0701"}));
    EXPECT_TRUE(board.messages.empty());
}

TEST_F(HintsTest, OneFreeTargetLeftKeepsTheGameGoingEvenWhenHighlighted)
{
    // Ends on bt0101 with bt0104 and bt0303 numbered: only bt0401 is free.
    Play({"bt0102", "bt0105", "bt0108", "bt0310", "bt0610", "bt0808", "bt0508", "bt0505", "bt0303", "bt0306",
          "bt0104", "bt0101"});
    BtnMosseClick(game, board);
    EXPECT_EQ(CellsColored(HintColor), std::vector<std::string>{"bt0401"});
    EXPECT_FALSE(NoMovesLeft(game, board));
}

TEST_F(HintsTest, NoFreeTargetMeansTheGameIsOver)
{
    // Ends on bt0101 with all three of its targets numbered.
    Play({"bt0102", "bt0105", "bt0108", "bt0310", "bt0508", "bt0505", "bt0303", "bt0306", "bt0104", "bt0404",
          "bt0401", "bt0101"});
    BtnMosseClick(game, board);
    EXPECT_TRUE(CellsColored(HintColor).empty());
    EXPECT_TRUE(board.messages.empty());
    EXPECT_TRUE(NoMovesLeft(game, board));
}

TEST_F(HintsTest, RightAfterTheFirstNumberTheGameIsNeverOver)
{
    ForEachCellId([&](const std::string& id, int, int) {
        Nuovapartita1Click(game, board);
        Play({id.c_str()});
        EXPECT_FALSE(NoMovesLeft(game, board)) << id;
    });
}

} // namespace
} // namespace tovra::testing
