#include "ClockText.h"

#include <QRegularExpression>
#include <QTime>

namespace {
bool IsSpace(QChar c)
{
    return c.isSpace() || c == QChar(0x202f) || c == QChar(0x00a0);
}

// The format without its day-period marker ("AP", "ap", "A", "a" and the like, outside quoted
// text) and the spaces that set it off, so the hours count to 23: an elapsed time is no time
// of day. A format without a marker comes back unchanged.
QString WithoutDayPeriod(const QString& format)
{
    QString out;
    bool quoted = false;
    bool dropSpaces = false; // just after a removed marker at the start
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        } else if (!quoted && (c == QLatin1Char('a') || c == QLatin1Char('A'))) {
            if (i + 1 < format.size() && (format[i + 1] == QLatin1Char('p') || format[i + 1] == QLatin1Char('P')))
                ++i;
            while (!out.isEmpty() && IsSpace(out.back()))
                out.chop(1);
            dropSpaces = out.isEmpty();
            continue;
        }
        if (dropSpaces && IsSpace(c))
            continue;
        dropSpaces = false;
        out += c;
    }
    return out;
}
} // namespace

QString ClockText(tovra::DateTime elapsed, const QLocale& locale)
{
    // Many long formats name the time zone ("t", in brackets or after a comma in some
    // locales); an elapsed time has none, so the zone goes with its brackets and separator.
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("[\\s,]*[\\(\\[]?\\s*t+\\s*[\\)\\]]?")));
    const QTime time = QTime(0, 0).addSecs(tovra::SecondsOfDay(elapsed));
    return locale.toString(time, WithoutDayPeriod(format).trimmed());
}
