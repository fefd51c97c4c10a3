#include "records/BestRecord.h"

#include "records/Cp1252.h"
#include "core/BoardCell.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>

namespace tovra {

namespace {
std::size_t SchemeIndex(int row, int column)
{
    if (row < 1 || row > SchemeSize || column < 1 || column > SchemeSize)
        throw std::out_of_range("scheme cell out of range");
    return static_cast<std::size_t>(SchemeSize * (row - 1) + (column - 1));
}

std::size_t RankIndex(int rank)
{
    if (rank < 1 || rank > RecordCount)
        throw std::out_of_range("rank out of range");
    return static_cast<std::size_t>(rank - 1);
}

template <std::size_t N>
void Put(std::span<std::uint8_t, RecordSize> out, std::size_t offset, const std::array<std::uint8_t, N>& field)
{
    std::copy(field.begin(), field.end(), out.begin() + static_cast<std::ptrdiff_t>(offset));
}

template <std::size_t N>
void Get(std::span<const std::uint8_t, RecordSize> in, std::size_t offset, std::array<std::uint8_t, N>& field)
{
    const auto from = in.begin() + static_cast<std::ptrdiff_t>(offset);
    std::copy(from, from + static_cast<std::ptrdiff_t>(N), field.begin());
}
} // namespace

double BestRecord::Date() const
{
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < DateBytes.size(); ++i)
        bits |= std::uint64_t{DateBytes[i]} << (8 * i);
    return std::bit_cast<double>(bits);
}

void BestRecord::SetDate(double date)
{
    const auto bits = std::bit_cast<std::uint64_t>(date);
    for (std::size_t i = 0; i < DateBytes.size(); ++i)
        DateBytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

std::uint8_t BestRecord::SchemeAt(int row, int column) const
{
    return SchemeBytes[SchemeIndex(row, column)];
}

void BestRecord::SetSchemeAt(int row, int column, std::uint8_t number)
{
    SchemeBytes[SchemeIndex(row, column)] = number;
}

BestRecord& BestTable::ByRank(int rank)
{
    return Records[RankIndex(rank)];
}

const BestRecord& BestTable::ByRank(int rank) const
{
    return Records[RankIndex(rank)];
}

BestRecord FreshRecord()
{
    BestRecord record;
    record.NameLength = 5;
    std::fill_n(record.NameChars.begin(), 5, std::uint8_t{'-'});
    return record;
}

BestTable FreshTable()
{
    BestTable table;
    table.Records.fill(FreshRecord());
    return table;
}

void EncodeRecord(const BestRecord& record, std::span<std::uint8_t, RecordSize> out)
{
    out[NameLengthOffset] = record.NameLength;
    Put(out, NameCharsOffset, record.NameChars);
    out[ScoreOffset] = record.Score;
    Put(out, DateOffset, record.DateBytes);
    Put(out, SchemeOffset, record.SchemeBytes);
    Put(out, ReservedOffset, record.Reserved);
}

BestRecord DecodeRecord(std::span<const std::uint8_t, RecordSize> bytes)
{
    BestRecord record;
    record.NameLength = bytes[NameLengthOffset];
    Get(bytes, NameCharsOffset, record.NameChars);
    record.Score = bytes[ScoreOffset];
    Get(bytes, DateOffset, record.DateBytes);
    Get(bytes, SchemeOffset, record.SchemeBytes);
    Get(bytes, ReservedOffset, record.Reserved);
    return record;
}

std::array<std::uint8_t, TableSize> EncodeTable(const BestTable& table)
{
    std::array<std::uint8_t, TableSize> bytes{};
    for (std::size_t i = 0; i < table.Records.size(); ++i)
        EncodeRecord(table.Records[i], std::span<std::uint8_t, RecordSize>(bytes.data() + i * RecordSize, RecordSize));
    return bytes;
}

BestTable DecodeTable(std::span<const std::uint8_t, TableSize> bytes)
{
    BestTable table;
    for (std::size_t i = 0; i < table.Records.size(); ++i)
        table.Records[i] = DecodeRecord(bytes.subspan(i * RecordSize).first<RecordSize>());
    return table;
}

bool HoldsGame(const BestRecord& record)
{
    const double date = record.Date();
    // Written so that NaN fails both comparisons.
    return date > 0.0 && date < LastStorableDay + 1.0;
}

std::optional<CivilDate> RecordDate(const BestRecord& record)
{
    if (!HoldsGame(record))
        return std::nullopt;
    return DecodeDate(record.Date());
}

std::string RecordName(const BestRecord& record)
{
    const std::size_t length = std::min<std::size_t>(record.NameLength, NameCapacity);
    return Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(record.NameChars.data()), length));
}

void SetRecordName(BestRecord& record, std::string_view utf8Name)
{
    const std::string bytes = Utf8ToCp1252(utf8Name, NameCapacity);
    record.NameLength = static_cast<std::uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), record.NameChars.begin());
}

namespace {
// Ranks rank..19 move down one place, whole; the 20th is lost and `rank` keeps its record.
void MoveDownFrom(BestTable& table, int rank)
{
    for (int k = RecordCount - 1; k >= rank; --k)
        table.ByRank(k + 1) = table.ByRank(k);
}
} // namespace

int InsertPosition(const BestTable& table, std::uint8_t score)
{
    for (int rank = 1; rank <= RecordCount; ++rank)
        if (score >= table.ByRank(rank).Score)
            return rank;
    return 0;
}

void InsertGame(BestTable& table, int rank, std::string_view utf8Name, std::uint8_t score, DateTime date,
                const std::array<std::uint8_t, 100>& scheme)
{
    BestRecord& record = table.ByRank(rank); // checks the rank before anything moves
    MoveDownFrom(table, rank);
    SetRecordName(record, utf8Name);
    record.Score = score;
    record.SetDate(std::floor(date));
    record.SchemeBytes = scheme;
}

void InsertRecord(BestTable& table, int rank, BestRecord record)
{
    BestRecord& slot = table.ByRank(rank);
    MoveDownFrom(table, rank);
    slot = record;
}

std::optional<std::vector<int>> StoredGameOrder(const BestRecord& record)
{
    const int score = record.Score;
    if (score < 1 || score > CellCount)
        return std::nullopt;
    std::vector<int> cells(static_cast<std::size_t>(score), NoCell);
    for (int index = 0; index < CellCount; ++index) {
        const int number = record.SchemeBytes[static_cast<std::size_t>(index)];
        if (number == 0)
            continue;
        if (number > score || cells[static_cast<std::size_t>(number - 1)] != NoCell)
            return std::nullopt;
        cells[static_cast<std::size_t>(number - 1)] = index;
    }
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (cells[i] == NoCell || (i > 0 && !IsMove(BoardCell::FromIndex(cells[i - 1]), BoardCell::FromIndex(cells[i]))))
            return std::nullopt;
    }
    return cells;
}

} // namespace tovra
