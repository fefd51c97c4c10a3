#pragma once
#include "core/DateTime.h"

#include <QLocale>
#include <QString>

// An elapsed time written with the fields of the locale's long time format (its digits,
// separators and field order) as a 24-hour count, without any time-zone name or AM/PM marker:
// "1.02.05", "1:02:05", "13:02:05" … A day or more starts again from 0.
QString ClockText(tovra::DateTime elapsed, const QLocale& locale = QLocale());
