#pragma once
#include <QString>

// The program's title as the desktop shows it: the executable's file name up to its first
// ".", every letter after the first in lower case. Titles error boxes and the e-mail subject.
QString ApplicationTitle();
QString ApplicationTitleFromPath(const QString& executablePath);
