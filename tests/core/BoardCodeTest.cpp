// Board codes: every legal game reads back exactly, the format's own values stay fixed, and
// each kind of bad paste is refused with its own fault and message.
#include "core/BoardCode.h"
#include "core/Solver.h"
#include "core/SplitMix64.h"

#include "MoveArithmetic.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace tovra::testing {
namespace {

// A game of random legal moves from a random cell, to its end or to `stopAt` numbers.
std::vector<int> RandomGame(SplitMix64& random, int stopAt)
{
    std::vector<int> cells{static_cast<int>(random.Below(100))};
    std::vector<bool> used(100, false);
    used[static_cast<std::size_t>(cells[0])] = true;
    while (static_cast<int>(cells.size()) < stopAt) {
        std::vector<int> free;
        for (int cell = 0; cell < 100; ++cell)
            if (!used[static_cast<std::size_t>(cell)] && IsMove(cells.back(), cell))
                free.push_back(cell);
        if (free.empty())
            break;
        cells.push_back(free[random.Below(static_cast<std::uint32_t>(free.size()))]);
        used[static_cast<std::size_t>(cells.back())] = true;
    }
    return cells;
}

// A full tour of the board, as the solver finds one from the empty board.
std::vector<int> FullTour()
{
    return SolveCompletion(SolverPosition{}).completion;
}

TEST(BoardCode, TenThousandRandomGamesReadBackExactly)
{
    SplitMix64 random(20261208);
    std::set<std::string> codes;
    for (int game = 0; game < 10000; ++game) {
        // Finished games and positions cut anywhere along them alike.
        const int stopAt = game % 2 == 0 ? 100 : 1 + static_cast<int>(random.Below(100));
        const std::vector<int> cells = RandomGame(random, stopAt);
        const std::string code = EncodeBoardCode(cells);
        const BoardCodeReading reading = ReadBoardCode(code);
        ASSERT_EQ(reading.fault, BoardCodeFault::None) << code << ": " << reading.message;
        ASSERT_EQ(reading.cells, cells) << code;
        ASSERT_TRUE(reading.message.empty());
        codes.insert(code);
    }
    EXPECT_GT(codes.size(), 9900u) << "different games must give different codes";
}

TEST(BoardCode, AFullTourReadsBackAndStaysShort)
{
    const std::vector<int> tour = FullTour();
    ASSERT_EQ(tour.size(), 100u);
    const std::string code = EncodeBoardCode(tour);
    EXPECT_EQ(code.size(), 146u); // version, 101 times 7 bits in 142 symbols, check
    EXPECT_EQ(ReadBoardCode(code).cells, tour);
}

// The format's own values: a code handed out today must read the same board for good. The
// symbols before the check can be worked out by hand: "1" for the version, then 7 bits of
// count and 7 bits per cell, 5 bits a symbol ("1080": count 1, cell 0, padded).
TEST(BoardCode, FormatValuesStayFixed)
{
    struct Row {
        std::vector<int> cells;
        const char* code;
    };
    const Row rows[] = {
        {{}, "100QHK"},
        {{0}, "1080Z1C"},
        {{0, 3, 6, 9}, "11001GR9B5W"},
        {{99, 69, 39, 9}, "11672MW9QHD"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(EncodeBoardCode(row.cells), row.code);
        EXPECT_EQ(ReadBoardCode(row.code).cells, row.cells) << row.code;
    }
}

TEST(BoardCode, PastesFromChatsAreReadAlike)
{
    SplitMix64 random(7);
    const std::vector<int> cells = RandomGame(random, 30);
    const std::string code = EncodeBoardCode(cells);
    std::string lower;
    for (const char c : code)
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const std::string broken = "  " + code.substr(0, 10) + "-" + code.substr(10, 7) + "\n" + code.substr(17) + "\t";
    for (const std::string& paste : {lower, broken}) {
        const BoardCodeReading reading = ReadBoardCode(paste);
        EXPECT_EQ(reading.fault, BoardCodeFault::None) << paste << ": " << reading.message;
        EXPECT_EQ(reading.cells, cells);
    }
}

// Every single mistyped symbol anywhere in a code is caught, whichever symbol it became.
TEST(BoardCode, EverySingleMistypeIsRefused)
{
    SplitMix64 random(11);
    for (const int length : {1, 17, 45, 100}) {
        const std::string code = EncodeBoardCode(RandomGame(random, length));
        for (std::size_t at = 0; at < code.size(); ++at) {
            for (const char symbol : BoardCodeSymbols) {
                if (symbol == code[at])
                    continue;
                std::string typo = code;
                typo[at] = symbol;
                EXPECT_NE(ReadBoardCode(typo).fault, BoardCodeFault::None) << code << " at " << at;
            }
        }
    }
}

TEST(BoardCode, EachBadPasteIsRefusedWithItsOwnMessage)
{
    SplitMix64 random(3);
    const std::string good = EncodeBoardCode(RandomGame(random, 40));
    std::string swapped = good;
    std::swap(swapped[5], swapped[6]);
    if (swapped == good)
        std::swap(swapped[5], swapped[7]);
    std::vector<int> tooMany(101);
    for (int i = 0; i < 101; ++i)
        tooMany[static_cast<std::size_t>(i)] = i % 100;
    std::string newer = EncodeBoardCode({0, 3});
    newer[0] = '2';

    struct Row {
        const char* name;
        std::string paste;
        BoardCodeFault fault;
        const char* messagePart;
    };
    const Row rows[] = {
        {"empty paste", "", BoardCodeFault::Empty, "empty"},
        {"blanks only", " \n\t- ", BoardCodeFault::Empty, "empty"},
        {"character outside the alphabet", good.substr(0, 8) + "U" + good.substr(9), BoardCodeFault::ForeignCharacter, "\"U\""},
        {"punctuation", good + "!", BoardCodeFault::ForeignCharacter, "\"!\""},
        {"non-ASCII byte", good.substr(0, 3) + "\xc3\xa9" + good.substr(3), BoardCodeFault::ForeignCharacter, "a character"},
        {"too short", "10A", BoardCodeFault::TooShort, "too short"},
        {"newer version", newer, BoardCodeFault::NewerVersion, "newer version"},
        {"wrong check", good.substr(0, good.size() - 1) + (good.back() == '0' ? "1" : "0"), BoardCodeFault::WrongCheck, "check"},
        {"two symbols swapped", swapped, BoardCodeFault::WrongCheck, "check"},
        {"a symbol missing", good.substr(0, 10) + good.substr(11), BoardCodeFault::WrongCheck, "check"},
        {"more than 100 cells", EncodeBoardCode(tooMany), BoardCodeFault::TooManyCells, "101 cells"},
        {"cell off the board", EncodeBoardCode({0, 103}), BoardCodeFault::CellOffBoard, "Number 2"},
        {"cell used twice", EncodeBoardCode({0, 3, 0}), BoardCodeFault::CellUsedTwice, "numbers 1 and 3"},
        {"illegal jump", EncodeBoardCode({0, 3, 4}), BoardCodeFault::IllegalJump, "number 3 (row 1, column 5)"},
        {"first cell of a jump twice over", EncodeBoardCode({55, 55}), BoardCodeFault::CellUsedTwice, "numbers 1 and 2"},
    };
    std::set<std::string> messages;
    for (const Row& row : rows) {
        const BoardCodeReading reading = ReadBoardCode(row.paste);
        EXPECT_EQ(reading.fault, row.fault) << row.name << ": " << reading.message;
        EXPECT_NE(reading.message.find(row.messagePart), std::string::npos) << row.name << ": " << reading.message;
        EXPECT_TRUE(reading.cells.empty()) << row.name;
        messages.insert(reading.message);
    }
    EXPECT_GE(messages.size(), 12u) << "each kind of fault says what it is";
}

TEST(BoardCode, EncodingRefusesWhatTheFormatCannotHold)
{
    EXPECT_THROW(EncodeBoardCode(std::vector<int>(128, 0)), std::invalid_argument);
    EXPECT_THROW(EncodeBoardCode({128}), std::invalid_argument);
    EXPECT_THROW(EncodeBoardCode({-1}), std::invalid_argument);
}

} // namespace
} // namespace tovra::testing
