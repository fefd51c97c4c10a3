#pragma once
// Date-time as a day count with the time of day as its fraction; day 0 is 30 December 1899.
// This is also how a stored record keeps its date.

namespace tovra {

using DateTime = double;

struct CivilDate {
    int year = 0;
    int month = 0;
    int day = 0;
    friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

DateTime EncodeDate(int year, int month, int day);
DateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond = 0);
// The calendar day of a date-time (its fraction ignored); for day counts of either sign.
// NaN, infinities and counts beyond a billion days give the empty date {0, 0, 0}.
CivilDate DecodeDate(DateTime value);
// Elapsed time of day in whole seconds, 0..86399 (a day count's fraction).
int SecondsOfDay(DateTime value);
// Current local date and time.
DateTime LocalNow();

} // namespace tovra
