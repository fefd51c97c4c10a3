#include "ClockText.h"

#include <QRegularExpression>
#include <QTime>

QString ClockText(tovra::DateTime elapsed, const QLocale& locale)
{
    // The long format ends in a zone name ("t", "tttt") in many locales; an elapsed time has none.
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*\\(?t+\\)?")));
    const QTime time = QTime(0, 0).addSecs(tovra::SecondsOfDay(elapsed));
    return locale.toString(time, format.trimmed());
}
