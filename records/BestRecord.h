#pragma once
// The best-20 table: 20 records of 144 bytes, held in memory as the exact image of
// "record.dat". Every field is bytes, so the structs have no padding and no byte order;
// the date is read and written little-endian by its accessors, and files go through
// EncodeTable/DecodeTable with explicit offsets.
#include "core/DateTime.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tovra {

inline constexpr int RecordCount = 20;
inline constexpr std::size_t RecordSize = 144;
inline constexpr std::size_t TableSize = RecordSize * RecordCount; // 2,880
inline constexpr std::size_t NameCapacity = 30;
inline constexpr int SchemeSize = 10; // rows and columns

// Field offsets within a record.
inline constexpr std::size_t NameLengthOffset = 0;
inline constexpr std::size_t NameCharsOffset = 1;
inline constexpr std::size_t ScoreOffset = 31;
inline constexpr std::size_t DateOffset = 32;
inline constexpr std::size_t SchemeOffset = 40;
inline constexpr std::size_t ReservedOffset = 140;

// The last day a record may hold (31 December 9999); later, negative, infinite or NaN
// dates in a foreign file count as "no game".
inline constexpr double LastStorableDay = 2958465.0;

struct BestRecord {
    std::uint8_t NameLength = 0;                      // characters of the name, 0..30 when written by us
    std::array<std::uint8_t, NameCapacity> NameChars{}; // Windows-1252; only NameLength are significant
    std::uint8_t Score = 0;
    std::array<std::uint8_t, 8> DateBytes{};          // IEEE double, little-endian
    std::array<std::uint8_t, 100> SchemeBytes{};      // 10 x 10, row-major
    std::array<std::uint8_t, 4> Reserved{};           // carried along, never interpreted

    // The stored day count; 0 means the record holds no game.
    double Date() const;
    void SetDate(double date);

    // row and column 1..10; anything else throws std::out_of_range.
    std::uint8_t SchemeAt(int row, int column) const;
    void SetSchemeAt(int row, int column, std::uint8_t number);

    friend bool operator==(const BestRecord&, const BestRecord&) = default;
};
static_assert(sizeof(BestRecord) == RecordSize, "a record is the 144-byte file layout");

struct BestTable {
    std::array<BestRecord, RecordCount> Records{}; // Records[0] is rank 1

    // rank 1..20; anything else throws std::out_of_range.
    BestRecord& ByRank(int rank);
    const BestRecord& ByRank(int rank) const;

    friend bool operator==(const BestTable&, const BestTable&) = default;
};
static_assert(sizeof(BestTable) == TableSize, "the table is the 2,880-byte file image");

// Name "-----" (length 5), every other byte 0: what a new file is made of.
BestRecord FreshRecord();
BestTable FreshTable();
// All 144 bytes 0: an empty record with an empty name, as left by a short file.
inline BestRecord ZeroRecord() { return BestRecord{}; }

void EncodeRecord(const BestRecord& record, std::span<std::uint8_t, RecordSize> out);
BestRecord DecodeRecord(std::span<const std::uint8_t, RecordSize> bytes);
std::array<std::uint8_t, TableSize> EncodeTable(const BestTable& table);
BestTable DecodeTable(std::span<const std::uint8_t, TableSize> bytes);

// --- What the windows show and write ---

// True when the record's date is a day from 30 December 1899 to 31 December 9999 (and not
// day 0). Anything else, including NaN and infinities from a foreign file, is "no game".
bool HoldsGame(const BestRecord& record);
// The calendar day of a record that holds a game; nothing otherwise.
std::optional<CivilDate> RecordDate(const BestRecord& record);
// The stored name as UTF-8: its first NameLength characters, a length above 30 read as 30.
std::string RecordName(const BestRecord& record);
// Writes the length byte and the first 30 characters of a UTF-8 name (characters outside
// Windows-1252 become '?'); the name bytes past the new length keep what they held.
void SetRecordName(BestRecord& record, std::string_view utf8Name);

// The rank at which a game of this score enters: the first record whose score is lower or
// equal (a tie ranks above the older game), or 0 when it does not rank.
int InsertPosition(const BestTable& table, std::uint8_t score);
// Enters a game at rank 1..20: ranks rank..19 move down one place, whole (the 20th is
// lost), then the slot gets the name, score, the day of `date` without its time, and the
// scheme (row-major). The slot's unused name bytes and reserved bytes keep what they held.
void InsertGame(BestTable& table, int rank, std::string_view utf8Name, std::uint8_t score, DateTime date,
                const std::array<std::uint8_t, 100>& scheme);
// Enters a whole record at rank 1..20 the same way: ranks rank..19 move down one place.
void InsertRecord(BestTable& table, int rank, BestRecord record);

// The cells (indexes 0..99) of numbers 1..Score of a stored game, rebuilt from its board;
// nothing when the board is no game: a score above 100, a number missing, twice or above
// the score, or a step the move rule forbids.
std::optional<std::vector<int>> StoredGameOrder(const BestRecord& record);

} // namespace tovra
