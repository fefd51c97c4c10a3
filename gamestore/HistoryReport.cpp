#include "gamestore/HistoryReport.h"

#include "core/CellId.h"
#include "core/Solver.h"
#include "gamestore/HistoryText.h"
#include "records/Cp1252.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <ostream>

namespace tovra {

namespace {

std::string LocalTime(const std::optional<double>& unixSeconds, const char* format)
{
    if (!unixSeconds || !std::isfinite(*unixSeconds))
        return {};
    const auto seconds = static_cast<std::time_t>(*unixSeconds);
    std::tm local{};
    if (!localtime_r(&seconds, &local))
        return {};
    char text[32];
    return std::strftime(text, sizeof text, format, &local) ? text : "";
}

// Imported games know only their day.
std::string EndText(const HistoryGame& game, bool forCsv)
{
    if (game.imported)
        return LocalTime(game.endedAt, "%Y-%m-%d");
    return LocalTime(game.endedAt, forCsv ? "%Y-%m-%d %H:%M:%S" : "%Y-%m-%d %H:%M");
}

// The list's words, in lower case within a line.
std::string OutcomeText(GameEnd end)
{
    std::string text = GameEndText(end);
    text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// A name as a spreadsheet cell that is only ever text: a leading '=', '+', '-', '@', TAB or CR
// would make a spreadsheet read the cell as a formula (and run it), so such a cell starts with
// an apostrophe, which spreadsheets show as nothing. Control characters become visible escapes.
std::string SpreadsheetText(const std::string& name)
{
    const bool formulaLike = !name.empty() && std::string_view("=+-@\t\r").find(name.front()) != std::string_view::npos;
    return (formulaLike ? "'" : "") + TerminalSafeName(name);
}

std::string Padded(std::string text, std::size_t width, bool right = false)
{
    if (text.size() >= width)
        return text;
    const std::string pad(width - text.size(), ' ');
    return right ? pad + text : text + pad;
}

void WriteText(const std::vector<HistoryGame>& games, std::ostream& out)
{
    if (games.empty()) {
        out << "No games in the history yet.\n";
        return;
    }
    out << Padded("Ended", 17) << "  Score  " << Padded("Time", 8) << "  " << Padded("How it ended", 12) << "  "
        << "Reachable until  Name\n";
    for (const HistoryGame& game : games) {
        const std::string until = game.lastReachable ? std::to_string(*game.lastReachable) : "?";
        std::string name = TerminalSafeName(game.name);
        if (game.imported)
            name += name.empty() ? "(from record.dat)" : " (from record.dat)";
        out << Padded(EndText(game, false), 17) << "  " << Padded(std::to_string(game.Score()), 5, true) << "  "
            << Padded(game.imported ? "-" : PlayedTimeText(game.playedMs), 8) << "  " << Padded(OutcomeText(game.end), 12)
            << "  " << Padded(until, 15, true) << "  " << name << '\n';
    }
}

void WriteCsv(const std::vector<HistoryGame>& games, std::ostream& out)
{
    out << "ended,started,score,seconds_played,outcome,reachable_until,origin,name,cells\r\n";
    for (const HistoryGame& game : games) {
        std::string cells;
        for (const int cell : game.cells)
            cells += (cells.empty() ? "" : " ") + CellIdOf(cell);
        out << EndText(game, true) << ',' << LocalTime(game.startedAt, "%Y-%m-%d %H:%M:%S") << ',' << game.Score()
            << ',' << (game.imported ? "" : std::to_string(game.playedMs / 1000)) << ',' << GameEndWord(game.end)
            << ',' << (game.lastReachable ? std::to_string(*game.lastReachable) : "") << ','
            << (game.imported ? "imported" : "played") << ',' << CsvField(SpreadsheetText(game.name)) << ',' << cells << "\r\n";
    }
}

} // namespace

void WriteHistory(const std::vector<HistoryGame>& newestFirst, ReportFormat format, std::ostream& out)
{
    if (format == ReportFormat::Csv)
        WriteCsv(newestFirst, out);
    else
        WriteText(newestFirst, out);
}

int ReportHistory(const std::string& path, ReportFormat format, std::ostream& out, std::ostream& err)
{
    std::string error;
    const std::vector<HistoryGame> games = ReadHistoryFile(path, error);
    if (!error.empty()) {
        err << path << ": " << error << '\n';
        return 1;
    }
    WriteHistory(games, format, out);
    return 0;
}

} // namespace tovra
