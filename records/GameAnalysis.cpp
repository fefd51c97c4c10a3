#include "records/GameAnalysis.h"

#include "core/GameState.h"
#include "core/Solver.h"
#include "records/Cp1252.h"
#include "records/RecordFile.h"

#include <algorithm>
#include <cstdlib>
#include <ostream>

namespace tovra {

namespace {
constexpr std::size_t NameColumnWidth = NameCapacity;

// The stored name for a terminal, padded to its column. The name is UTF-8 from a single-byte
// code page, so every character is one column wide.
std::string NameColumn(const BestRecord& record)
{
    std::string shown = TerminalSafeName(RecordName(record));
    const auto characters = static_cast<std::size_t>(
        std::count_if(shown.begin(), shown.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    if (characters < NameColumnWidth)
        shown.append(NameColumnWidth - characters, ' ');
    return shown;
}

std::string RightAligned(int value, std::size_t width)
{
    std::string text = std::to_string(value);
    return std::string(text.size() < width ? width - text.size() : 0, ' ') + text;
}
} // namespace

std::string AnalysisLine(int rank, const BestRecord& record)
{
    std::string verdict;
    if (const auto cells = StoredGameOrder(record); !cells) {
        verdict = "the stored board is not a game";
    } else if (const int last = LastReachableNumber(*cells); last == CellCount) {
        verdict = "100 reached";
    } else {
        verdict = "100 reachable until number " + std::to_string(last);
    }
    return RightAligned(rank, 2) + "  " + NameColumn(record) + "  " + RightAligned(record.Score, 3) + "  " + verdict;
}

bool RecordDecodes(const BestRecord& record)
{
    return record.NameLength <= NameCapacity && record.Score <= CellCount &&
           (record.Date() == 0 || HoldsGame(record)) &&
           std::ranges::all_of(record.SchemeBytes, [](std::uint8_t number) { return number <= CellCount; });
}

int AnalyseRecordFile(const std::string& path, FileSystem& files, std::ostream& out, std::ostream& err)
{
    // Any other file would read as games that never were: a record file is exactly a table.
    FileStatus status;
    if (files.StatusOf(path, status) == 0 && status.kind == FileKind::Regular &&
        status.size != static_cast<off_t>(TableSize)) {
        err << path << ": not a record file (" << status.size << " bytes; a record file has 2,880)\n";
        return 1;
    }
    BestTable table;
    try {
        ReadBestTable(table, path, files);
    } catch (const IoError& error) {
        err << path << ": " << error.BoxText() << '\n';
        return 1;
    }
    for (int rank = 1; rank <= RecordCount; ++rank) {
        if (!RecordDecodes(table.ByRank(rank))) {
            err << path << ": not a record file (its record " << rank << " is none the game writes)\n";
            return 1;
        }
    }
    bool anyGame = false;
    for (int rank = 1; rank <= RecordCount; ++rank) {
        const BestRecord& record = table.ByRank(rank);
        if (!HoldsGame(record))
            continue;
        out << AnalysisLine(rank, record) << '\n';
        anyGame = true;
    }
    if (!anyGame)
        out << "No stored games.\n";
    return 0;
}

} // namespace tovra
