#pragma once
// "--analyse": where each stored game lost the chance of 100, told without opening a window.
#include "records/BestRecord.h"
#include "records/FileSystem.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tovra {

// The line for one stored game: rank, name, score, and the last number after which 100
// could still be reached ("100 reached" for a full board).
std::string AnalysisLine(int rank, const BestRecord& record);

// True when the record is one the game could have written: a name of at most 30 characters,
// a score and numbers of at most 100, and no day or a storable one. Bytes of another kind of
// file seldom pass this for all 20 records.
bool RecordDecodes(const BestRecord& record);

// Reads the table at `path` through `files` without ever writing or creating it, and writes one line per
// stored game to `out` (records without a game are left out). A file that cannot be read
// gets the message the game shows at start-up, and a file that is not a record file (not
// 2,880 bytes, or a record that does not decode) says so: one line on `err`, naming the file.
// Returns the exit status: 0, or 1 for a file that cannot be read or is not a record file.
int AnalyseRecordFile(const std::string& path, FileSystem& files, std::ostream& out, std::ostream& err);

} // namespace tovra
