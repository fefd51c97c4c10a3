#pragma once
// The layout of the game database, "games.db" beside record.dat. One row per game: the game in
// progress and every game ever finished or abandoned live in the same table, so a game moves
// from "playing" to "finished" or "abandoned" by updating its own row, in one transaction, and
// can never be stored twice or lost between two tables.
//
// record.dat stays the best-20 table, byte for byte; this database only adds to it.
namespace tovra {

inline constexpr const char* GameDatabaseFileName = "games.db";

// PRAGMA user_version of a database laid out as below. A database with a lower version is
// upgraded in place, one step per version, inside a transaction; a higher one (a newer copy
// of the game) is opened read-only.
inline constexpr int GameDatabaseVersion = 1;

// Times are Unix seconds (UTC) as REAL. Cells are indices (row - 1) * 10 + (column - 1).
inline constexpr const char* GameDatabaseSchemaV1 = R"sql(
CREATE TABLE games (
    id             INTEGER PRIMARY KEY,
    -- playing: the game in progress of some copy; finished: the end-of-game sequence ran;
    -- abandoned: left unfinished (a new game over it, or never resumed).
    state          TEXT    NOT NULL CHECK (state IN ('playing', 'finished', 'abandoned')),
    -- played here, or taken once from record.dat on the first start with the database.
    origin         TEXT    NOT NULL DEFAULT 'played' CHECK (origin IN ('played', 'imported')),
    started_at     REAL,                      -- first number placed; NULL before it
    ended_at       REAL,                      -- end-of-game sequence or abandonment
    updated_at     REAL    NOT NULL,          -- last save of the row
    played_ms      INTEGER NOT NULL DEFAULT 0,-- clock time played, not the time the game was closed
    cells          BLOB    NOT NULL DEFAULT x'', -- byte k: the cell of number k + 1
    score          INTEGER NOT NULL DEFAULT 0,   -- length(cells)
    marked         INTEGER,                   -- the number whose cell is marked; NULL: none
    outcome        TEXT    CHECK (outcome IN ('complete', 'stuck')), -- set when finished
    name           TEXT,                      -- UTF-8, as saved into record.dat; NULL: none
    last_reachable INTEGER,                   -- last number after which 100 was reachable; NULL: not yet known
    import_key     TEXT    UNIQUE,            -- imported games: the record's bytes, hex, so one is added once
    owner          TEXT                       -- playing: the token of the copy that holds it
);
CREATE INDEX games_by_state ON games (state, updated_at);
CREATE INDEX games_by_end ON games (ended_at);
-- Sources of games taken in once (record.dat on the first start with the database), so they
-- are never taken in again, even after the games they held have left the file.
CREATE TABLE imports (
    source  TEXT PRIMARY KEY,
    done_at REAL NOT NULL
);
)sql";

} // namespace tovra
