// The command line: what each set of words asks for, and what is refused before any window.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace tovra {
namespace {

struct Accepted {
    std::vector<const char*> words;
    Command command;
    std::optional<std::string> file;
    bool csv;
};

class CommandLineAccepts : public ::testing::TestWithParam<Accepted> {};

TEST_P(CommandLineAccepts, WhatItUnderstands)
{
    const ParsedCommandLine parsed = ParseCommandLine(GetParam().words);
    ASSERT_TRUE(parsed.line) << parsed.problem;
    EXPECT_EQ(parsed.line->command, GetParam().command);
    EXPECT_EQ(parsed.line->file, GetParam().file);
    EXPECT_EQ(parsed.line->csv, GetParam().csv);
}

INSTANTIATE_TEST_SUITE_P(
    Words, CommandLineAccepts,
    ::testing::Values(Accepted{{}, Command::Play, std::nullopt, false},
                      Accepted{{"-h"}, Command::Help, std::nullopt, false},
                      Accepted{{"--version"}, Command::Version, std::nullopt, false},
                      Accepted{{"--analyse", "old.dat"}, Command::Analyse, "old.dat", false},
                      Accepted{{"--history", "--csv", "old.db"}, Command::History, "old.db", true},
                      Accepted{{"--csv", "--history"}, Command::History, std::nullopt, true},
                      Accepted{{"--history", "old.db", "--csv"}, Command::History, "old.db", true},
                      Accepted{{"-platform", "offscreen", "--style=fusion", "-reverse"}, Command::Play, std::nullopt, false},
                      Accepted{{"--platform", "xcb", "-display", ":1"}, Command::Play, std::nullopt, false},
                      Accepted{{"--daily"}, Command::Daily, std::nullopt, false},
                      Accepted{{"--daily", "2026-12-08"}, Command::Daily, std::nullopt, false},
                      Accepted{{"--open", "1080Z1C", "-platform", "offscreen"}, Command::Open, std::nullopt, false}));

TEST(CommandLine, TheDateAndTheCodeAreTheOptionsOwnWords)
{
    EXPECT_EQ(ParseCommandLine(std::vector<const char*>{"--daily", "2026-12-08"}).line->word, "2026-12-08");
    EXPECT_EQ(ParseCommandLine(std::vector<const char*>{"--daily"}).line->word, std::nullopt);
    EXPECT_EQ(ParseCommandLine(std::vector<const char*>{"-platform", "xcb", "--open", "1080Z1C"}).line->word, "1080Z1C");
}

struct Refused {
    std::vector<const char*> words;
    const char* problem;
};

class CommandLineRefuses : public ::testing::TestWithParam<Refused> {};

TEST_P(CommandLineRefuses, WhatItDoesNotUnderstand)
{
    const ParsedCommandLine parsed = ParseCommandLine(GetParam().words);
    EXPECT_FALSE(parsed.line);
    EXPECT_EQ(parsed.problem, std::string("tovratovratovra: ") + GetParam().problem);
}

INSTANTIATE_TEST_SUITE_P(
    Words, CommandLineRefuses,
    ::testing::Values(Refused{{"--bogus"}, "unknown option '--bogus'"},
                      Refused{{"-v"}, "unknown option '-v'"},
                      Refused{{"-"}, "unknown option '-'"},
                      Refused{{"--help=all"}, "unknown option '--help=all'"},
                      Refused{{"record.dat"}, "unexpected argument 'record.dat'"},
                      Refused{{"--analyse", "a", "b"}, "unexpected argument 'b'"},
                      Refused{{"--version", "x"}, "unexpected argument 'x'"},
                      Refused{{"--analyse", "--history"}, "--analyse and --history cannot go together"},
                      Refused{{"--csv"}, "--csv goes with --history only"},
                      Refused{{"--analyse", "--csv"}, "--csv goes with --history only"},
                      Refused{{"--history", "-platform", "xcb"}, "the window's options do not go with --history"},
                      Refused{{"-style"}, "'-style' needs a value"},
                      Refused{{"--open"}, "--open needs a board's code"},
                      Refused{{"--open", "A", "B"}, "unexpected argument 'B'"},
                      Refused{{"--daily", "2026-12-08", "2026-12-09"}, "unexpected argument '2026-12-09'"},
                      Refused{{"--daily", "-platform", "xcb"}, "the window's options do not go with --daily"},
                      Refused{{"--daily", "--open", "X"}, "--daily and --open cannot go together"},
                      Refused{{"--\x1b[2J"}, "unknown option '--\\x1B[2J'"}));

TEST(CommandLine, UsageNamesEveryOption)
{
    for (const char* option : {"--analyse", "--history", "--csv", "--daily", "--open", "--help", "--version"})
        EXPECT_NE(UsageText().find(option), std::string_view::npos) << option;
}

} // namespace
} // namespace tovra
