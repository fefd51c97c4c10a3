#pragma once
// "record.dat": the best-20 table on disk, 2,880 bytes, read at start-up and rewritten
// whole after a game enters the table.
#include "records/BestRecord.h"
#include "records/FileSystem.h"
#include "records/IoError.h"

#include <optional>
#include <string>
#include <vector>

namespace tovra {

// Resolved against the current directory at each open.
inline constexpr const char* RecordFileName = "record.dat";

enum class SaveOutcome {
    Saved,
    // The file may not be written (no write bit, even for root), or there is none and its
    // directory may not be written, or it exists but could not be read since start-up:
    // nothing changed, nothing to report.
    Skipped,
    // Another copy of the game saved first, and in its newer table this game no longer
    // ranks: nothing written, the table is the file's.
    NoLongerRanks,
};

// Loads the table from the file. When there is no file, one of 20 fresh records is
// created (through a dangling symbolic link: where the link points), complete or not at
// all: it appears under its name only once synced. Failures throw IoError and leave the
// table as follows:
// - the file cannot be opened (read-only, unreadable, too many open files...) or cannot be
//   created: 20 fresh records, and an existing file is left untouched. A file without any
//   write bit counts as read-only (code 5) also for root;
// - the file is shorter than 2,880 bytes (code 100): the bytes read, then zeros;
// - the close fails: the complete content.
// A longer file is read to 2,880 bytes only. The file is never written when it exists.
void LoadBestTable(BestTable& table, const std::string& path, FileSystem& files = SystemFileSystem());

// Reads the table for a look only: the file is opened read-only and never created, so a
// read-only file reads as any other. Throws IoError as LoadBestTable does (code 2 when
// there is no file, 100 when it is shorter than 2,880 bytes); the table is then unchanged.
void ReadBestTable(BestTable& table, const std::string& path, FileSystem& files = SystemFileSystem());

// Replaces the file with the table, whatever it holds, atomically: the new bytes go to a
// temporary file in the same directory, which is synced and renamed over the old one,
// keeping its permission bits. A symbolic link is written through: its final target is
// replaced and the link stays. Any failure (IoError) leaves the previous file as it was and
// no temporary file. When the directory refuses the temporary file or the rename but the
// file itself may be written, the file is overwritten in place instead; a failure there
// (IoError) may leave it partly written.
// Runs under the lock of every copy of the game, which also clears temporary files that a
// killed copy left behind.
SaveOutcome SaveBestTable(const BestTable& table, const std::string& path, FileSystem& files = SystemFileSystem());

// The file as one copy of the game knows it. Other copies may save into the same file at
// any time; this one remembers what it last read or wrote, so that a save never throws
// away what another copy saved meanwhile, and a file it could not read is never replaced.
class RecordFile {
public:
    explicit RecordFile(std::string path = RecordFileName, FileSystem& files = SystemFileSystem());

    // LoadBestTable, remembering what was read.
    void Load(BestTable& table);
    // Saves a finished game that already stands in `table` (at its rank there). Under the
    // lock the file is read again: when another copy has saved since this one last read or
    // wrote it, the game goes into the file's table instead (same rule: first rank whose
    // score is lower or equal), which is saved and becomes `table`. A file that cannot be
    // read, by a copy that has never read it, is left alone (Skipped). `table` changes only
    // when the outcome is not Skipped and nothing was thrown.
    SaveOutcome Save(BestTable& table, const BestRecord& game);
    // Reads the file again if it changed on disk since this copy last read or wrote it;
    // true when `table` now holds the file's newer table. A file that cannot be read
    // (whole) leaves the table as it is.
    bool Refresh(BestTable& table);

private:
    void remember(const std::vector<std::uint8_t>& bytes, const std::string& target);

    std::string path_;
    FileSystem& files_;
    // The file's bytes (its first 2,880) as last read or written; nothing while no read
    // has succeeded.
    std::optional<std::vector<std::uint8_t>> known_;
    std::optional<FileStamp> stamp_;
    // The file was there at start-up but could not be read: the player has seen the error,
    // and the file keeps its games until a read succeeds.
    bool unreadSinceLoad_ = false;
};

// The record file of this copy of the game: "record.dat" in the current directory.
RecordFile& GameRecordFile();

// What the windows call: through GameRecordFile().
void LoadBestTable(BestTable& table);
SaveOutcome SaveBestTable(BestTable& table, const BestRecord& game);
bool RefreshBestTable(BestTable& table);

} // namespace tovra
