// A board that comes with numbers 1..k: the player's numbers behave as in any game, the given
// ones stay on the board whatever the player presses.
#include "GameTestSupport.h"

namespace tovra::testing {
namespace {

class GivenBoardTest : public GameFixture {
protected:
    // Numbers 1..3 given on a legal path, then the player places 4 and 5.
    void SetUp() override
    {
        StartGivenBoard(game, board, {BoardCell::FromId("bt0101"), BoardCell::FromId("bt0104"), BoardCell::FromId("bt0107")});
        Play({"bt0407", "bt0404"});
    }
    int Numbers() const { return game.MoveCount; }
};

TEST_F(GivenBoardTest, GivenNumbersAreDrawnAsGivenAndTheLastIsBold)
{
    EXPECT_EQ(game.GivenCount, 3);
    for (const char* id : {"bt0101", "bt0104", "bt0107"})
        EXPECT_TRUE(board.At(id).given) << id;
    for (const char* id : {"bt0407", "bt0404"})
        EXPECT_FALSE(board.At(id).given) << id;
    EXPECT_EQ(Caption("bt0107"), "3");
    EXPECT_EQ(Caption("bt0404"), "5");
    EXPECT_EQ(BrokenInvariant(game, board), "");
}

TEST_F(GivenBoardTest, UndoStopsAtTheGivenNumbersWithItsOwnMessage)
{
    BtnUndo1Click(game, board);
    BtnUndo1Click(game, board);
    EXPECT_EQ(Numbers(), 3);
    EXPECT_TRUE(board.messages.empty());
    BtnUndo1Click(game, board);
    EXPECT_EQ(Numbers(), 3);
    ASSERT_EQ(board.messages.size(), 1u);
    EXPECT_EQ(board.messages[0], GivenNumbersStayMessage);
    EXPECT_TRUE(IsBold("bt0107"));
    // Redo brings back what the player took back.
    Redo1Click(game, board);
    Redo1Click(game, board);
    EXPECT_EQ(Numbers(), 5);
}

TEST_F(GivenBoardTest, GivenNumbersCannotBeMarked)
{
    const int changes = gameChanges;
    RightPress("bt0104");
    EXPECT_TRUE(game.MarkedCell.Id().empty());
    EXPECT_EQ(ColorOf("bt0104"), NumberColor);
    EXPECT_EQ(gameChanges, changes);
    RightPress("bt0407");
    EXPECT_EQ(game.MarkedCell.Id(), "bt0407");
}

TEST_F(GivenBoardTest, UndoWalksStopAtTheGivenNumbers)
{
    RightPress("bt0407");
    BtnUndoMarcatoClick(game, board);
    EXPECT_EQ(Numbers(), 4);
    UndoToNumber(game, board, 1);
    EXPECT_EQ(Numbers(), 3);
    EXPECT_EQ(game.MoveHistory[3].Id(), "bt0107");
}

TEST_F(GivenBoardTest, MovesAndTheEndWorkFromThePlayersNumbers)
{
    BtnMosseClick(game, board);
    EXPECT_FALSE(CellsColored(HintColor).empty());
    EXPECT_FALSE(NoMovesLeft(game, board));
}

TEST_F(GivenBoardTest, ANewGameIsAnOrdinaryGameAgain)
{
    Nuovapartita1Click(game, board);
    EXPECT_EQ(game.GivenCount, 0);
    EXPECT_FALSE(board.At("bt0101").given);
    Play({"bt0101", "bt0104"});
    BtnUndo1Click(game, board);
    BtnUndo1Click(game, board);
    EXPECT_EQ(Numbers(), 0);
    EXPECT_TRUE(board.messages.empty());
}

} // namespace
} // namespace tovra::testing
