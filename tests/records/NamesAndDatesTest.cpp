#include "records/BestRecord.h"
#include "records/Cp1252.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tovra {
namespace {

BestRecord WithName(std::uint8_t length, std::string_view bytes)
{
    BestRecord record;
    record.NameLength = length;
    std::copy(bytes.begin(), bytes.end(), record.NameChars.begin());
    return record;
}

std::string Repeat(std::string_view piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

struct NameRow {
    const char* situation;
    std::string utf8;
    std::string stored; // the code-page bytes
};

void PrintTo(const NameRow& row, std::ostream* out) { *out << row.situation; }

class NameConversionTest : public ::testing::TestWithParam<NameRow> {};

TEST_P(NameConversionTest, NameIsStoredInTheCodePage)
{
    BestRecord record;
    SetRecordName(record, GetParam().utf8);
    const std::string stored(record.NameChars.begin(), record.NameChars.begin() + record.NameLength);
    EXPECT_EQ(stored, GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameConversionTest,
    ::testing::Values(NameRow{"ascii", "Quelm", "Quelm"},
                      NameRow{"empty", "", ""},
                      NameRow{"latin_accent", "Ren\u00e9", "Ren\xE9"},
                      NameRow{"euro_sign", "5\u20ac", "5\x80"},
                      NameRow{"curly_quotes_and_dash", "\u201cA\u201d\u2013", "\x93" "A\x94\x96"},
                      NameRow{"outside_code_page", "\u65e5\u672c x", "?? x"},
                      NameRow{"outside_basic_plane", "a\U0001F600b", "a?b"},
                      NameRow{"malformed_utf8", "a\xFF" "b\xC3", "a?b?"},
                      NameRow{"overlong_slash", "\xC0\xAF", "??"},
                      NameRow{"surrogate_half", "\xED\xA0\x80", "???"},
                      NameRow{"cut_to_30_characters", Repeat("abc", 11), Repeat("abc", 10)},
                      NameRow{"cut_counts_characters_not_bytes", Repeat("\u00e9", 35), std::string(30, '\xE9')}),
    [](const auto& row) { return std::string(row.param.situation); });

TEST(NameTest, StoredNameReadsItsLengthInCharacters)
{
    EXPECT_EQ(RecordName(FreshRecord()), "-----");
    EXPECT_EQ(RecordName(ZeroRecord()), "");
    EXPECT_EQ(RecordName(WithName(4, "Ren\xE9xyz")), "Ren\u00e9"); // the bytes after it carry no meaning
    EXPECT_EQ(RecordName(WithName(2, "\x80\x9F")), "\u20ac\u0178");
}

TEST(NameTest, LengthAboveThirtyReadsAsThirty)
{
    const std::string thirty = Repeat("0123456789", 3);
    EXPECT_EQ(RecordName(WithName(31, thirty)), thirty);
    EXPECT_EQ(RecordName(WithName(255, thirty)), thirty);
}

TEST(NameTest, EveryByteSurvivesARoundTripThroughUtf8)
{
    for (int byte = 0; byte < 256; ++byte) {
        const std::string original(1, static_cast<char>(byte));
        EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(original)), original) << "byte " << byte;
    }
    EXPECT_EQ(Cp1252ToUtf8("\x81"), "\u0081"); // undefined in the code page, kept as a control
}

// What the name box lets through is exactly what the code page holds: every character of a
// byte's own, and nothing that would come back as "?".
TEST(NameTest, OnlyCharactersOfTheCodePageCanBeStored)
{
    for (int byte = 0; byte < 256; ++byte) {
        const std::string utf8 = Cp1252ToUtf8(std::string(1, static_cast<char>(byte)));
        char32_t c = static_cast<unsigned char>(utf8[0]);
        if (utf8.size() == 2)
            c = ((c & 0x1F) << 6) | (utf8[1] & 0x3F);
        else if (utf8.size() == 3)
            c = ((c & 0x0F) << 12) | ((utf8[1] & 0x3F) << 6) | (utf8[2] & 0x3F);
        EXPECT_TRUE(Cp1252CanStore(c)) << "byte " << byte;
    }
    for (const char32_t c : {U'\u0141', U'\u0414', U'\u738B', U'\uFFFD', U'\U0001F600', U'\u20AD', U'\u01A0'})
        EXPECT_FALSE(Cp1252CanStore(c)) << std::hex << std::uint32_t(c);
}

TEST(NameTest, NewNameKeepsTheSlotsOtherNameBytes)
{
    BestRecord record = WithName(30, Repeat("x", 30));
    SetRecordName(record, "ab");
    EXPECT_EQ(record.NameLength, 2);
    EXPECT_EQ(std::string(record.NameChars.begin(), record.NameChars.end()), "ab" + Repeat("x", 28));
}

struct DateRow {
    const char* situation;
    double date;
    std::optional<CivilDate> shown;
};

void PrintTo(const DateRow& row, std::ostream* out) { *out << row.situation; }

class RecordDateTest : public ::testing::TestWithParam<DateRow> {};

TEST_P(RecordDateTest, OnlyACalendarDayCountsAsAGame)
{
    BestRecord record = FreshRecord();
    record.SetDate(GetParam().date);
    EXPECT_EQ(HoldsGame(record), GetParam().shown.has_value());
    EXPECT_EQ(RecordDate(record), GetParam().shown);
}

constexpr double Infinity = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Dates, RecordDateTest,
    ::testing::Values(DateRow{"zero_is_no_game", 0.0, std::nullopt},
                      DateRow{"negative_zero", -0.0, std::nullopt},
                      DateRow{"not_a_number", std::nan(""), std::nullopt},
                      DateRow{"infinity", Infinity, std::nullopt},
                      DateRow{"minus_infinity", -Infinity, std::nullopt},
                      DateRow{"before_day_zero", -1.0, std::nullopt},
                      DateRow{"year_10000", 2958466.0, std::nullopt},
                      DateRow{"huge", 1e300, std::nullopt},
                      DateRow{"last_day_of_9999", 2958465.0, CivilDate{9999, 12, 31}},
                      DateRow{"last_day_of_9999_evening", 2958465.75, CivilDate{9999, 12, 31}},
                      DateRow{"day_one", 1.0, CivilDate{1899, 12, 31}},
                      DateRow{"june_2007", 39248.0, CivilDate{2007, 6, 15}},
                      DateRow{"june_2007_with_time", 39248.5, CivilDate{2007, 6, 15}}),
    [](const auto& row) { return std::string(row.param.situation); });

TEST(RecordDateTest, OtherBytesDoNotMakeAnEmptyRecordHoldAGame)
{
    BestRecord record;
    record.Score = 90;
    record.SchemeBytes.fill(3);
    EXPECT_FALSE(HoldsGame(record));
    record.SetDate(39248.0);
    record.Score = 0;
    EXPECT_TRUE(HoldsGame(record)); // the date alone decides
}

} // namespace
} // namespace tovra
