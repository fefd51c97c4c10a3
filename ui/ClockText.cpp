#include "ClockText.h"

#include <QRegularExpression>

#include <cstring>

namespace {
bool IsSpace(QChar c)
{
    return c.isSpace() || c == QChar(0x202f) || c == QChar(0x00a0);
}

bool IsLetter(QChar c, const char* letters)
{
    return c.unicode() < 128 && std::strchr(letters, c.toLatin1()) != nullptr;
}

// One hours, minutes or seconds field, in the locale's digits; a doubled letter pads to two.
QString Field(int value, qsizetype letters, const QLocale& locale)
{
    QString digits = locale.toString(value);
    if (letters >= 2 && value < 10)
        digits.prepend(locale.zeroDigit());
    return digits;
}
} // namespace

QString ClockText(tovra::DateTime elapsed, const QLocale& locale)
{
    const int seconds = tovra::SecondsOfDay(elapsed);
    // Many long formats name the time zone ("t", in brackets or after a comma in some
    // locales); an elapsed time has none, so the zone goes with its brackets and separator.
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("[\\s,]*[\\(\\[]?\\s*t+\\s*[\\)\\]]?")));

    // The format's fields filled with the elapsed hours (counted to 23: an elapsed time is no
    // time of day, so there is no day-period marker and no twelve-hour clock), minutes and
    // seconds; its other text as it stands. A removed marker takes the spaces around it along.
    QString out;
    bool dropSpaces = false; // just after a removed marker at the start
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) { // quoted text; two quotes are one
            const qsizetype end = format.indexOf(QLatin1Char('\''), i + 1);
            const qsizetype stop = end < 0 ? format.size() : end;
            out += stop == i + 1 ? QStringLiteral("'") : format.mid(i + 1, stop - i - 1);
            i = stop + 1;
            dropSpaces = false;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        if (IsLetter(c, "aA")) {
            if (i + 1 < format.size() && IsLetter(format[i + 1], "pP"))
                ++run;
            while (!out.isEmpty() && IsSpace(out.back()))
                out.chop(1);
            dropSpaces = out.isEmpty();
        } else if (dropSpaces && IsSpace(c)) {
            // the space that set off a removed marker
        } else {
            dropSpaces = false;
            if (IsLetter(c, "hH"))
                out += Field(seconds / 3600, run, locale);
            else if (c == QLatin1Char('m'))
                out += Field(seconds / 60 % 60, run, locale);
            else if (c == QLatin1Char('s'))
                out += Field(seconds % 60, run, locale);
            else
                out += QString(run, c);
        }
        i += run;
    }
    return out.trimmed();
}
