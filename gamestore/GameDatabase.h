#pragma once
// "games.db": the game in progress and the history of games, one SQLite file beside
// record.dat (see GameDatabaseSchema.h for its layout). Opening it never fails the game: a
// file that cannot be used leaves the game playing without saving, with one line to tell
// the player, and a damaged file is set aside under a dated name, never deleted.
#include "core/GivenBoardResult.h"
#include "gamestore/GameDatabaseSchema.h"
#include "gamestore/Sql.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovra {

// A game as the player last saw it, enough to draw it again.
struct GameInProgress {
    std::vector<std::uint8_t> cells; // cells[k]: the cell of number k + 1, (row - 1) * 10 + column - 1
    int markedNumber = 0;            // the number whose cell is marked; 0 for none
    std::int64_t playedMs = 0;       // game clock
    double startedAt = 0;            // Unix seconds of the first number; 0 when unknown
    // A board that came with its first numbers: how many (0 for an ordinary game), today's
    // board's date and grade, and the help used, so a resumed game keeps them all.
    GivenBoardPlay givenBoard;
    friend bool operator==(const GameInProgress&, const GameInProgress&) = default;
};

struct StoredGame {
    std::int64_t id = 0;
    GameInProgress game;
    std::string owner; // of a game in progress: the token of the copy that last held it
};

// A game in progress that no running copy holds, as the list of kept games shows it.
struct KeptGame {
    StoredGame stored;
    double lastPlayedAt = 0; // Unix seconds of its last save
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
    // What kept the database from being written, when it cannot be.
    StoreFailure failure = StoreFailure::None;
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

// One line for the player about a failure of the file at `path`, saying what to do about it.
std::string ProblemLine(const std::string& path, StoreFailure failure, const std::string& detail);

// Unix seconds, now.
double UnixNow();

// One read-write connection, used by one thread at a time (the keeper's). Every write runs in
// one transaction, and every failure throws StoreError: nothing of a failed write is written.
class GameDatabase {
public:
    GameDatabase(std::unique_ptr<Connection> connection, bool readOnly, int version);
    GameDatabase(const GameDatabase&) = delete;
    GameDatabase& operator=(const GameDatabase&) = delete;

    Connection& Sql() { return *connection_; }
    const std::string& Path() const { return connection_->Path(); }
    bool ReadOnly() const { return readOnly_; }
    int Version() const { return version_; }

    // The most recent game in progress with a number that no running copy holds (`held` says
    // of an owner token whether its copy runs), for `owner` to resume. Reads only.
    std::optional<StoredGame> FindGameToResume(const std::string& owner,
                                               const std::function<bool(const std::string&)>& held);
    // Every game in progress with a number that no running copy holds (`held` says of an
    // owner token whether its copy runs), the games left for a new game among them, the most
    // recently played first. Reads only.
    std::vector<KeptGame> KeptGames(const std::function<bool(const std::string&)>& held);
    // Takes `game`, as FindGameToResume or KeptGames returned it, for `owner`, in one step:
    // false when another copy took it meanwhile. Other games in progress stay as they are, to
    // be resumed later; only those without a number go.
    bool ClaimGame(const StoredGame& game, const std::string& owner,
                   const std::function<bool(const std::string&)>& held);
    // Both at once (tests, and copies that need no quick start).
    std::optional<StoredGame> ClaimGameToResume(const std::string& owner,
                                                const std::function<bool(const std::string&)>& held);
    // Stores the game in progress of `owner` in row `id` (0: a new row). A row that `owner`
    // does not hold is never written: the game then goes into a new row. The row's id, or 0
    // when the game has no number (its row is then removed).
    std::int64_t SavePlaying(std::int64_t id, const GameInProgress& game, const std::string& owner,
                             double now = UnixNow());
    // The end-of-game sequence is over: the game is finished, "complete" at 100, else
    // "stuck", under the name saved into record.dat (UTF-8, empty for none). `id` 0 adds the
    // row. Synced to the disk before it returns. The row's id.
    std::int64_t MarkFinished(std::int64_t id, const GameInProgress& game, const std::string& name = {},
                              double now = UnixNow());
    // A new game was started over the game of `owner` in row `id` (0: a new row): it stays in
    // progress, held by no copy, so that any copy can continue it, but no start resumes it by
    // itself (its ended_at says when it was left). The row's id.
    std::int64_t LeaveGame(std::int64_t id, const GameInProgress& game, const std::string& owner, double now = UnixNow());
    // Given up for good: the game in progress of row `id`, still held by `owner` (empty: by
    // no copy), goes into the history as abandoned. False when it is no longer so.
    bool MarkAbandoned(std::int64_t id, const std::string& owner = {}, double now = UnixNow());
    // A game left for a new one taken back (undo right after the new game): in progress again,
    // for `owner`. False when another copy continued it meanwhile.
    bool TakeBack(std::int64_t id, const std::string& owner, double now = UnixNow());
    // The row as stored, whatever its state (tests and the history read it).
    std::optional<StoredGame> Read(std::int64_t id);

private:
    // SavePlaying without a transaction of its own.
    std::int64_t storePlaying(std::int64_t id, const GameInProgress& game, const std::string& owner, double now);

    std::unique_ptr<Connection> connection_;
    bool readOnly_;
    int version_;
};

} // namespace tovra
