#include "DateTime.h"

#include <cmath>
#include <ctime>
#include <sys/time.h>

namespace tovra {

namespace {
// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
long long DaysFromCivil(long long y, int m, int d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilDate CivilFromDays(long long z)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {static_cast<int>(yoe + era * 400 + (m <= 2)), m, d};
}

const long long EpochOffset = DaysFromCivil(1899, 12, 30); // day 0 in Unix days
} // namespace

DateTime EncodeDate(int year, int month, int day)
{
    return static_cast<DateTime>(DaysFromCivil(year, month, day) - EpochOffset);
}

DateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond)
{
    const double fraction = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / 86400000.0;
    return EncodeDate(year, month, day) + fraction;
}

CivilDate DecodeDate(DateTime value)
{
    // Far beyond any calendar in use (or NaN): no date rather than an overflowing day count.
    if (!(std::fabs(value) < 1e9))
        return {};
    return CivilFromDays(static_cast<long long>(std::floor(value)) + EpochOffset);
}

int SecondsOfDay(DateTime value)
{
    const double fraction = value - std::floor(value);
    const long long seconds = std::llround(fraction * 86400.0);
    return static_cast<int>(seconds % 86400);
}

DateTime LocalNow()
{
    timeval now{};
    gettimeofday(&now, nullptr);
    std::tm local{};
    const std::time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          local.tm_sec, static_cast<int>(now.tv_usec / 1000));
}

} // namespace tovra
