#include "records/Cp1252.h"

#include <array>
#include <cstdint>

namespace tovra {

namespace {
// 0x80..0x9F; the rest of the code page is Latin-1, byte value = code point.
constexpr std::array<char32_t, 32> HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t CodePointOf(unsigned char byte)
{
    return byte >= 0x80 && byte <= 0x9F ? HighControls[byte - 0x80] : char32_t{byte};
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        // Nothing in the code page lies beyond the Basic Multilingual Plane.
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

constexpr char Unmappable = '?';

char ByteFor(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < HighControls.size(); ++i)
        if (HighControls[i] == c)
            return static_cast<char>(0x80 + i);
    return Unmappable;
}

// Decodes one character at `pos`, advancing it; malformed input (overlong forms, surrogates,
// values past U+10FFFF, stray or missing continuation bytes) yields nothing and consumes one byte.
bool NextCodePoint(std::string_view text, std::size_t& pos, char32_t& out)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        out = lead;
        ++pos;
        return true;
    }
    const int length = lead >= 0xC2 && lead <= 0xDF   ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0; // 0x80..0xC1 and 0xF5..0xFF never lead
    if (length == 0) {
        ++pos;
        return false;
    }
    constexpr std::array<char32_t, 5> Lowest = {0, 0, 0x80, 0x800, 0x10000}; // shortest form by length
    char32_t c = lead & (0x7F >> length);
    if (text.size() - pos < static_cast<std::size_t>(length)) {
        ++pos;
        return false;
    }
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + static_cast<std::size_t>(i)]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return false;
        }
        c = (c << 6) | (next & 0x3F);
    }
    if (c < Lowest[static_cast<std::size_t>(length)] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++pos;
        return false;
    }
    pos += static_cast<std::size_t>(length);
    out = c;
    return true;
}
} // namespace

std::string Cp1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char byte : bytes)
        AppendUtf8(out, CodePointOf(static_cast<unsigned char>(byte)));
    return out;
}

bool Cp1252CanStore(char32_t codePoint) { return codePoint == Unmappable || ByteFor(codePoint) != Unmappable; }

std::string Utf8ToCp1252(std::string_view utf8, std::size_t maxCharacters)
{
    std::string out;
    std::size_t pos = 0;
    while (pos < utf8.size() && out.size() < maxCharacters) {
        char32_t c = 0;
        out += NextCodePoint(utf8, pos, c) ? ByteFor(c) : Unmappable;
    }
    return out;
}

std::string TerminalSafeName(std::string_view name)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string shown;
    const auto escape = [&](unsigned codePoint) {
        shown += "\\x";
        shown += Hex[codePoint >> 4];
        shown += Hex[codePoint & 0xF];
    };
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) { // U+0080..U+009F
            escape(next);
            ++i;
        } else if (byte < 0x20 || byte == 0x7F) {
            escape(byte);
        } else {
            shown += name[i];
        }
    }
    return shown;
}

} // namespace tovra
