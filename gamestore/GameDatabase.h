#pragma once
// "games.db": the game in progress and the history of games, one SQLite file beside
// record.dat (see GameDatabaseSchema.h for its layout). Opening it never fails the game: a
// file that cannot be used leaves the game playing without saving, with one line to tell
// the player, and a damaged file is set aside under a dated name, never deleted.
#include "gamestore/GameDatabaseSchema.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tovra {

// One prepared statement: bind by position (from 1), step, read columns (from 0). Every
// call of this class leaves errors to the caller through Step's result.
class SqlStatement {
public:
    SqlStatement(sqlite3* db, const char* sql);
    ~SqlStatement();
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    bool Valid() const { return statement_ != nullptr; }
    SqlStatement& Bind(int index, std::int64_t value);
    SqlStatement& Bind(int index, double value);
    SqlStatement& Bind(int index, std::string_view text);
    SqlStatement& BindBlob(int index, const std::vector<std::uint8_t>& bytes);
    SqlStatement& BindNull(int index);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step();
    // Ready for new bindings and a new run.
    void Reset();

    bool IsNull(int column) const;
    std::int64_t Int(int column) const;
    double Real(int column) const;
    std::string Text(int column) const;
    std::vector<std::uint8_t> Blob(int column) const;

private:
    sqlite3_stmt* statement_ = nullptr;
};

// A game as the player last saw it, enough to draw it again.
struct GameInProgress {
    std::vector<std::uint8_t> cells; // cells[k]: the cell of number k + 1, (row - 1) * 10 + column - 1
    int markedNumber = 0;            // the number whose cell is marked; 0 for none
    std::int64_t playedMs = 0;       // game clock
    double startedAt = 0;            // Unix seconds of the first number; 0 when unknown
    friend bool operator==(const GameInProgress&, const GameInProgress&) = default;
};

struct StoredGame {
    std::int64_t id = 0;
    GameInProgress game;
    std::string owner; // of a game in progress: the token of the copy that last held it
};

// One step of the schema: brings a database of version `from` to `from + 1`.
struct SchemaUpgrade {
    int from = 0;
    const char* sql = "";
};
// The steps from an empty file (version 0) to GameDatabaseVersion.
const std::vector<SchemaUpgrade>& GameDatabaseUpgrades();

class GameDatabase;

struct OpenedGameDatabase {
    // Null when the game plays without a database.
    std::unique_ptr<GameDatabase> database;
    // One line for the player when something is not as it should be (the database cannot be
    // written, was set aside, is in use); empty otherwise.
    std::string problem;
    // The name a damaged file now has, empty when none was set aside.
    std::string setAsideAs;
};

enum class OpenMode { ReadWrite, ReadOnly };

// Opens or creates the database at `path`. A file older than `upgrades` reach is upgraded
// one step at a time, all steps in one transaction; a newer one is opened read-only. A file
// that is no database, or is damaged, or whose upgrade fails, is renamed to
// "<path>.damaged-YYYYMMDD-HHMMSS" (with its -wal and -shm) and a new one is made. A locked
// or unreadable file gives no database and a problem line.
OpenedGameDatabase OpenGameDatabase(const std::string& path = GameDatabaseFileName, OpenMode mode = OpenMode::ReadWrite,
                                    const std::vector<SchemaUpgrade>& upgrades = GameDatabaseUpgrades(),
                                    int targetVersion = GameDatabaseVersion);

// Unix seconds, now.
double UnixNow();

// One connection. Not shared between threads at the same time; a second thread opens its own.
// Every write runs in one transaction; false when it failed (nothing of it was written), and
// LastError() tells why.
class GameDatabase {
public:
    ~GameDatabase();
    GameDatabase(const GameDatabase&) = delete;
    GameDatabase& operator=(const GameDatabase&) = delete;

    sqlite3* Handle() const { return db_; }
    const std::string& Path() const { return path_; }
    bool ReadOnly() const { return readOnly_; }
    int Version() const { return version_; }
    std::string LastError() const;
    // How long a statement waits for another connection's write lock before it fails.
    void SetBusyTimeout(int milliseconds);
    // Runs SQL without results; false on failure.
    bool Exec(const char* sql);

    // The most recent game in progress with a number that no running copy holds (`held` says
    // of an owner token whether its copy runs), for `owner` to resume. Reads only: the start
    // draws it at once, and ClaimGame takes it later, off the window's thread.
    std::optional<StoredGame> FindGameToResume(const std::string& owner,
                                               const std::function<bool(const std::string&)>& held);
    // Takes `game`, as FindGameToResume returned it, for `owner`, unless another copy took it
    // meanwhile (then false, and this copy's game goes into a row of its own). Every other game
    // in progress that no running copy holds becomes abandoned, and one without a number goes.
    bool ClaimGame(const StoredGame& game, const std::string& owner,
                   const std::function<bool(const std::string&)>& held, double now = UnixNow());
    // Both at once (tests, and copies that need no quick start).
    std::optional<StoredGame> ClaimGameToResume(const std::string& owner,
                                                const std::function<bool(const std::string&)>& held,
                                                double now = UnixNow());
    // Stores the game in progress of `owner` in row `id` (0: a new row). A row that `owner`
    // does not hold is never written: the game then goes into a new row. The row's id, or 0
    // when the game has no number (its row is then removed), or -1 on failure.
    std::int64_t SavePlaying(std::int64_t id, const GameInProgress& game, const std::string& owner,
                             double now = UnixNow());
    // The end-of-game sequence started: the game is finished, "complete" at 100, else
    // "stuck". `id` 0 adds the row. The row's id, or -1 on failure.
    std::int64_t MarkFinished(std::int64_t id, const GameInProgress& game, double now = UnixNow());
    // The name the end-of-game dialog saved into record.dat, as UTF-8.
    bool SetName(std::int64_t id, const std::string& name);
    // Left unfinished: a new game was started over it.
    bool MarkAbandoned(std::int64_t id, double now = UnixNow());
    // The row as stored, whatever its state (tests and the history read it).
    std::optional<StoredGame> Read(std::int64_t id);

private:
    friend OpenedGameDatabase OpenGameDatabase(const std::string&, OpenMode, const std::vector<SchemaUpgrade>&, int);
    GameDatabase(sqlite3* db, std::string path, bool readOnly, int version);
    // Runs `work` between BEGIN IMMEDIATE and COMMIT; rolls back when it returns false.
    bool InTransaction(const std::function<bool()>& work);

    sqlite3* db_;
    std::string path_;
    bool readOnly_;
    int version_;
    std::string error_;
};

} // namespace tovra
