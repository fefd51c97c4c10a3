#include "GameTestSupport.h"

namespace tovra::testing {
namespace {

// Five numbers: 1 bt0505, 2 bt0805, 3 bt0802, 4 bt0502, 5 bt0202.
class MarkAndUndoTest : public GameFixture {
protected:
    void SetUp() override { Play({"bt0505", "bt0805", "bt0802", "bt0502", "bt0202"}); }
    void UndoToMark() { BtnUndoMarcatoClick(game, board); }
    void UndoOne() { BtnUndo1Click(game, board); }
};

struct MarkCase {
    const char* name;
    std::vector<std::pair<const char*, MouseButton>> presses;
    const char* expectedMark; // "" for none
};

class MarkToggleTest : public MarkAndUndoTest, public ::testing::WithParamInterface<MarkCase> {};

TEST_P(MarkToggleTest, LeavesTheExpectedMark)
{
    for (const auto& [id, button] : GetParam().presses)
        Press(id, button);
    EXPECT_EQ(game.MarkedCell.Id(), GetParam().expectedMark);
    const auto red = CellsColored(MarkColor);
    EXPECT_EQ(red.size(), std::string(GetParam().expectedMark).empty() ? 0u : 1u);
    EXPECT_EQ(BrokenInvariant(game, board), "") << board.ToText();
    EXPECT_EQ(CellsColored(NumberColor).size() + red.size(), 5u);
}

constexpr auto R = MouseButton::Right;
constexpr auto L = MouseButton::Left;
constexpr auto M = MouseButton::Middle;
INSTANTIATE_TEST_SUITE_P(
    Presses, MarkToggleTest,
    ::testing::Values(MarkCase{"right_on_a_numbered_cell_marks_it", {{"bt0805", R}}, "bt0805"},
                      MarkCase{"right_on_a_free_cell_does_nothing", {{"bt0101", R}}, ""},
                      MarkCase{"right_on_the_marked_cell_unmarks_it", {{"bt0805", R}, {"bt0805", R}}, ""},
                      MarkCase{"right_on_another_cell_moves_the_mark", {{"bt0805", R}, {"bt0502", R}}, "bt0502"},
                      MarkCase{"double_right_click_elsewhere_leaves_no_mark",
                               {{"bt0805", R}, {"bt0502", R}, {"bt0502", R}}, ""},
                      MarkCase{"double_right_click_on_the_marked_cell_keeps_it",
                               {{"bt0805", R}, {"bt0805", R}, {"bt0805", R}}, "bt0805"},
                      MarkCase{"left_and_middle_never_mark", {{"bt0805", L}, {"bt0805", M}}, ""},
                      MarkCase{"left_and_middle_never_unmark", {{"bt0805", R}, {"bt0805", L}, {"bt0805", M}}, "bt0805"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(MarkAndUndoTest, MarkingTheLastCellKeepsItBold)
{
    RightPress("bt0202");
    EXPECT_EQ(ColorOf("bt0202"), MarkColor);
    EXPECT_TRUE(IsBold("bt0202"));
    EXPECT_EQ(Caption("bt0202"), "5");
}

TEST_F(MarkAndUndoTest, UndoOneFreesTheLastCellAndBoldsThePrevious)
{
    BtnMosseClick(game, board);
    UndoOne();
    EXPECT_EQ(Caption("bt0202"), "");
    EXPECT_EQ(ColorOf("bt0202"), FreeColor);
    EXPECT_FALSE(IsBold("bt0202"));
    EXPECT_TRUE(IsBold("bt0502"));
    EXPECT_EQ(game.LastCell.Id(), "bt0502");
    EXPECT_EQ(board.PanelText(Panel::ScorePanel), " Score: 4");
    EXPECT_TRUE(CellsColored(HintColor).empty());
    EXPECT_FALSE(CellsColored(ResetColor).empty()); // the cleared hints
    EXPECT_EQ(BrokenInvariant(game, board), "");
}

TEST_F(MarkAndUndoTest, UndoingEverythingKeepsTheClockAndAcceptsAnyFirstNumber)
{
    board.now = 5;
    for (int i = 0; i < 5; ++i)
        UndoOne();
    EXPECT_EQ(game.MoveCount, 0);
    EXPECT_EQ(board.PanelText(Panel::ScorePanel), " Score: 0");
    EXPECT_TRUE(board.ClockEnabled());
    UndoOne();
    EXPECT_EQ(board.messages, std::vector<std::string>{"The game is empty!"});
    Play({"bt1010"}); // far from the old last cell
    EXPECT_EQ(Caption("bt1010"), "1");
    EXPECT_EQ(game.StartTime, 0);
}

TEST_F(MarkAndUndoTest, UndoOneOnAnEmptyBoardKeepsTheHighlights)
{
    Nuovapartita1Click(game, board);
    board.SetCellColor(board.FindCell("bt0303"), HintColor);
    UndoOne();
    EXPECT_EQ(ColorOf("bt0303"), HintColor);
    EXPECT_EQ(board.messages, std::vector<std::string>{"The game is empty!"});
}

TEST_F(MarkAndUndoTest, UndoingTheMarkedNumberTakesTheMarkAlong)
{
    RightPress("bt0202");
    UndoOne();
    EXPECT_EQ(game.MarkedCell.Id(), "");
    EXPECT_TRUE(CellsColored(MarkColor).empty());
    UndoToMark();
    EXPECT_EQ(board.messages, std::vector<std::string>{"No marked position!"});
}

TEST_F(MarkAndUndoTest, UndoToMarkRemovesLaterNumbersOneStepAtATime)
{
    RightPress("bt0805");
    BtnMosseClick(game, board);
    std::vector<int> countsSeen;
    board.onDispatch = [&] { countsSeen.push_back(game.MoveCount); };
    UndoToMark();
    EXPECT_EQ(countsSeen, (std::vector<int>{4, 3, 2}));
    EXPECT_EQ(board.pauses.size(), countsSeen.size()); // one pause after each step
    EXPECT_EQ(game.MoveCount, 2);
    EXPECT_EQ(game.LastCell.Id(), "bt0805");
    EXPECT_EQ(game.MarkedCell.Id(), "bt0805");
    EXPECT_EQ(ColorOf("bt0805"), MarkColor);
    EXPECT_TRUE(IsBold("bt0805"));
    EXPECT_EQ(board.PanelText(Panel::ScorePanel), " Score: 2");
    EXPECT_TRUE(CellsColored(HintColor).empty());
    EXPECT_EQ(BrokenInvariant(game, board), "");
}

TEST_F(MarkAndUndoTest, UndoToMarkOnTheHighestNumberOnlyClearsHints)
{
    RightPress("bt0202");
    BtnMosseClick(game, board);
    board.SetPanelText(Panel::ScorePanel, "untouched");
    UndoToMark();
    EXPECT_EQ(game.MoveCount, 5);
    EXPECT_TRUE(CellsColored(HintColor).empty());
    EXPECT_TRUE(board.pauses.empty());
    EXPECT_EQ(board.PanelText(Panel::ScorePanel), "untouched");
}

TEST_F(MarkAndUndoTest, EmptyBoardMessageWinsOverNoMark)
{
    Nuovapartita1Click(game, board);
    UndoToMark();
    EXPECT_EQ(board.messages, std::vector<std::string>{"The game is empty!"});
}

// What the player does while the undo animation dispatches events.
struct InterruptCase {
    const char* name;
    std::function<void(GameState&, InMemoryBoard&)> action;
    int expectedCount;
    const char* expectedMark;
};
void PrintTo(const InterruptCase& c, std::ostream* os) { *os << c.name; }

class UndoInterruptTest : public MarkAndUndoTest, public ::testing::WithParamInterface<InterruptCase> {};

TEST_P(UndoInterruptTest, StopsOrRetargetsWithoutBreakingTheGame)
{
    RightPress("bt0805"); // number 2: the walk would stop at a count of 2
    bool once = false;
    board.onDispatch = [&] {
        EXPECT_EQ(BrokenInvariant(game, board), "");
        if (!once) {
            once = true; // after number 5 went
            GetParam().action(game, board);
        }
    };
    UndoToMark();
    EXPECT_EQ(game.MoveCount, GetParam().expectedCount) << board.ToText();
    EXPECT_EQ(game.MarkedCell.Id(), GetParam().expectedMark);
    EXPECT_EQ(BrokenInvariant(game, board), "") << board.ToText();
}

INSTANTIATE_TEST_SUITE_P(
    DuringAnimation, UndoInterruptTest,
    ::testing::Values(
        InterruptCase{"new_game_stops_it", [](GameState& g, InMemoryBoard& b) { Nuovapartita1Click(g, b); }, 0, ""},
        InterruptCase{"new_game_then_a_first_number_stops_it",
                      [](GameState& g, InMemoryBoard& b) {
                          Nuovapartita1Click(g, b);
                          btClick(g, b, b.FindCell("bt0909"));
                          btMouseDown(g, b, b.FindCell("bt0909"), MouseButton::Right);
                      },
                      1, "bt0909"},
        InterruptCase{"unmarking_stops_it",
                      [](GameState& g, InMemoryBoard& b) { btMouseDown(g, b, b.FindCell("bt0805"), MouseButton::Right); },
                      4, ""},
        InterruptCase{"undoing_down_past_the_mark_stops_it",
                      [](GameState& g, InMemoryBoard& b) {
                          for (int i = 0; i < 3; ++i)
                              BtnUndo1Click(g, b);
                      },
                      1, ""},
        InterruptCase{"undoing_everything_stops_it",
                      [](GameState& g, InMemoryBoard& b) {
                          while (g.MoveCount > 0)
                              BtnUndo1Click(g, b);
                      },
                      0, ""},
        InterruptCase{"marking_a_lower_number_goes_on_to_it",
                      [](GameState& g, InMemoryBoard& b) { btMouseDown(g, b, b.FindCell("bt0505"), MouseButton::Right); },
                      1, "bt0505"},
        InterruptCase{"marking_the_top_number_stops_there",
                      [](GameState& g, InMemoryBoard& b) { btMouseDown(g, b, b.FindCell("bt0502"), MouseButton::Right); },
                      4, "bt0502"},
        InterruptCase{"a_nested_undo_to_mark_finishes_the_job",
                      [](GameState& g, InMemoryBoard& b) { BtnUndoMarcatoClick(g, b); }, 2, "bt0805"},
        InterruptCase{"a_new_number_is_taken_back_too",
                      [](GameState& g, InMemoryBoard& b) { btClick(g, b, b.FindCell("bt0505")); /* refused */
                                                           btClick(g, b, b.FindCell("bt0202")); },
                      2, "bt0805"}),
    [](const auto& row) { return std::string(row.param.name); });

// "Undo to N" after "Can 100 still be reached?": down to number 2 unless the player acts
// during the animation.
struct UndoToNumberCase {
    const char* name;
    std::function<void(GameState&, InMemoryBoard&)> action; // at the first step's dispatch
    int expectedCount;
};

class UndoToNumberTest : public MarkAndUndoTest, public ::testing::WithParamInterface<UndoToNumberCase> {};

TEST_P(UndoToNumberTest, TakesNumbersBackAsUndo1UntilThePlayerActs)
{
    RightPress("bt0502"); // number 4: the mark goes with it
    BtnMosseClick(game, board);
    bool once = false;
    board.onDispatch = [&] {
        EXPECT_EQ(BrokenInvariant(game, board), "");
        EXPECT_TRUE(CellsColored(HintColor).empty());
        if (!once && GetParam().action) {
            once = true;
            GetParam().action(game, board);
        }
    };
    UndoToNumber(game, board, 2);
    EXPECT_EQ(game.MoveCount, GetParam().expectedCount) << board.ToText();
    EXPECT_EQ(BrokenInvariant(game, board), "") << board.ToText();
}

INSTANTIATE_TEST_SUITE_P(
    Animation, UndoToNumberTest,
    ::testing::Values(
        UndoToNumberCase{"left_alone_it_stops_at_the_number", nullptr, 2},
        UndoToNumberCase{"a_new_game_stops_it", [](GameState& g, InMemoryBoard& b) { Nuovapartita1Click(g, b); }, 0},
        UndoToNumberCase{"a_new_number_stops_it",
                         [](GameState& g, InMemoryBoard& b) { btClick(g, b, b.FindCell("bt0304")); }, 5},
        UndoToNumberCase{"an_undo_meanwhile_still_ends_at_the_number",
                         [](GameState& g, InMemoryBoard& b) { BtnUndo1Click(g, b); }, 2}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(MarkAndUndoTest, UndoToNumberTakesTheMarkAlongWithItsNumber)
{
    RightPress("bt0502");
    UndoToNumber(game, board, 3);
    EXPECT_EQ(game.MoveCount, 3);
    EXPECT_EQ(game.MarkedCell.Id(), "");
    EXPECT_TRUE(CellsColored(MarkColor).empty());
    EXPECT_EQ(board.pauses.size(), 2u); // one pause after each of the two steps
}

class ResetTest : public GameFixture {};

TEST_F(ResetTest, NewGameClearsEverythingAndRecoloursEveryCell)
{
    Play({"bt0505", "bt0805"});
    RightPress("bt0505");
    BtnMosseClick(game, board);
    Nuovapartita1Click(game, board);
    EXPECT_EQ(game.MoveCount, 0);
    EXPECT_EQ(game.MarkedCell.Id(), "");
    EXPECT_EQ(game.LastCell.Id(), "");
    EXPECT_FALSE(board.ClockEnabled());
    EXPECT_EQ(board.PanelText(Panel::ScorePanel), "");
    EXPECT_EQ(board.PanelText(Panel::TimePanel), "");
    EXPECT_EQ(CellsColored(ResetColor).size(), 100u);
    for (int i = 1; i <= 100; ++i)
        EXPECT_EQ(game.MoveHistory[i].Id(), "");
    EXPECT_EQ(BrokenInvariant(game, board), "");
}

TEST_F(ResetTest, NewGameOnAnEmptyBoardStillRecolours)
{
    Nuovapartita1Click(game, board);
    EXPECT_EQ(CellsColored(ResetColor).size(), 100u);
}

TEST_F(ResetTest, StartupResetBlanksPanelsAndLeavesCellsAndClock)
{
    board.SetPanelText(Panel::ScorePanel, " Score:");
    board.SetPanelText(Panel::TimePanel, " Time:");
    StartupReset(game, board);
    EXPECT_EQ(board.PanelText(Panel::ScorePanel), "");
    EXPECT_EQ(board.PanelText(Panel::TimePanel), "");
    EXPECT_EQ(CellsColored(FreeColor).size(), 100u);
    EXPECT_FALSE(board.ClockEnabled());
}

} // namespace
} // namespace tovra::testing
