#pragma once
// Names are stored in the Windows-1252 code page; the rest of the program speaks UTF-8.
#include <cstddef>
#include <string>
#include <string_view>

namespace tovra {

// Every byte maps to one character. The five bytes the code page leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) read as the control characters of the same number, so they
// survive a round trip.
std::string Cp1252ToUtf8(std::string_view bytes);

// True when the character has a byte of its own in the code page, so a name keeps it.
bool Cp1252CanStore(char32_t codePoint);

// One byte per character of the UTF-8 text, at most maxCharacters of them. A character the
// code page lacks, and each byte of malformed UTF-8, becomes '?'.
std::string Utf8ToCp1252(std::string_view utf8, std::size_t maxCharacters = std::string::npos);

// The UTF-8 name with its control characters (C0, DEL and C1, which a foreign file may hold
// and which would drive a terminal) each written as a visible escape, \xHH with the
// character's number: ESC is "\x1B".
std::string TerminalSafeName(std::string_view name);

} // namespace tovra
