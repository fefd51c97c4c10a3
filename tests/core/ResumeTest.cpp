// The game in progress is kept after every change of the board, and drawn again at the next
// start exactly as play left it.
#include "GameTestSupport.h"

namespace tovra::testing {
namespace {

// Five numbers: 1 bt0505, 2 bt0805, 3 bt0802, 4 bt0502, 5 bt0202.
class ChangeTest : public GameFixture {
protected:
    void SetUp() override { Play({"bt0505", "bt0805", "bt0802", "bt0502", "bt0202"}); }
};

struct ChangeCase {
    const char* name;
    std::function<void(GameState&, InMemoryBoard&)> act;
    int changes; // notifications the action gives: one per change of the numbers or the mark
};

class ChangeCountTest : public ChangeTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ChangeCountTest, EveryChangeIsToldOnceAndNothingElse)
{
    gameChanges = 0;
    GetParam().act(game, board);
    EXPECT_EQ(gameChanges, GetParam().changes);
}

INSTANTIATE_TEST_SUITE_P(
    Actions, ChangeCountTest,
    ::testing::Values(
        ChangeCase{"legal_number", [](GameState& game, InMemoryBoard& board) { btClick(game, board, board.FindCell("bt0205")); }, 1},
        ChangeCase{"refused_number", [](GameState& game, InMemoryBoard& board) { btClick(game, board, board.FindCell("bt0909")); }, 0},
        ChangeCase{"mark_and_unmark",
                   [](GameState& game, InMemoryBoard& board) {
                       btMouseDown(game, board, board.FindCell("bt0805"), MouseButton::Right);
                       btMouseDown(game, board, board.FindCell("bt0805"), MouseButton::Right);
                   },
                   2},
        ChangeCase{"right_press_on_a_free_cell", [](GameState& game, InMemoryBoard& board) { btMouseDown(game, board, board.FindCell("bt0909"), MouseButton::Right); }, 0},
        ChangeCase{"undo_one", [](GameState& game, InMemoryBoard& board) { BtnUndo1Click(game, board); }, 1},
        ChangeCase{"undo_to_the_mark_one_per_step",
                   [](GameState& game, InMemoryBoard& board) {
                       btMouseDown(game, board, board.FindCell("bt0805"), MouseButton::Right);
                       BtnUndoMarcatoClick(game, board);
                   },
                   1 + 3},
        ChangeCase{"undo_to_a_number_one_per_step", [](GameState& game, InMemoryBoard& board) { UndoToNumber(game, board, 1); }, 4},
        ChangeCase{"redo_of_a_marked_number_the_number_then_its_mark",
                   [](GameState& game, InMemoryBoard& board) {
                       btMouseDown(game, board, board.FindCell("bt0202"), MouseButton::Right);
                       BtnUndo1Click(game, board);
                       Redo1Click(game, board);
                   },
                   1 + 1 + 2},
        ChangeCase{"new_game", [](GameState& game, InMemoryBoard& board) { Nuovapartita1Click(game, board); }, 1}),
    [](const auto& row) { return std::string(row.param.name); });

struct ResumeCase {
    const char* name;
    int marked; // 0: no mark
};

class ResumeTest : public ChangeTest, public ::testing::WithParamInterface<ResumeCase> {};

TEST_P(ResumeTest, DrawsTheBoardAsPlayLeftIt)
{
    BtnMosseClick(game, board);
    Click("bt0205"); // the hints go with a number, as they would before a save
    if (GetParam().marked > 0)
        RightPress(game.MoveHistory[GetParam().marked].Id());
    std::vector<BoardCell> cells;
    for (int number = 1; number <= game.MoveCount; ++number)
        cells.push_back(game.MoveHistory[number]);
    const std::string played = board.ToText();

    InMemoryBoard fresh;
    GameState resumed;
    int changes = 0;
    const BoardChanges::Subscription countingResumed = resumed.Changes.Subscribe([&] { ++changes; });
    ResumeGame(resumed, fresh, cells, GetParam().marked);

    EXPECT_EQ(fresh.ToText(), played);
    EXPECT_EQ(resumed.MoveCount, game.MoveCount);
    EXPECT_EQ(resumed.LastCell.Id(), game.LastCell.Id());
    EXPECT_EQ(resumed.MarkedCell.Id(), game.MarkedCell.Id());
    EXPECT_EQ(fresh.PanelText(Panel::ScorePanel), " Score: 6");
    EXPECT_EQ(changes, 0);
    ForEachCellId([&](const std::string& id, int, int) { EXPECT_EQ(fresh.At(id).bold, board.At(id).bold) << id; });
    EXPECT_EQ(BrokenInvariant(resumed, fresh), "");
}

INSTANTIATE_TEST_SUITE_P(Marks, ResumeTest,
                         ::testing::Values(ResumeCase{"no_mark", 0}, ResumeCase{"mark_on_a_middle_number", 2},
                                           ResumeCase{"mark_on_the_last_number", 6}),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace tovra::testing
