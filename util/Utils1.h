#pragma once
// Small shared routines: a forgiving integer parse, the desktop hand-off for links, and the
// version text of an executable. No toolkit types appear here.
#include <stdexcept>
#include <string>
#include <string_view>

namespace tovra {

// A text that looks numeric but is no 32-bit integer.
class ConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Value of text read as a decimal integer, 0 when it is not a number. One leading "-" negates;
// after it the text must hold only digits and spaces, else the result is 0 (so "-----" is 0).
// Spaces before the first digit are skipped. Throws ConvertError "'<rest>' is not a valid integer
// value" (rest = text after the "-") for a space after a digit, spaces only, or a value beyond
// 2147483647.
int TolerantStrToInt(std::string_view text);

// Hands a file or address (web page, "mailto:" text, local path) to the desktop's default handler.
// Returns at once; the outcome is not examined and nothing is ever shown on failure.
// parameters, folder and showCommand have no meaning for the desktop's handlers and are ignored.
void ShellRun(const std::string& file, const std::string& parameters, const std::string& folder,
              int showCommand);

// "major.minor.release.build" in decimal from the version note of the ELF file at path;
// empty when the file cannot be read, is not ELF, or carries no well-formed version note.
std::string FileVersionString(const std::string& path);

} // namespace tovra
