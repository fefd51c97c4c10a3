#include "gamestore/HistoryUpkeep.h"

#include "core/Solver.h"
#include "gamestore/GameHistory.h"
#include "gamestore/StoreFiles.h"

#include <sqlite3.h>

#include <memory>

namespace tovra {

namespace {
// Another copy may hold the write lock for a moment (its own save); waiting for it is better
// than dropping a number that took seconds to work out.
constexpr int BusyTimeoutMs = 5000;

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

Database OpenExisting(const std::string& path)
{
    // Only the game's own file, as the game in progress found it: never another program's.
    std::string problem;
    sqlite3* db = OpenExistingGameDatabase(path, false, problem);
    if (!db)
        return nullptr;
    sqlite3_busy_timeout(db, BusyTimeoutMs);
    return Database(db);
}
} // namespace

HistoryUpkeep::HistoryUpkeep(std::string path, std::optional<BestTable> storedGames, Stored stored)
    : path_(std::move(path))
    , storedGames_(std::move(storedGames))
    , stored_(std::move(stored))
    , thread_([this](std::stop_token stop) { run(stop); })
{
}

HistoryUpkeep::~HistoryUpkeep()
{
    thread_.request_stop();
    wake_.notify_all();
}

void HistoryUpkeep::GameEnded()
{
    {
        std::lock_guard lock(mutex_);
        workAsked_ = true;
        busy_ = true;
    }
    wake_.notify_all();
}

bool HistoryUpkeep::WaitUntilIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return !busy_; });
}

void HistoryUpkeep::run(std::stop_token stop)
{
    while (!stop.stop_requested()) {
        {
            std::unique_lock lock(mutex_);
            if (!workAsked_) {
                busy_ = false;
                idle_.notify_all();
                if (!wake_.wait(lock, stop, [this] { return workAsked_; }))
                    return;
            }
            workAsked_ = false;
        }
        onePass(stop);
    }
}

void HistoryUpkeep::onePass(std::stop_token stop)
{
    const Database db = OpenExisting(path_);
    if (!db)
        return; // no database (it could not be made): nothing to keep up
    try {
        if (storedGames_) {
            ImportStoredGamesOnce(db.get(), *storedGames_);
            storedGames_.reset();
        }
        for (const PendingAnalysis& game : GamesAwaitingAnalysis(db.get())) {
            const int last = LastReachableNumber(game.cells, {0, stop});
            if (last < 0)
                return; // stopped
            if (StoreLastReachable(db.get(), game.id, last) && stored_)
                stored_(game.id);
        }
    } catch (const HistoryError&) {
        // Busy for longer than the timeout, or the disk is full: the next pass tries again.
    }
}

} // namespace tovra
