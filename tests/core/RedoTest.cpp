#include "GameTestSupport.h"

#include <functional>
#include <sstream>

namespace tovra::testing {
namespace {

// Five numbers: 1 bt0505, 2 bt0805, 3 bt0802, 4 bt0502, 5 bt0202.
class RedoTest : public GameFixture {
protected:
    void SetUp() override
    {
        board.now = 1;
        Play({"bt0505", "bt0805", "bt0802", "bt0502", "bt0202"});
    }
    void Redo() { Redo1Click(game, board); }

    // Everything a player can see of the game, and the state behind it.
    std::string Snapshot() const
    {
        std::ostringstream text;
        ForEachCellId([&](const std::string& id, int, int) {
            const auto& cell = board.At(id);
            text << id << '=' << cell.caption << '/' << cell.color << (cell.bold ? "b " : " ");
        });
        text << "| count " << int(game.MoveCount) << " last " << game.LastCell.Id() << " mark " << game.MarkedCell.Id()
             << " | " << board.PanelText(Panel::ScorePanel);
        for (int i = 1; i <= CellCount; ++i)
            text << ' ' << game.MoveHistory[i].Id();
        return text.str();
    }
};

// One way of taking numbers back, with the mark where it is set first.
struct UndoKind {
    const char* name;
    const char* mark; // "" for none
    std::function<void(GameState&, InMemoryBoard&)> undo;
    int numbersTakenBack;
};
void PrintTo(const UndoKind& c, std::ostream* os) { *os << c.name; }

class RedoAfterUndoTest : public RedoTest, public ::testing::WithParamInterface<UndoKind> {};

TEST_P(RedoAfterUndoTest, PlacesTheSameNumbersAgainWithTheMark)
{
    if (*GetParam().mark)
        RightPress(GetParam().mark);
    const std::string before = Snapshot();
    GetParam().undo(game, board);
    ASSERT_EQ(game.MoveCount, 5 - GetParam().numbersTakenBack);

    for (int i = 1; i <= GetParam().numbersTakenBack; ++i) {
        Redo();
        ASSERT_EQ(game.MoveCount, 5 - GetParam().numbersTakenBack + i);
        EXPECT_EQ(BrokenInvariant(game, board), "") << board.ToText();
    }
    EXPECT_EQ(Snapshot(), before);
    Redo(); // nothing is left to redo
    EXPECT_EQ(Snapshot(), before);
    EXPECT_TRUE(board.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    EachUndo, RedoAfterUndoTest,
    ::testing::Values(
        UndoKind{"undo_1_twice", "", [](GameState& g, InMemoryBoard& b) { BtnUndo1Click(g, b); BtnUndo1Click(g, b); }, 2},
        UndoKind{"undo_1_of_the_marked_number", "bt0202", [](GameState& g, InMemoryBoard& b) { BtnUndo1Click(g, b); }, 1},
        UndoKind{"undo_1_past_the_marked_number", "bt0502",
                 [](GameState& g, InMemoryBoard& b) { for (int i = 0; i < 3; ++i) BtnUndo1Click(g, b); }, 3},
        UndoKind{"undo_to_the_mark", "bt0805", [](GameState& g, InMemoryBoard& b) { BtnUndoMarcatoClick(g, b); }, 3},
        UndoKind{"undo_to_a_number_past_the_mark", "bt0502",
                 [](GameState& g, InMemoryBoard& b) { UndoToNumber(g, b, 1); }, 4},
        UndoKind{"undo_everything", "", [](GameState& g, InMemoryBoard& b) { while (g.MoveCount > 0) BtnUndo1Click(g, b); },
                 5}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(RedoTest, AnotherNumberLeavesNothingToRedo)
{
    BtnUndo1Click(game, board);
    BtnUndo1Click(game, board); // 4 on bt0502 and 5 on bt0202 can be redone
    Play({"bt1004"});           // 4 elsewhere
    const std::string after = Snapshot();
    Redo();
    EXPECT_EQ(Snapshot(), after);
}

TEST_F(RedoTest, TheSameNumberByHandKeepsTheRest)
{
    for (int i = 0; i < 3; ++i)
        BtnUndo1Click(game, board); // 3, 4 and 5 can be redone
    Play({"bt0802"});               // 3 where it was
    Redo();
    Redo();
    EXPECT_EQ(game.MoveCount, 5);
    EXPECT_EQ(Caption("bt0502"), "4");
    EXPECT_EQ(Caption("bt0202"), "5");
}

TEST_F(RedoTest, ANewGameLeavesNothingToRedo)
{
    BtnUndo1Click(game, board);
    Nuovapartita1Click(game, board);
    Redo();
    EXPECT_EQ(game.MoveCount, 0);
    EXPECT_FALSE(board.ClockEnabled());
    EXPECT_EQ(CellsColored(ResetColor).size(), 100u);
}

TEST_F(RedoTest, AMarkSetSinceStaysWhereThePlayerPutIt)
{
    RightPress("bt0202");
    BtnUndo1Click(game, board); // the mark goes with number 5
    RightPress("bt0805");
    Redo();
    EXPECT_EQ(Caption("bt0202"), "5");
    EXPECT_EQ(game.MarkedCell.Id(), "bt0805");
    EXPECT_EQ(ColorOf("bt0202"), NumberColor);
    EXPECT_EQ(BrokenInvariant(game, board), "");
}

TEST_F(RedoTest, MarkingAndHintsMeanwhileKeepWhatCanBeRedone)
{
    BtnUndo1Click(game, board);
    RightPress("bt0805");
    RightPress("bt0805");
    BtnMosseClick(game, board);
    Redo();
    EXPECT_EQ(Caption("bt0202"), "5");
    EXPECT_TRUE(CellsColored(HintColor).empty()); // cleared as a placement clears them
}

TEST_F(RedoTest, RedoStartsAStoppedClockAsAPlacementDoes)
{
    BtnUndo1Click(game, board);
    board.SetClockEnabled(false);
    board.now = 7;
    Redo();
    EXPECT_TRUE(board.ClockEnabled());
    EXPECT_EQ(game.StartTime, 7);
    EXPECT_EQ(board.PanelText(Panel::TimePanel), " Time: 0.00.00");
}

TEST_F(RedoTest, AStartupResetLeavesNothingToRedo)
{
    BtnUndo1Click(game, board);
    StartupReset(game, board);
    EXPECT_TRUE(game.RedoSteps.empty());
}

} // namespace
} // namespace tovra::testing
