#pragma once
// "record.dat": the best-20 table on disk, 2,880 bytes, read at start-up and rewritten
// whole after a game enters the table.
#include "records/BestRecord.h"
#include "records/FileSystem.h"
#include "records/IoError.h"

#include <string>

namespace tovra {

// Resolved against the current directory at each open.
inline constexpr const char* RecordFileName = "record.dat";

// Loads the table from the file. When there is no file, one of 20 fresh records is
// created (through a dangling symbolic link: where the link points). Failures throw
// IoError and leave the table as follows:
// - the file cannot be opened (read-only, unreadable, too many open files...) or cannot be
//   created: 20 fresh records, and an existing file is left untouched. A file without any
//   write bit counts as read-only (code 5) also for root;
// - the file is shorter than 2,880 bytes (code 100): the bytes read, then zeros;
// - the close fails: the complete content.
// A longer file is read to 2,880 bytes only. The file is never written when it exists.
void LoadBestTable(BestTable& table);
void LoadBestTable(BestTable& table, const std::string& path, FileSystem& files = SystemFileSystem());

// Reads the table for a look only: the file is opened read-only and never created, so a
// read-only file reads as any other. Throws IoError as LoadBestTable does (code 2 when
// there is no file, 100 when it is shorter than 2,880 bytes); the table is then unchanged.
void ReadBestTable(BestTable& table, const std::string& path, FileSystem& files = SystemFileSystem());

enum class SaveOutcome {
    Saved,
    // The file may not be written (no write bit, even for root), or there is none and its
    // directory may not be written: nothing changed, nothing to report.
    Skipped,
};

// Replaces the file with the table, atomically: the new bytes go to a temporary file in
// the same directory, which is synced and renamed over the old one, keeping its permission
// bits. A symbolic link is written through: its final target is replaced and the link
// stays. Any failure (IoError) leaves the previous file as it was and no temporary file.
// When the directory refuses the temporary file or the rename but the file itself may be
// written, the file is overwritten in place instead; a failure there (IoError) may leave
// it partly written.
SaveOutcome SaveBestTable(const BestTable& table);
SaveOutcome SaveBestTable(const BestTable& table, const std::string& path, FileSystem& files = SystemFileSystem());

} // namespace tovra
