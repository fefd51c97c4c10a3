#include "util/Utils1.h"

#include <cstdint>

namespace tovra {

namespace {

[[noreturn]] void throwNotAnInteger(std::string_view text)
{
    throw ConvertError("'" + std::string(text) + "' is not a valid integer value");
}

// Strict decimal conversion of a text made of digits and spaces only: spaces may precede the
// digits, nothing may follow them, and the value must fit a signed 32-bit integer.
int convertDigits(std::string_view text)
{
    std::size_t pos = text.find_first_not_of(' ');
    if (pos == std::string_view::npos)
        throwNotAnInteger(text);
    std::int64_t value = 0;
    for (; pos < text.size(); ++pos) {
        const char ch = text[pos];
        if (ch < '0' || ch > '9')
            throwNotAnInteger(text);
        value = value * 10 + (ch - '0');
        if (value > INT32_MAX)
            throwNotAnInteger(text);
    }
    return static_cast<int>(value);
}

} // namespace

int TolerantStrToInt(std::string_view text)
{
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    if (text.empty())
        return 0;
    if (text.find_first_not_of("0123456789 ") != std::string_view::npos)
        return 0;
    const int value = convertDigits(text);
    return negative ? -value : value;
}

} // namespace tovra
