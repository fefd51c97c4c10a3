#pragma once
// The executable's version record: an ELF note in section ".note.tovra.version", written at build
// time from the project version (VersionNote.cpp.in) and read back by FileVersionString.
// Descriptor: two 32-bit words in the file's byte order, most significant first:
//   major << 16 | minor, then release << 16 | build.
#include <cstdint>
#include <span>
#include <string>

namespace tovra {

inline constexpr char VersionNoteName[] = "Tovra"; // owner name, stored with its terminating NUL
inline constexpr std::uint32_t VersionNoteType = 1;
inline constexpr std::uint32_t VersionNoteDescSize = 8;

// FileVersionString over an ELF image held in memory; the same checks, the same results.
std::string VersionStringFromElfImage(std::span<const unsigned char> image);

} // namespace tovra
