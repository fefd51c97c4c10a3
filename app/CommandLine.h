#pragma once
// What the program was asked to do, read from its arguments before any window or display is
// touched. Free of any window toolkit, so that every refusal is tested without one.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tovra {

enum class Command { Play, Help, Version, Analyse, History, Daily, Open };

struct CommandLine {
    Command command = Command::Play;
    // The file named after --analyse or --history; nothing means the one in the current folder.
    std::optional<std::string> file;
    // --history --csv.
    bool csv = false;
    // The date after --daily (none: today), the code after --open.
    std::optional<std::string> word;
};

// The arguments read, or why they cannot be: `problem` is one line naming what was not
// understood, to be followed by the usage (exit status 2).
struct ParsedCommandLine {
    std::optional<CommandLine> line;
    std::string problem;
};

// `arguments` without the program's name. The toolkit's own options (-platform NAME,
// -style=NAME, ...; one dash or two) are let through when the game opens its window and are
// refused with a command that prints; anything else not in the program's table of options,
// and any word left over, is refused.
ParsedCommandLine ParseCommandLine(std::span<const char* const> arguments);

// The whole usage text, for --help on standard output and after a refusal on standard error.
std::string_view UsageText();

} // namespace tovra
