#pragma once
// "record.dat": the best-20 table on disk, 2,880 bytes, read at start-up and rewritten
// whole after a game enters the table.
#include "records/BestRecord.h"
#include "records/FileSystem.h"
#include "records/IoError.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tovra {

// Resolved against the current directory at each open.
inline constexpr const char* RecordFileName = "record.dat";

enum class SaveOutcome {
    Saved,
    // The file may not be written (no write bit, even for root), or there is none and its
    // directory may not be written, or it could not be read since start-up, or it is a link
    // to the null device (scores switched off): nothing changed, nothing to report.
    Skipped,
    // Another copy of the game saved first, and in its newer table this game no longer
    // ranks: nothing written, the table is the file's.
    NoLongerRanks,
};

// Loads the table from the file. When there is no file, one of 20 fresh records is
// created (through a dangling symbolic link: where the link points), complete or not at
// all. Failures throw IoError and leave the table as follows:
// - the file cannot be opened (read-only, unreadable, too many open files, not a regular
//   file...) or cannot be created: 20 fresh records, and an existing file is left untouched.
//   A file without any write bit counts as read-only (code 5) also for root;
// - the file is shorter than 2,880 bytes (code 100): the bytes read, then zeros;
// - the close fails: the complete content.
// A longer file is read to 2,880 bytes only. The file is never written when it exists. A
// link to the null device loads 20 fresh records without a word.
void LoadBestTable(BestTable& table, const std::string& path, FileSystem& files);

// Reads the table for a look only: the file is opened read-only and never created, so a
// read-only file reads as any other. Throws IoError as LoadBestTable does (code 2 when
// there is no file, 100 when it is shorter than 2,880 bytes); the table is then unchanged.
void ReadBestTable(BestTable& table, const std::string& path, FileSystem& files);

// Replaces the file with the table, whatever it holds: RecordFile::Save without the merge.
SaveOutcome SaveBestTable(const BestTable& table, const std::string& path, FileSystem& files);

// The file as one copy of the game knows it. Other copies, of this user or another, may save
// into the same file at any time; this one remembers what it last read or wrote, so that a
// save never throws away what another copy saved meanwhile, and a file it could not read is
// never replaced.
//
// A save locks the file itself (every copy that may write it can open it, and so lock it),
// reads it again, and puts the new table in place: a new file, with the old one's owner,
// group and mode, renamed over it, or, where the owner cannot be kept or the folder refuses,
// the old file overwritten under the lock. A symbolic link is written through and stays.
// Anything that is not a regular file is never written. A save that cannot lock writes
// nothing and says so.
class RecordFile {
public:
    RecordFile(std::string path, FileSystem& files)
        : path_(std::move(path)), files_(files)
    {
    }

    // LoadBestTable, remembering what was read; clears what killed saves left behind.
    void Load(BestTable& table);
    // Saves a finished game that already stands in `table` (at its rank there). Under the
    // lock the file is read again: when another copy has saved since this one last read or
    // wrote it, the game goes into the file's table instead (same rule: first rank whose
    // score is lower or equal), which is saved and becomes `table`. A file shorter than a
    // table that this copy did not load so is a failed read (code 100): nothing is written.
    // `table` changes only when the outcome is not Skipped and nothing was thrown.
    SaveOutcome Save(BestTable& table, const BestRecord& game);
    // Reads the file again if it changed on disk since this copy last read or wrote it;
    // true when `table` now holds the file's newer table. A file that cannot be read
    // (whole) leaves the table as it is.
    bool Refresh(BestTable& table);
    // Called over and over while another copy holds the lock, until the save's deadline (a
    // few seconds for the whole save): the window handles its events meanwhile. Without
    // one the save sleeps between tries.
    void SetWaiting(std::function<void()> waiting) { waiting_ = std::move(waiting); }

private:
    friend SaveOutcome SaveBestTable(const BestTable&, const std::string&, FileSystem&);
    // Both saves: merges `game` when given, else writes `table` as it is.
    SaveOutcome store(BestTable& table, const BestRecord* game);
    SaveOutcome notRegular(FileKind kind) const;
    void lock(int fd, std::int64_t deadline) const;
    void remember(const std::vector<std::uint8_t>& bytes, const FileStatus& status);

    std::string path_;
    FileSystem& files_;
    std::function<void()> waiting_;
    // The file's bytes (its first 2,880) as last read or written, and the version they are
    // of; nothing while no read has succeeded.
    std::optional<std::vector<std::uint8_t>> known_;
    std::optional<FileStatus> version_;
    // An overwrite in place that failed: the file may hold any mix of known_ and these.
    std::optional<std::vector<std::uint8_t>> unfinished_;
    // The file was there at start-up but could not be read: the player has seen the error,
    // and the file keeps its games until a read succeeds.
    bool unreadSinceLoad_ = false;
};

} // namespace tovra
