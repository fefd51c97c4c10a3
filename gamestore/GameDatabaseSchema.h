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
inline constexpr int GameDatabaseVersion = 3;

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

// Version 2: the order in which games ended, kept by the database itself, so that the history's
// order and its runs of 100s do not depend on the wall clock (which may be set back). Games
// played here get the next number when they end; the games of record.dat have none and come
// before them, by day.
inline constexpr const char* GameDatabaseUpgradeV2 = R"sql(
ALTER TABLE games ADD COLUMN end_order INTEGER;
UPDATE games SET end_order = (
    SELECT count(*) FROM games AS earlier
    WHERE earlier.origin = 'played' AND earlier.state IN ('finished', 'abandoned')
      AND (earlier.ended_at < games.ended_at OR (earlier.ended_at = games.ended_at AND earlier.id <= games.id)))
WHERE origin = 'played' AND state IN ('finished', 'abandoned');
CREATE INDEX games_by_end_order ON games (end_order);
)sql";

// Version 3: games on a board that came with its first numbers (today's board, a board from a
// code). Their given numbers stay given when the game is resumed, and the days of today's
// boards are counted by the board's date, not by the clock of the day they were played.
inline constexpr int GivenBoardsVersion = 3;
inline constexpr const char* GameDatabaseUpgradeV3 = R"sql(
-- numbers 1..given came with the board: never undone, never marked; 0 for an ordinary game
ALTER TABLE games ADD COLUMN given INTEGER NOT NULL DEFAULT 0 CHECK (given BETWEEN 0 AND 100);
-- today's board: the date whose board it is, YYYY-MM-DD; NULL for any other game
ALTER TABLE games ADD COLUMN board_date TEXT;
-- today's board: its grade, 1..5; NULL otherwise
ALTER TABLE games ADD COLUMN grade INTEGER;
-- help used on a given board, for the result the player shares: F3 and Moves presses
ALTER TABLE games ADD COLUMN reachability_asked INTEGER NOT NULL DEFAULT 0;
ALTER TABLE games ADD COLUMN moves_shown INTEGER NOT NULL DEFAULT 0;
CREATE INDEX games_by_board_date ON games (board_date) WHERE board_date IS NOT NULL;
)sql";

} // namespace tovra
