#include "ClockText.h"

#include <QRegularExpression>
#include <QTime>

QString ClockText(tovra::DateTime elapsed, const QLocale& locale)
{
    // Many long formats name the time zone ("t", in brackets or after a comma in some
    // locales); an elapsed time has none, so the zone goes with its brackets and separator.
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("[\\s,]*[\\(\\[]?\\s*t+\\s*[\\)\\]]?")));
    const QTime time = QTime(0, 0).addSecs(tovra::SecondsOfDay(elapsed));
    return locale.toString(time, format.trimmed());
}
