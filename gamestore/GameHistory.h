#pragma once
// The history of every game: the finished and abandoned rows of the game database, read for
// the statistics, the replays and "--history"; the games of record.dat taken in once; and the
// last number after which 100 was still reachable, worked out once per game and stored.
#include "gamestore/Sql.h"
#include "records/BestRecord.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tovra {

enum class GameEnd {
    Complete,  // 100 reached
    Stuck,     // no move left before 100
    Abandoned, // left unfinished: a new game over it, or never resumed
};

struct HistoryGame {
    std::int64_t id = 0;
    GameEnd end = GameEnd::Stuck;
    bool imported = false;             // taken from record.dat: its order is the stored board's
    std::optional<double> startedAt;   // Unix seconds; unknown for imported games
    std::optional<double> endedAt;     // Unix seconds; an imported game's day, at noon local time
    std::int64_t playedMs = 0;         // clock time; 0 and meaningless for imported games
    std::vector<int> cells;            // cell indexes 0..99 of numbers 1, 2, ... in order
    std::string name;                  // UTF-8, as saved into record.dat; empty: none
    std::optional<int> lastReachable;  // 0..score; unknown until worked out
    int given = 0;                     // numbers 1..given came with the board; 0 for an ordinary game
    std::optional<CivilDate> boardDate; // today's board: the date whose board it is

    int Score() const { return static_cast<int>(cells.size()); }
};

// Every finished and abandoned game, newest first (by end, then by row). A row whose cells are
// no game (a byte above 99) is read with the cells before it. A file of an older layout (read
// where it cannot be upgraded) reads as ordinary games. Throws StoreError.
std::vector<HistoryGame> ReadHistory(Connection& db);
// One game by row id; nothing when there is no such finished or abandoned game.
std::optional<HistoryGame> ReadHistoryGame(Connection& db, std::int64_t id);

// Adds the stored games of `table` as imported finished games, once per database: the first
// call on a database adds them and notes that it did, every later call adds nothing, and a
// game already there (the same 144 bytes) is never added twice, whichever copy of the game
// gets there first. Records without a game or whose board is no game are left out. One
// transaction: all of them or none. Returns how many were added. Throws StoreError.
int ImportStoredGamesOnce(Connection& db, const BestTable& table);

// Games whose last reachable number is not known yet, oldest first.
struct PendingAnalysis {
    std::int64_t id = 0;
    std::vector<int> cells;
};
std::vector<PendingAnalysis> GamesAwaitingAnalysis(Connection& db);
// Stores the number for the game, unless one is already stored (the first answer stays).
// Returns whether it was stored. Throws StoreError.
bool StoreLastReachable(Connection& db, std::int64_t id, int lastReachable);

// The database at `path` for reading only: never created, never upgraded, never written, also
// in a folder the player may not write. Throws StoreError when it cannot be opened or is not a
// game database.
std::unique_ptr<Connection> OpenHistoryReadOnly(const std::string& path);
// The whole history of the database at `path`, read as OpenHistoryReadOnly does. No file yet
// is an empty history; a file that cannot be read gives nothing, with `error` set.
std::vector<HistoryGame> ReadHistoryFile(const std::string& path, std::string& error);

// The import key of a record: its 144 bytes as lowercase hex.
std::string ImportKey(const BestRecord& record);
// Unix seconds at noon (local time) of a calendar day.
double NoonOf(const CivilDate& day);

} // namespace tovra
