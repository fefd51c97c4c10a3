#pragma once
// Keeps the game in progress in the game database without making the window wait: after each
// change of the board the window hands over what the player now sees, and a thread of its own
// writes it. When the player is faster than the disk, only the newest of the waiting states
// is written, so the saved game is always one the player saw, at most a few actions old.
#include "core/GameState.h"
#include "gamestore/GameDatabase.h"
#include "gamestore/RunningCopy.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tovra {

// What the board shows, in the database's terms.
GameInProgress SnapshotOf(const GameState& game, std::int64_t playedMs, double startedAt);
// The cell identifiers of a stored game, in order; nothing when a cell is out of the board.
std::optional<std::vector<std::string>> CellIdsOf(const GameInProgress& game);

class GameSaver {
public:
    // Told once, on the saving thread, when a write fails: one line for the player.
    using Failed = std::function<void(const std::string& line)>;
    // Told on the saving thread when a finished game's row is written, with its id.
    using Finished = std::function<void(std::int64_t id)>;

    // Takes over `database` (only the saving thread uses it from now on) and the game the
    // start drew: `resumed`, as FindGameToResume returned it, or null. The saving thread's
    // first write claims it for this copy.
    GameSaver(std::unique_ptr<GameDatabase> database, std::unique_ptr<RunningCopy> copy, const StoredGame* resumed,
              Failed failed = {}, Finished finished = {});
    // Writes whatever still waits, then ends the thread.
    ~GameSaver();
    GameSaver(const GameSaver&) = delete;
    GameSaver& operator=(const GameSaver&) = delete;

    // The board as the start left it, resumed or empty; before any Changed.
    void Begin(const GameState& game);
    // After each change of the board. A change of `game.GameNumber` is a new game: the old
    // one, if it had a number, is abandoned.
    void Changed(const GameState& game, std::int64_t playedMs);
    // The end-of-game sequence starts: the game is finished and never resumed.
    void Ended(const GameState& game, std::int64_t playedMs);
    // The end-of-game dialog saved the finished game under this name (UTF-8).
    void NameSaved(const std::string& name);
    // Returns once everything handed over so far is written (or has failed).
    void Flush();
    // Writes done since the start (tests and the bench).
    std::int64_t WritesDone() const;

private:
    enum class Kind { Claim, Save, Finish, Name, Abandon };
    struct Job {
        Kind kind;
        GameInProgress game;
        std::string name; // Name: the name; Claim: the owner the game had when it was found
        std::int64_t id = 0; // Claim: the row
    };

    void enqueue(Job job);
    void run();
    void write(const Job& job);
    void fail(const std::string& why);

    // The window's thread only.
    std::optional<std::uint32_t> gameNumber_;
    bool hasNumbers_ = false;
    bool ended_ = false;
    double startedAt_ = 0;

    // The saving thread only.
    std::unique_ptr<GameDatabase> database_;
    std::unique_ptr<RunningCopy> copy_;
    std::int64_t playingId_ = 0;
    std::int64_t finishedId_ = 0;
    Failed failed_;
    Finished finished_;
    bool toldFailure_ = false;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<Job> jobs_;
    bool busy_ = false;
    bool stopping_ = false;
    std::int64_t writes_ = 0;
    std::thread thread_; // started last, after every member it reads is set
};

// The database beside record.dat opened at start-up, with the game to resume, if any.
struct KeptGames {
    std::unique_ptr<GameSaver> saver; // null: the game plays without saving
    std::optional<GameInProgress> resumed;
    std::string problem; // one line for the player; empty when all is well
};
KeptGames OpenKeptGames(const std::string& path = GameDatabaseFileName, GameSaver::Failed failed = {},
                        GameSaver::Finished finished = {});

} // namespace tovra
