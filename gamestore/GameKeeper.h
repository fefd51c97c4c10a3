#pragma once
// The one keeper of games.db. A thread of its own owns the read-write connection and does every
// write: the game in progress, a game's end, the import of record.dat's games, the last
// reachable numbers the solver works out, the history's reads. The window only hands over what
// it shows and never waits for the disk: a call here takes a lock that the keeper's thread
// holds only to copy a few fields, never while it reads or writes the file.
//
// The keeper holds what the file should say, not a list of writes: the newest state of each
// game, and how it stands (in progress, finished, left for a new game). A write that fails is tried again
// at the next change with the same row, so nothing goes into the wrong row and a burst of
// changes while the disk is slow becomes one write.
#include "core/GameState.h"
#include "gamestore/GameDatabase.h"
#include "gamestore/GameHistory.h"
#include "gamestore/RunningCopy.h"
#include "records/BestRecord.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tovra {

// What the board shows, in the database's terms; `givenBoard` for a board that came with its
// first numbers (its `given` is the game's GivenCount).
GameInProgress SnapshotOf(const GameState& game, std::int64_t playedMs, double startedAt,
                          const std::optional<GivenBoardPlay>& givenBoard = std::nullopt);
// The cells of a stored game, in order; nothing when a cell is out of the board or twice.
std::optional<std::vector<BoardCell>> BoardCellsOf(const GameInProgress& game);

// The game a start resumes: the newest game in progress that no running copy holds, read from
// an existing file without writing it, waiting at most a moment for another program's lock.
// Nothing when there is no file, or one this game cannot write (it could not keep the game).
std::optional<StoredGame> PeekGameToResume(const std::string& path);

class GameKeeper {
public:
    // Told on the keeper's thread.
    struct Listener {
        // One line for the player, once for each kind of trouble until writing works again.
        std::function<void(const std::string& line)> problem;
        // The game the start showed was taken by another copy started at the same moment.
        std::function<void()> claimLost;
        // A game's last reachable number was stored (tests).
        std::function<void(std::int64_t id)> analysed;
    };

    // When the thread starts and runs its first job: at once, or at Go() (or the first change,
    // or Close()), so that a start draws its window before the file is opened beside it.
    enum class Start { Now, OnGo };

    // Makes the keeper, whose thread's first job opens the file (making, upgrading, setting aside a
    // damaged one). `storedGames`: record.dat as the start read it, taken into the history
    // once; nothing when it could not be read.
    GameKeeper(std::string path, std::optional<BestTable> storedGames, Listener listener = {}, Start start = Start::Now);
    // Close() with nothing more to keep, when not closed yet.
    ~GameKeeper();
    GameKeeper(const GameKeeper&) = delete;
    GameKeeper& operator=(const GameKeeper&) = delete;

    // The board as the start left it; `shown` is the game PeekGameToResume found and the board
    // shows, claimed for this copy in one step (or given up if another copy was first).
    void Begin(const GameState& game, const std::optional<StoredGame>& shown);
    // Lets a keeper made with Start::OnGo begin its work.
    void Go();
    // After each change of the board. A new `game.GameNumber` starts a new game: the old one,
    // if it had a number, is kept among the games in progress, held by no copy, for the list
    // of kept games (and for TakeBack). `givenBoard`: what came with a board whose first numbers
    // were given, kept with the game so that they stay given when it is resumed.
    void Changed(const GameState& game, std::int64_t playedMs,
                 const std::optional<GivenBoardPlay>& givenBoard = std::nullopt);
    // The end-of-game sequence is over (record.dat holds the game if it ranked, under `name`).
    void Finished(const std::string& name);
    // The game the last new game left, in progress again as game `gameNumber`, while that
    // new game has no number yet; nothing when there is none. Should another copy have
    // continued it meanwhile, listener.claimLost is told.
    std::optional<GameInProgress> TakeBack(std::uint32_t gameNumber);
    // The history, read on the keeper's thread and handed to `done` there, with one line when
    // it could not be read.
    void ReadHistory(std::function<void(std::vector<HistoryGame> games, std::string problem)> done);
    // The games in progress this copy could continue (KeptGames), read on the keeper's thread
    // and handed to `done` there, with one line when they could not be read.
    void ListKeptGames(std::function<void(std::vector<KeptGame> games, std::string problem)> done);
    // The board's game `gameNumber`, new and without a number yet, is `chosen` (one of
    // ListKeptGames'), claimed for this copy in one step; listener.claimLost is told when
    // another copy took it first. The game the board showed before was left by that new game.
    // The game to show: `chosen`'s, or this copy's newer state of it. Nothing while another
    // claim is still on its way (the board stays as it is).
    std::optional<GameInProgress> Continue(std::uint32_t gameNumber, const StoredGame& chosen);
    // `chosen` (one of ListKeptGames') goes into the history as abandoned, unless another copy
    // took it meanwhile; `done` is told on the keeper's thread whether it went.
    void GiveUp(const StoredGame& chosen, std::function<void(bool abandoned)> done);
    // Hands over the last state and waits only until it is written (or failed); then the
    // thread ends. Nothing is kept afterwards.
    void Close(const GameState& game, std::int64_t playedMs,
               const std::optional<GivenBoardPlay>& givenBoard = std::nullopt);

