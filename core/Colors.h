#pragma once
// Cell colours as 24-bit values 0x00BBGGRR (red in the low byte). The rules compare them
// exactly, so a cell must give back the very value last set on it.
#include <cstdint>

namespace tovra {

using Color = std::uint32_t;

inline constexpr Color FreeColor = 0xCDFAFF;   // free cell at start-up, or emptied by a move or undo
inline constexpr Color ResetColor = 0xE1FFFF;  // free cell after a new game, or a hint cleared by undo
inline constexpr Color NumberColor = 0x69C9FF; // numbered cell, not marked
inline constexpr Color HintColor = 0x00CC00;   // free cell reachable from the last number
inline constexpr Color MarkColor = 0x0000FF;   // the marked cell

inline constexpr Color WindowColor = 0xA9E8FF; // background of every window

constexpr int RedOf(Color c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(Color c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(Color c) { return static_cast<int>((c >> 16) & 0xFF); }
constexpr Color ColorFromRgb(int red, int green, int blue)
{
    return static_cast<Color>((blue & 0xFF) << 16 | (green & 0xFF) << 8 | (red & 0xFF));
}

} // namespace tovra
