#pragma once
#include "core/DateTime.h"

#include <QLocale>
#include <QString>

// An elapsed time written as a time of day in the locale's long time format, without any
// time-zone name: "1.02.05", "1:02:05 AM" … A day or more starts again from 0.
QString ClockText(tovra::DateTime elapsed, const QLocale& locale = QLocale());