    // Until every game handed over is written or has failed (tests); false when `timeout`
    // ran out first.
    bool WaitUntilWritten(std::chrono::milliseconds timeout);
    // Also until the history's upkeep is done (tests).
    bool WaitUntilIdle(std::chrono::milliseconds timeout);
    // Writes that reached the file since the start (tests and the bench).
    std::int64_t WritesDone() const;

private:
    // Left: a new game was started over it; kept in progress for any copy to continue.
    enum class Stage { Playing, Finished, Left, Dropped };
    struct Kept {
        std::uint64_t key = 0;    // this game among the kept ones
        std::uint32_t number = 0; // the window's game number
        GameInProgress game;
        Stage stage = Stage::Playing;
        std::string name;
        std::int64_t row = 0;            // 0: not in the file yet
        Stage stored = Stage::Playing;   // how the row stands in the file
        std::uint64_t version = 0;       // of what is here; the file holds `written`
        std::uint64_t written = 0;
        bool Dirty() const { return version != written; }
    };

    void run();
    // Lets the thread work, starting it the first time. The window's thread only, under mutex_.
    void letGo();
    bool hasWork() const;
    bool gamesSettled() const;
    void keepGames(std::unique_lock<std::mutex>& lock);
    void write(Kept& copy);
    bool open();
    void claim();
    void answerLists(std::vector<std::function<void(std::vector<KeptGame>, std::string)>> listers,
                     std::vector<std::pair<StoredGame, std::function<void(bool)>>> givenUp);
    void forgetRow(std::int64_t row);
    void upkeep();
    void analyse(std::stop_token stop);
    void failed(const StoreError& error);
    static void touch(Kept& kept);
    Kept newGame(std::uint32_t number);

    const std::string path_;
    Listener listener_;
    std::optional<BestTable> storedGames_;

    // The keeper's thread only.
    std::unique_ptr<GameDatabase> database_;
    RunningCopy copy_;
    bool analysisAsked_ = true;
    StoreFailure told_ = StoreFailure::None;
    bool damageSeen_ = false;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable progress_;
    std::deque<Kept> games_;                    // oldest first; the last is the board's
    std::optional<StoredGame> toClaim_;
    std::uint64_t claimFor_ = 0;                // the key of the game toClaim_ is for
    bool open_ = false;                         // database_ is there
    bool go_ = true;                            // the thread may work
    std::uint64_t keys_ = 0;
    double startedAt_ = 0;                      // the board's game: Unix time of its first number
    std::vector<std::function<void(std::vector<HistoryGame>, std::string)>> readers_;
    std::vector<std::function<void(std::vector<KeptGame>, std::string)>> listers_;
    std::vector<std::pair<StoredGame, std::function<void(bool)>>> givenUp_;
    std::vector<std::pair<std::int64_t, int>> results_; // last reachable numbers to store
    std::uint64_t changes_ = 0;                 // window calls so far
    std::uint64_t failedAt_ = ~std::uint64_t{0}; // changes_ when the last write failed
    bool busy_ = false;
    bool closing_ = false;
    bool stopping_ = false;
    std::int64_t writes_ = 0;

    // The solver's worker: games whose last reachable number is not known yet.
    std::deque<PendingAnalysis> pending_;
    bool analysing_ = false;
    std::condition_variable_any analysisWake_;
    std::jthread analyst_;

    std::thread thread_; // started once let go, after every member it reads is set
};

} // namespace tovra
