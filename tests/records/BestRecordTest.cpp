#include "records/BestRecord.h"

#include "TestFiles.h"
#include "core/SplitMix64.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace tovra {
namespace {

using testing::Bytes;

Bytes RecordBytes(const BestRecord& record)
{
    Bytes bytes(RecordSize);
    EncodeRecord(record, std::span<std::uint8_t, RecordSize>(bytes.data(), RecordSize));
    return bytes;
}

Bytes FreshRecordBytes()
{
    Bytes bytes(RecordSize, 0);
    bytes[0] = 0x05;
    std::fill_n(bytes.begin() + 1, 5, 0x2D);
    return bytes;
}

TEST(BestRecordTest, FreshRecordIsFiveHyphensThenZeros)
{
    EXPECT_EQ(RecordBytes(FreshRecord()), FreshRecordBytes());
    EXPECT_EQ(RecordBytes(ZeroRecord()), Bytes(RecordSize, 0));

    const Bytes table = testing::TableBytes(FreshTable());
    ASSERT_EQ(table.size(), 2880u);
    for (std::size_t i = 0; i < 20; ++i) {
        const auto start = table.begin() + static_cast<std::ptrdiff_t>(i * 144);
        EXPECT_EQ(Bytes(start, start + 144), FreshRecordBytes()) << "rank " << i + 1;
    }
}

struct OffsetRow {
    const char* field;
    std::function<void(BestRecord&)> set;
    std::size_t offset;
    Bytes expected;
};

void PrintTo(const OffsetRow& row, std::ostream* out) { *out << row.field; }

class FieldOffsetTest : public ::testing::TestWithParam<OffsetRow> {};

TEST_P(FieldOffsetTest, FieldIsEncodedAtItsOffsetAndNowhereElse)
{
    BestRecord record;
    GetParam().set(record);
    Bytes expected(RecordSize, 0);
    std::copy(GetParam().expected.begin(), GetParam().expected.end(), expected.begin() + GetParam().offset);
    EXPECT_EQ(RecordBytes(record), expected);
    EXPECT_EQ(DecodeRecord(std::span<const std::uint8_t, RecordSize>(expected.data(), RecordSize)), record);
}

INSTANTIATE_TEST_SUITE_P(
    Layout, FieldOffsetTest,
    ::testing::Values(
        OffsetRow{"name_length", [](BestRecord& r) { r.NameLength = 0xA1; }, 0, {0xA1}},
        OffsetRow{"first_name_byte", [](BestRecord& r) { r.NameChars[0] = 0xB2; }, 1, {0xB2}},
        OffsetRow{"last_name_byte", [](BestRecord& r) { r.NameChars[29] = 0xB3; }, 30, {0xB3}},
        OffsetRow{"score", [](BestRecord& r) { r.Score = 0xC3; }, 31, {0xC3}},
        OffsetRow{"date_one_day", [](BestRecord& r) { r.SetDate(1.0); }, 32, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
        OffsetRow{"date_2007_06_15", [](BestRecord& r) { r.SetDate(39248.0); }, 32, {0, 0, 0, 0, 0, 0x2A, 0xE3, 0x40}},
        OffsetRow{"scheme_top_left", [](BestRecord& r) { r.SetSchemeAt(1, 1, 0xD4); }, 40, {0xD4}},
        OffsetRow{"scheme_row2_column3", [](BestRecord& r) { r.SetSchemeAt(2, 3, 0xD5); }, 52, {0xD5}},
        OffsetRow{"scheme_bottom_right", [](BestRecord& r) { r.SetSchemeAt(10, 10, 0xD6); }, 139, {0xD6}},
        OffsetRow{"reserved", [](BestRecord& r) { r.Reserved = {0xE5, 0, 0, 0xE6}; }, 140, {0xE5, 0, 0, 0xE6}}),
    [](const auto& row) { return std::string(row.param.field); });

TEST(BestRecordTest, AnyFileImageSurvivesDecodingAndEncoding)
{
    tovra::SplitMix64 random(20);
    std::array<std::uint8_t, TableSize> image{};
    for (int round = 0; round < 50; ++round) {
        for (auto& byte : image)
            byte = static_cast<std::uint8_t>(random.Next());
        EXPECT_EQ(EncodeTable(DecodeTable(image)), image) << "round " << round;
    }
}

TEST(BestRecordTest, RanksCountFromOneInFileOrder)
{
    const Bytes image = testing::PatternBytes(TableSize);
    BestTable table = DecodeTable(std::span<const std::uint8_t, TableSize>(image.data(), TableSize));
    EXPECT_EQ(table.ByRank(1).NameLength, image[0]);
    EXPECT_EQ(table.ByRank(2).NameLength, image[144]);
    EXPECT_EQ(table.ByRank(20).Score, image[19 * 144 + 31]);
    EXPECT_EQ(table.ByRank(20).SchemeAt(10, 10), image[19 * 144 + 139]);
    EXPECT_THROW(table.ByRank(0), std::out_of_range);
    EXPECT_THROW(table.ByRank(21), std::out_of_range);
    EXPECT_THROW(table.ByRank(1).SchemeAt(0, 1), std::out_of_range);
    EXPECT_THROW(table.ByRank(1).SetSchemeAt(1, 11, 5), std::out_of_range);
}

// --- Entering a finished game ---

BestRecord Game(std::uint8_t score, std::uint8_t tag)
{
    BestRecord record;
    record.NameLength = 3;
    record.NameChars.fill(tag);
    record.Score = score;
    record.SetDate(40000.0 + tag);
    record.SchemeBytes.fill(tag);
    record.Reserved = {tag, tag, tag, tag};
    return record;
}

BestTable TableOfScores(std::initializer_list<std::uint8_t> scores)
{
    BestTable table = FreshTable();
    int rank = 1;
    for (const std::uint8_t score : scores) {
        table.ByRank(rank) = Game(score, static_cast<std::uint8_t>(rank));
        ++rank;
    }
    return table;
}

std::array<std::uint8_t, 100> NumberedScheme(int count)
{
    std::array<std::uint8_t, 100> scheme{};
    for (int i = 0; i < count; ++i)
        scheme[static_cast<std::size_t>((i * 37) % 100)] = static_cast<std::uint8_t>(i + 1);
    return scheme;
}

TEST(InsertGameTest, FirstGameInAFreshTableTakesRankOne)
{
    BestTable table = FreshTable();
    ASSERT_EQ(InsertPosition(table, 7), 1);
    const auto scheme = NumberedScheme(7);
    InsertGame(table, 1, "Ann", 7, 39248.0, scheme);

    const BestRecord& first = table.ByRank(1);
    EXPECT_EQ(RecordName(first), "Ann");
    EXPECT_EQ(first.Score, 7);
    EXPECT_EQ(first.Date(), 39248.0);
    EXPECT_EQ(first.SchemeBytes, scheme);
    EXPECT_EQ(first.Reserved, (std::array<std::uint8_t, 4>{}));
    for (int rank = 2; rank <= 20; ++rank)
        EXPECT_EQ(table.ByRank(rank), FreshRecord()) << "rank " << rank;
}

TEST(InsertGameTest, TieRanksAboveTheOlderGameAndLowerGamesMoveDownWhole)
{
    BestTable table = TableOfScores({45, 40, 35, 31, 30, 28});
    const BestTable before = table;
    ASSERT_EQ(InsertPosition(table, 30), 5);
    InsertGame(table, 5, "Bo", 30, 41000.0, NumberedScheme(30));

    for (int rank = 1; rank <= 4; ++rank)
        EXPECT_EQ(table.ByRank(rank), before.ByRank(rank)) << "rank " << rank;
    EXPECT_EQ(RecordName(table.ByRank(5)), "Bo");
    EXPECT_EQ(table.ByRank(6), before.ByRank(5)); // the older 30
    EXPECT_EQ(table.ByRank(7), before.ByRank(6)); // the 28
    for (int rank = 8; rank <= 20; ++rank)
        EXPECT_EQ(table.ByRank(rank), before.ByRank(rank - 1)) << "rank " << rank;
}

TEST(InsertGameTest, EqualLastScoreReplacesRankTwentyAndNothingMoves)
{
    BestTable table = TableOfScores({99, 95, 90, 85, 80, 75, 70, 65, 60, 55, 50, 45, 40, 35, 30, 25, 20, 18, 15, 12});
    const BestTable before = table;
    ASSERT_EQ(InsertPosition(table, 12), 20);
    InsertGame(table, 20, "Cy", 12, 41001.0, NumberedScheme(12));

    for (int rank = 1; rank <= 19; ++rank)
        EXPECT_EQ(table.ByRank(rank), before.ByRank(rank)) << "rank " << rank;
    const BestRecord& last = table.ByRank(20);
    EXPECT_EQ(RecordName(last), "Cy");
    EXPECT_EQ(last.Score, 12);
    EXPECT_EQ(last.SchemeBytes, NumberedScheme(12));
    // Only the name's length and characters are written; the rest of the slot stays.
    EXPECT_EQ(last.NameChars[2], before.ByRank(20).NameChars[2]);
    EXPECT_EQ(last.NameChars[29], before.ByRank(20).NameChars[29]);
    EXPECT_EQ(last.Reserved, before.ByRank(20).Reserved);
}

TEST(InsertGameTest, GameBelowAFullTableDoesNotRank)
{
    const BestTable table =
        TableOfScores({99, 95, 90, 85, 80, 75, 70, 65, 60, 55, 50, 45, 40, 35, 30, 25, 20, 18, 15, 13});
    EXPECT_EQ(InsertPosition(table, 12), 0);
    EXPECT_EQ(InsertPosition(table, 13), 20);
    EXPECT_EQ(InsertPosition(table, 255), 1);
}

TEST(InsertGameTest, DateLosesItsTimeOfDayAndAFullBoardIsKept)
{
    BestTable table = FreshTable();
    const auto scheme = NumberedScheme(100);
    InsertGame(table, 1, "Di", 100, 39248.99, scheme);
    EXPECT_EQ(table.ByRank(1).Date(), 39248.0);
    std::array<int, 101> seen{};
    for (int row = 1; row <= 10; ++row)
        for (int column = 1; column <= 10; ++column)
            ++seen.at(table.ByRank(1).SchemeAt(row, column));
    EXPECT_EQ(seen[0], 0);
    for (int number = 1; number <= 100; ++number)
        EXPECT_EQ(seen[static_cast<std::size_t>(number)], 1) << number;
}

TEST(InsertGameTest, RankOutsideTheTableChangesNothing)
{
    BestTable table = TableOfScores({50, 40});
    const BestTable before = table;
    EXPECT_THROW(InsertGame(table, 0, "x", 60, 1.0, {}), std::out_of_range);
    EXPECT_THROW(InsertGame(table, 21, "x", 60, 1.0, {}), std::out_of_range);
    EXPECT_EQ(table, before);
}

} // namespace
} // namespace tovra
