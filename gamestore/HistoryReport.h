#pragma once
// "--history": every game of the history, newest first, told without opening a window.
#include "gamestore/GameHistory.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace tovra {

enum class ReportFormat { Text, Csv };

// One line per game. Text: aligned columns for a terminal; CSV: a header row, then RFC 4180
// fields for spreadsheets (times as local "YYYY-MM-DD HH:MM:SS", cells as identifiers).
void WriteHistory(const std::vector<HistoryGame>& newestFirst, ReportFormat format, std::ostream& out);

// Reads the database at `path` without ever writing or creating it and writes its history to
// `out`. No database yet is an empty history. A file that cannot be read gets one line on
// `err`. Returns the exit status: 0, or 1 for a database that cannot be read.
int ReportHistory(const std::string& path, ReportFormat format, std::ostream& out, std::ostream& err);

} // namespace tovra
