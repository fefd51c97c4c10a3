#include "app/CommandLine.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace tovra {

namespace {

// How an option takes the word after it.
enum class Operand {
    None,
    // One word not beginning with '-' anywhere after the option ("--history --csv old.db").
    OptionalFile,
    // One word not beginning with '-' after the option, which may be left out ("--daily").
    OptionalWord,
    // The same, which must be there ("--open CODE").
    RequiredWord,
};

struct OptionSpec {
    std::string_view name;
    std::string_view shortName; // empty when there is none
    Command command;
    Operand operand;
};

// The program's own options. Each one chooses the command; at most one may be given.
constexpr std::array ProgramOptions{
    OptionSpec{"--help", "-h", Command::Help, Operand::None},
    OptionSpec{"--version", "", Command::Version, Operand::None},
    OptionSpec{"--analyse", "", Command::Analyse, Operand::OptionalFile},
    OptionSpec{"--history", "", Command::History, Operand::OptionalFile},
    OptionSpec{"--daily", "", Command::Daily, Operand::OptionalWord},
    OptionSpec{"--open", "", Command::Open, Operand::RequiredWord},
};

// Options that modify one command only.
struct FlagSpec {
    std::string_view name;
    Command command;
    bool CommandLine::*flag;
};
constexpr std::array ProgramFlags{
    FlagSpec{"--csv", Command::History, &CommandLine::csv},
};

struct ToolkitOption {
    std::string_view name; // without its dash
    bool takesValue;
};

// The toolkit's options it reads itself when the window opens ("-style NAME" or
// "-style=NAME"), with one dash or two.
constexpr std::array ToolkitOptions{
    ToolkitOption{"platform", true},        ToolkitOption{"platformpluginpath", true},
    ToolkitOption{"platformtheme", true},   ToolkitOption{"plugin", true},
    ToolkitOption{"display", true},         ToolkitOption{"geometry", true},
    ToolkitOption{"qwindowgeometry", true}, ToolkitOption{"qwindowicon", true},
    ToolkitOption{"qwindowtitle", true},    ToolkitOption{"name", true},
    ToolkitOption{"title", true},           ToolkitOption{"visual", true},
    ToolkitOption{"style", true},           ToolkitOption{"stylesheet", true},
    ToolkitOption{"session", true},         ToolkitOption{"qmljsdebugger", true},
    ToolkitOption{"reverse", false},        ToolkitOption{"widgetcount", false},
    ToolkitOption{"nograb", false},         ToolkitOption{"dograb", false},
    ToolkitOption{"sync", false},           ToolkitOption{"testability", false},
};

// The word as a terminal can show it: control bytes as \xHH.
std::string Shown(std::string_view word)
{
    std::string shown;
    for (const char c : word) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            shown += escape;
        } else {
            shown += c;
        }
    }
    return '\'' + shown + '\'';
}

ParsedCommandLine Refused(std::string problem)
{
    return {std::nullopt, "tovratovratovra: " + std::move(problem)};
}

// The number of words the toolkit option at `word` takes (1 or 2), or 0 when it is none.
std::size_t ToolkitOptionWords(std::string_view word)
{
    if (word.starts_with("--"))
        word.remove_prefix(1);
    if (!word.starts_with('-'))
        return 0;
    word.remove_prefix(1);
    const std::size_t equals = word.find('=');
    const std::string_view name = word.substr(0, equals);
    const auto known = std::ranges::find(ToolkitOptions, name, &ToolkitOption::name);
    if (known == ToolkitOptions.end())
        return 0;
    return known->takesValue && equals == std::string_view::npos ? 2 : 1;
}

} // namespace

ParsedCommandLine ParseCommandLine(std::span<const char* const> arguments)
{
    CommandLine line;
    const OptionSpec* chosen = nullptr;
    bool toolkitOptions = false;
    std::vector<const FlagSpec*> flags;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view word = arguments[i];
        const auto option = std::ranges::find_if(
            ProgramOptions, [&](const OptionSpec& spec) { return word == spec.name || (!spec.shortName.empty() && word == spec.shortName); });
        if (option != ProgramOptions.end()) {
            if (chosen)
                return Refused(std::string(chosen->name) + " and " + std::string(option->name) + " cannot go together");
            chosen = &*option;
            line.command = option->command;
            continue;
        }
        if (const auto flag = std::ranges::find(ProgramFlags, word, &FlagSpec::name); flag != ProgramFlags.end()) {
            flags.push_back(&*flag);
            continue;
        }
        if (const std::size_t words = ToolkitOptionWords(word); words > 0) {
            if (i + words > arguments.size())
                return Refused(Shown(word) + " needs a value");
            toolkitOptions = true;
            i += words - 1;
            continue;
        }
        if (word.starts_with('-'))
            return Refused("unknown option " + Shown(word));
        if (chosen && chosen->operand == Operand::OptionalFile && !line.file) {
            line.file = std::string(word);
            continue;
        }
        if (chosen && (chosen->operand == Operand::OptionalWord || chosen->operand == Operand::RequiredWord) &&
            !line.word) {
            line.word = std::string(word);
            continue;
        }
        return Refused("unexpected argument " + Shown(word));
    }
    for (const FlagSpec* flag : flags) {
        if (line.command != flag->command)
            return Refused(std::string(flag->name) + " goes with " +
                           std::string(std::ranges::find(ProgramOptions, flag->command, &OptionSpec::command)->name) +
                           " only");
        line.*(flag->flag) = true;
    }
    if (chosen && chosen->operand == Operand::RequiredWord && !line.word)
        return Refused(std::string(chosen->name) + " needs a board's code");
    // --open opens the window, so the window's options go with it.
    if (toolkitOptions && line.command != Command::Play && line.command != Command::Open)
        return Refused("the window's options do not go with " + std::string(chosen->name));
    return {line, {}};
}

std::string_view UsageText()
{
    return R"(usage: tovratovratovra [--analyse [FILE] | --history [--csv] [FILE] | --daily [DATE] |
                        --open CODE | --help | --version]

"Tovra!, Tovra!, Tovra!": place the numbers 1 to 100 on a 10 x 10 board, each one three cells
from the last in a line or two on a diagonal. Without an option the game opens its window;
its best-20 table is record.dat in the current folder. In the game, F1 opens the help and
Ctrl+F1 the list of keys.

  --analyse [FILE]  prints each game stored in record.dat (or FILE), without a window
  --history [--csv] [FILE]
                    prints every game played, from games.db (or FILE), without a window
  --daily [DATE]    prints the code and grade of the board of DATE (YYYY-MM-DD; today's
                    when none), without a window
  --open CODE       opens the game with the board of CODE in the viewer
  --help            prints this text
  --version         prints the version

The toolkit's own options (-platform NAME, -display NAME, ...) pass through to it.
)";
}

} // namespace tovra
