#pragma once
// Which games.db is this player's, and whether the files found under its names are the game's
// own. The game's folder may be shared with other users, or hold files another program or
// another user left there: such a file is never written into, renamed or applied, and the game
// then plays without keeping its games.
#include "gamestore/GameDatabase.h"

#include <chrono>
#include <string>
#include <vector>

namespace tovra {

// This user's database in `folder`: "games.db" when the user owns the folder (a player's own
// folder), else "games-<uid>.db". Users who share a folder, and its record.dat, never share a
// database: none can stop, read or finish another's game.
std::string OwnGameDatabaseName(const std::string& folder = ".");
// The file name at the end of `path`, as the player's messages name it.
std::string BaseName(const std::string& path);

enum class StoreFileFinding {
    Absent,   // no database yet: it may be created
    Usable,   // a regular file of this user, not another program's, with nothing foreign beside it
    NotOwn,   // a link, a device or another non-regular file, or another user's file
    Foreign,  // another program's database: its tables are not the game's
    StrayLog, // a -wal, -shm or -journal beside it that is not its own
};

struct StoreFileCheck {
    StoreFileFinding finding = StoreFileFinding::Absent;
    // Unless Absent or Usable: what the file is, after its name ("games.db: a link, which the
    // game does not follow"), and the one line that tells the player.
    std::string reason;
    std::string problem;
};

// Looks at the database at `path` and its companions before SQLite opens them, without writing
// anything, not even a log or its index beside them: the schema is read from the file as it
// lies. A write-ahead log beside the database is applied to a private copy of both, and belongs
// only when what that copy holds is still the game's database. A file whose schema cannot be
// read is Usable: opening it tells whether it is damaged.
StoreFileCheck CheckStoreFiles(const std::string& path, const std::vector<SchemaUpgrade>& upgrades = GameDatabaseUpgrades());

// Creates the database file empty, for this user alone (0600; SQLite gives the log and its
// index the same mode), never through a link and never over an existing file. False when it
// could not, with errno set; EEXIST when another copy made it first.
bool CreatePrivateStoreFile(const std::string& path);

// What every connection to a file the game did not necessarily write gets before its first
// read: defensive mode (no writing the schema or the file's pages by SQL) and an untrusted schema
// (no functions with side effects from views or triggers).
void GuardConnection(sqlite3* db);

// Whether the file's schema is the game's at `version` (its user_version): every table, column,
// index, trigger and view compared by the statement that made it with what `upgrades` make.
// Version 0 is a file the game has not laid out yet, which must hold nothing at all. A newer
// version than `upgrades` reach is compared only for what the game never makes: triggers and
// views.
// Unreadable: the schema itself could not be read (the connection's error code says why: a
// damaged file, a lock...).
enum class SchemaFinding { Empty, Own, Foreign, Unreadable };
SchemaFinding CheckSchema(sqlite3* db, int version, const std::vector<SchemaUpgrade>& upgrades = GameDatabaseUpgrades());

// An existing game database, opened through all of the above (never created, never through a
// link, guarded, its schema the game's): null, and `problem` says why, otherwise.
sqlite3* OpenExistingGameDatabase(const std::string& path, bool readOnly, std::string& problem);

// The same, read-only, for a read that must be quick and must leave everything as it was (the
// start's look at the game to resume): the log beside it is read where it lies rather than
// proven the database's own on a copy, which the keeper does before it writes. A log whose
// pages are another database's fails the schema check like any foreign file.
sqlite3* OpenGameDatabaseToPeek(const std::string& path, std::string& problem);

// Bounds every statement of the connection while it lives: one that runs past `limit` is
// interrupted (SQLITE_INTERRUPT), so a file built to loop cannot hang the game.
class QueryTimeLimit {
public:
    QueryTimeLimit(sqlite3* db, std::chrono::milliseconds limit);
    ~QueryTimeLimit();
    QueryTimeLimit(const QueryTimeLimit&) = delete;
    QueryTimeLimit& operator=(const QueryTimeLimit&) = delete;
    // Starts the time again (for a connection kept open between unrelated statements).
    void Restart();

private:
    static int Check(void* self);
    sqlite3* db_;
    std::chrono::milliseconds limit_;
    std::chrono::steady_clock::time_point deadline_;
};

} // namespace tovra
