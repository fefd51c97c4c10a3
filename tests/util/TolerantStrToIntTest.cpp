#include "util/Utils1.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

namespace tovra {
namespace {

template <typename Case>
std::string rowName(const testing::TestParamInfo<Case>& info)
{
    std::string name = info.param.situation;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

struct ParseCase {
    const char* situation;
    std::string text;
    int expected;
};

void PrintTo(const ParseCase& row, std::ostream* out) { *out << '"' << row.text << '"'; }

class TolerantStrToIntValues : public testing::TestWithParam<ParseCase> {};

TEST_P(TolerantStrToIntValues, GivesTheValueOrZero)
{
    EXPECT_EQ(TolerantStrToInt(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TolerantStrToIntValues,
    testing::Values(ParseCase{"empty", "", 0},
                    ParseCase{"plain score", "57", 57},
                    ParseCase{"leading zeros", "007", 7},
                    ParseCase{"negative", "-5", -5},
                    ParseCase{"hyphen alone", "-", 0},
                    ParseCase{"placeholder of an empty record", "-----", 0},
                    ParseCase{"two minus signs", "--5", 0},
                    ParseCase{"plus sign", "+5", 0},
                    ParseCase{"letter after digits", "12a", 0},
                    ParseCase{"space before digits", " 7", 7},
                    ParseCase{"space between minus and digits", "- 7", -7},
                    ParseCase{"space before minus", " -5", 0},
                    ParseCase{"largest 32-bit value", "2147483647", 2147483647},
                    ParseCase{"negated largest value", "-2147483647", -2147483647},
                    ParseCase{"zeros before a large value", "0000000000002147483647", 2147483647},
                    ParseCase{"hexadecimal prefix", "$1F", 0},
                    ParseCase{"tab before digits", "\t7", 0}),
    rowName<ParseCase>);

struct FailureCase {
    const char* situation;
    std::string text;
    std::string message;
};

void PrintTo(const FailureCase& row, std::ostream* out) { *out << '"' << row.text << '"'; }

class TolerantStrToIntFailures : public testing::TestWithParam<FailureCase> {};

TEST_P(TolerantStrToIntFailures, RaiseTheConversionError)
{
    try {
        TolerantStrToInt(GetParam().text);
        FAIL() << "no error for '" << GetParam().text << "'";
    } catch (const ConvertError& error) {
        EXPECT_STREQ(error.what(), GetParam().message.c_str());
    }
}

// These texts pass the digits-and-spaces test but are no integer; the message names the text
// the conversion was given, which is the text without its leading minus.
INSTANTIATE_TEST_SUITE_P(
    Texts, TolerantStrToIntFailures,
    testing::Values(
        FailureCase{"space after a digit", "7 ", "'7 ' is not a valid integer value"},
        FailureCase{"space between digits", "1 2", "'1 2' is not a valid integer value"},
        FailureCase{"spaces only", "   ", "'   ' is not a valid integer value"},
        FailureCase{"minus and spaces", "- ", "' ' is not a valid integer value"},
        FailureCase{"beyond 32 bits", "2147483648", "'2147483648' is not a valid integer value"},
        FailureCase{"far beyond 64 bits", "99999999999999999999999",
                    "'99999999999999999999999' is not a valid integer value"},
        FailureCase{"smallest 32-bit value", "-2147483648",
                    "'2147483648' is not a valid integer value"}),
    rowName<FailureCase>);

} // namespace
} // namespace tovra
