// "--analyse" on any stored game: the input is either a record's 144 bytes as a file would
// hold them, or a game played by the input's choices among the legal next cells, so that the
// completion solver gets real games of every length to chew on.
#include "core/BoardTraversal.h"
#include "core/GameState.h"
#include "core/Solver.h"
#include "records/GameAnalysis.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace tovra;

void Check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// The record of a game whose numbers follow the input: each byte picks one of the empty cells
// the move rule allows after the last number; the game ends with the input or with no move.
BestRecord PlayedGame(const std::uint8_t* choices, std::size_t count)
{
    BestRecord record;
    SetRecordName(record, "Fuzz");
    record.SetDate(45000.0);
    int cell = choices[0] % CellCount;
    int number = 1;
    record.SchemeBytes[static_cast<std::size_t>(cell)] = 1;
    for (std::size_t i = 1; i < count; ++i) {
        int targets[8];
        int found = 0;
        for (const Step& step : MoveSteps) {
            const int row = cell / BoardSize + step.rows;
            const int column = cell % BoardSize + step.columns;
            const int next = row * BoardSize + column;
            if (row >= 0 && row < BoardSize && column >= 0 && column < BoardSize &&
                record.SchemeBytes[static_cast<std::size_t>(next)] == 0)
                targets[found++] = next;
        }
        if (found == 0)
            break;
        cell = targets[choices[i] % found];
        record.SchemeBytes[static_cast<std::size_t>(cell)] = static_cast<std::uint8_t>(++number);
    }
    record.Score = static_cast<std::uint8_t>(number);
    return record;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    BestRecord record;
    const bool played = data[0] & 1;
    if (played) {
        record = PlayedGame(data + 1, size - 1);
    } else {
        std::array<std::uint8_t, RecordSize> bytes{};
        std::memcpy(bytes.data(), data + 1, std::min(size - 1, RecordSize));
        record = DecodeRecord(bytes);
    }
    const std::string line = AnalysisLine(1, record);
    Check(line.size() > 40, "a line without its verdict");
    if (played)
        Check(line.find("not a game") == std::string::npos, "a game played by the rules was refused");
    return 0;
}
