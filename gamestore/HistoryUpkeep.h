#pragma once
// The history's slow work, on a thread of its own so the window never waits for it: taking in
// record.dat's games once, then working out the last reachable number of every game that has
// none yet (the completion solver, about seven solves a game) and storing it.
#include "records/BestRecord.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

namespace tovra {

class HistoryUpkeep {
public:
    // Called on the worker thread after each number stored, with the game's row id.
    using Stored = std::function<void(std::int64_t id)>;

    // Starts at once on the database at `path`, which it opens on its own and never creates.
    // `storedGames`: record.dat as read at start-up; nothing when it could not be read (the
    // import then waits for a start that reads it).
    HistoryUpkeep(std::string path, std::optional<BestTable> storedGames, Stored stored = {});
    // Asks the solver to stop and waits for the thread, which stops within a solver step.
    ~HistoryUpkeep();
    HistoryUpkeep(const HistoryUpkeep&) = delete;
    HistoryUpkeep& operator=(const HistoryUpkeep&) = delete;

    // A game has ended: its number is worked out next.
    void GameEnded();
    // Until the work asked for so far is done (tests, and the command line's read of a fresh
    // history); false when `timeout` ran out first.
    bool WaitUntilIdle(std::chrono::milliseconds timeout);

private:
    void run(std::stop_token stop);
    void onePass(std::stop_token stop);

    std::string path_;
    std::optional<BestTable> storedGames_;
    Stored stored_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    bool workAsked_ = true; // the first pass runs at once
    bool busy_ = true;
    std::condition_variable idle_;
    std::jthread thread_; // last: it starts after every member it reads
};

} // namespace tovra
