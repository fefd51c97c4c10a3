#include "BoardCode.h"

#include "BoardCell.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <stdexcept>

namespace tovra {

namespace {

constexpr int BitsPerSymbol = 5;
constexpr int BitsPerCell = 7;   // 0..127 holds 0..99 and the count 0..100
constexpr int CheckSymbols = 3;  // 15 bits
constexpr int FormatVersion = 1; // the first symbol of every code of this format
constexpr int MaxCells = 100;

// CRC-15 (polynomial x^15 + x^14 + x^10 + x^8 + x^7 + x^4 + x^3 + 1) over the symbols' bits:
// it catches every error within 15 consecutive bits, so every single wrong, lost or swapped
// neighbouring symbol.
std::uint16_t CheckOf(const std::vector<int>& symbols)
{
    std::uint16_t crc = 0;
    for (const int symbol : symbols) {
        for (int bit = BitsPerSymbol - 1; bit >= 0; --bit) {
            const bool in = ((symbol >> bit) & 1) != 0;
            const bool top = ((crc >> 14) & 1) != 0;
            crc = static_cast<std::uint16_t>((crc << 1) & 0x7fff);
            if (in != top)
                crc ^= 0x4599;
        }
    }
    return crc;
}

int SymbolValue(char c)
{
    if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
    const std::size_t at = BoardCodeSymbols.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

// Bits appended most significant first, cut into symbols.
class SymbolWriter {
public:
    void Put(int value, int bits)
    {
        for (int bit = bits - 1; bit >= 0; --bit) {
            pending_ = (pending_ << 1) | ((value >> bit) & 1);
            if (++pendingBits_ == BitsPerSymbol) {
                symbols_.push_back(pending_);
                pending_ = 0;
                pendingBits_ = 0;
            }
        }
    }
    std::vector<int> Finish()
    {
        if (pendingBits_ > 0)
            Put(0, BitsPerSymbol - pendingBits_);
        return symbols_;
    }

private:
    std::vector<int> symbols_;
    int pending_ = 0;
    int pendingBits_ = 0;
};

class SymbolReader {
public:
    SymbolReader(const std::vector<int>& symbols, std::size_t begin, std::size_t end)
        : symbols_(symbols), at_(begin * BitsPerSymbol), end_(end * BitsPerSymbol)
    {
    }
    std::size_t BitsLeft() const { return end_ - at_; }
    int Take(int bits)
    {
        int value = 0;
        for (int i = 0; i < bits; ++i, ++at_) {
            const int symbol = symbols_[at_ / BitsPerSymbol];
            const int shift = BitsPerSymbol - 1 - static_cast<int>(at_ % BitsPerSymbol);
            value = (value << 1) | ((symbol >> shift) & 1);
        }
        return value;
    }

private:
    const std::vector<int>& symbols_;
    std::size_t at_;
    std::size_t end_;
};

std::size_t BodySymbolsFor(std::size_t cellCount)
{
    return ((cellCount + 1) * BitsPerCell + BitsPerSymbol - 1) / BitsPerSymbol;
}

std::string Where(int cell)
{
    return "row " + std::to_string(cell / 10 + 1) + ", column " + std::to_string(cell % 10 + 1);
}

BoardCodeReading Refused(BoardCodeFault fault, std::string message)
{
    return {{}, fault, std::move(message)};
}

// The moves of a decoded board, judged as the rules would have judged them one by one.
BoardCodeReading JudgeCells(std::vector<int> cells)
{
    std::array<int, MaxCells> numberOn{}; // 0: free
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        const int cell = cells[i];
        if (cell >= MaxCells)
            return Refused(BoardCodeFault::CellOffBoard,
                           "Number " + std::to_string(number) + " of the code is on no cell of the board.");
        if (numberOn[static_cast<std::size_t>(cell)] != 0)
            return Refused(BoardCodeFault::CellUsedTwice,
                           "The code puts numbers " + std::to_string(numberOn[static_cast<std::size_t>(cell)]) +
                               " and " + std::to_string(number) + " on the same cell (" + Where(cell) + ").");
        if (i > 0 && !IsMove(BoardCell::FromIndex(cells[i - 1]), BoardCell::FromIndex(cell)))
            return Refused(BoardCodeFault::IllegalJump,
                           "In the code, number " + std::to_string(number) + " (" + Where(cell) +
                               ") is no legal move from number " + std::to_string(number - 1) + " (" +
                               Where(cells[i - 1]) + ").");
        numberOn[static_cast<std::size_t>(cell)] = number;
    }
    return {std::move(cells), BoardCodeFault::None, {}};
}

} // namespace

std::string EncodeBoardCode(const std::vector<int>& cells)
{
    constexpr std::size_t Limit = 1u << BitsPerCell;
    if (cells.size() >= Limit)
        throw std::invalid_argument("a board code holds at most 127 cells");
    SymbolWriter writer;
    writer.Put(FormatVersion, BitsPerSymbol);
    writer.Put(static_cast<int>(cells.size()), BitsPerCell);
    for (const int cell : cells) {
        if (cell < 0 || cell >= static_cast<int>(Limit))
            throw std::invalid_argument("a board code holds cell indexes 0..127");
        writer.Put(cell, BitsPerCell);
    }
    std::vector<int> symbols = writer.Finish();
    const std::uint16_t check = CheckOf(symbols);
    for (int i = CheckSymbols - 1; i >= 0; --i)
        symbols.push_back((check >> (i * BitsPerSymbol)) & 31);
    std::string code;
    for (const int symbol : symbols)
        code += BoardCodeSymbols[static_cast<std::size_t>(symbol)];
    return code;
}

BoardCodeReading ReadBoardCode(std::string_view text)
{
    std::vector<int> symbols;
    bool anything = false;
    for (const char c : text) {
        // Chats and mails break long words and add hyphens or spaces; none of them is a symbol.
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '-')
            continue;
        anything = true;
        const int value = SymbolValue(c);
        if (value < 0) {
            const bool printable = static_cast<unsigned char>(c) >= 0x21 && static_cast<unsigned char>(c) < 0x7f;
            return Refused(BoardCodeFault::ForeignCharacter,
                           std::string("The code holds ") + (printable ? std::string("\"") + c + "\"" : "a character") +
                               ", which no code has: codes are made of digits and the letters A to Z but I, L, O and U.");
        }
        symbols.push_back(value);
    }
    if (!anything)
        return Refused(BoardCodeFault::Empty, "There is no code to read: the paste is empty.");
    const std::size_t smallest = 1 + BodySymbolsFor(0) + CheckSymbols;
    if (symbols.size() < smallest)
        return Refused(BoardCodeFault::TooShort, "The code is too short to be a board's code.");
    if (symbols[0] != FormatVersion)
        return Refused(BoardCodeFault::NewerVersion,
                       "The code was made by a newer version of the game, which this one cannot read.");
    const std::size_t bodyEnd = symbols.size() - CheckSymbols;
    std::uint16_t check = 0;
    for (std::size_t i = bodyEnd; i < symbols.size(); ++i)
        check = static_cast<std::uint16_t>((check << BitsPerSymbol) | symbols[i]);
    if (check != CheckOf(std::vector<int>(symbols.begin(), symbols.begin() + static_cast<long>(bodyEnd))))
        return Refused(BoardCodeFault::WrongCheck,
                       "The code does not match its check: a character is wrong, missing or one too many.");
    SymbolReader reader(symbols, 1, bodyEnd);
    const int count = reader.Take(BitsPerCell);
    if (count > MaxCells)
        return Refused(BoardCodeFault::TooManyCells,
                       "The code holds " + std::to_string(count) + " cells; a board has only 100.");
    if (bodyEnd - 1 != BodySymbolsFor(static_cast<std::size_t>(count)))
        return Refused(BoardCodeFault::WrongLength,
                       "The code's length does not match the " + std::to_string(count) + " cells it announces.");
    std::vector<int> cells;
    for (int i = 0; i < count; ++i)
        cells.push_back(reader.Take(BitsPerCell));
    if (reader.Take(static_cast<int>(reader.BitsLeft())) != 0)
        return Refused(BoardCodeFault::WrongLength, "The code has stray bits after its last cell.");
    return JudgeCells(std::move(cells));
}

} // namespace tovra
