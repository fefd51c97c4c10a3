#include "gamestore/GameKeeper.h"

#include "core/CellId.h"
#include "core/Solver.h"
#include "gamestore/StoreFiles.h"

#include <sqlite3.h>

#include <algorithm>
#include <unistd.h>

namespace tovra {

GameInProgress SnapshotOf(const GameState& game, std::int64_t playedMs, double startedAt)
{
    GameInProgress snapshot;
    snapshot.cells.reserve(game.MoveCount);
    for (int number = 1; number <= game.MoveCount; ++number) {
        const std::string& id = game.MoveHistory[number];
        snapshot.cells.push_back(static_cast<std::uint8_t>((CellRow(id) - 1) * BoardSize + CellColumn(id) - 1));
        if (!game.MarkedCell.empty() && id == game.MarkedCell)
            snapshot.markedNumber = number;
    }
    snapshot.playedMs = playedMs;
    snapshot.startedAt = startedAt;
    return snapshot;
}

std::optional<std::vector<std::string>> CellIdsOf(const GameInProgress& game)
{
    std::vector<std::string> ids;
    std::vector<bool> taken(CellCount, false);
    for (const std::uint8_t cell : game.cells) {
        // A row that is no game (a cell twice, off the board, too many) is not drawn.
        if (cell >= CellCount || taken[cell])
            return std::nullopt;
        taken[cell] = true;
        ids.push_back(MakeCellId(cell / BoardSize + 1, cell % BoardSize + 1));
    }
    return ids;
}

namespace {
// How long the start waits for another program's lock before it shows an empty board, and how
// long its read may take at most.
constexpr int PeekBusyTimeoutMs = 100;
constexpr int PeekTimeLimitMs = 250;
// How long a write waits for another copy's lock: their writes take milliseconds, and a
// longer wait would only hold up the end of the program.
constexpr int WriteBusyTimeoutMs = 1000;
} // namespace

std::optional<StoredGame> PeekGameToResume(const std::string& path)
{
    // No file: nothing to resume, and nothing is made here. A file this copy cannot write
    // would show the same game at every start and never keep a move of it.
    if (::access(path.c_str(), F_OK) != 0 || ::access(path.c_str(), W_OK) != 0)
        return std::nullopt;
    // Only the game's own file, read without copying or writing anything.
    std::string problem;
    sqlite3* opened = OpenGameDatabaseToPeek(path, problem);
    if (!opened)
        return std::nullopt; // the keeper finds out what is wrong, and says so
    try {
        auto connection = std::make_unique<Connection>(opened, path);
        connection->SetBusyTimeout(PeekBusyTimeoutMs);
        QueryTimeLimit limit(connection->Handle(), std::chrono::milliseconds(PeekTimeLimitMs));
        if (connection->Number("PRAGMA user_version") > GameDatabaseVersion)
            return std::nullopt;
        GameDatabase database(std::move(connection), true, 0);
        std::optional<StoredGame> found = database.FindGameToResume(
            {}, [&](const std::string& owner) { return RunningCopy::IsRunning(path, owner); });
        if (found && !CellIdsOf(found->game))
            return std::nullopt;
        return found;
    } catch (const StoreError&) {
        return std::nullopt;
    }
}

GameKeeper::GameKeeper(std::string path, std::optional<BestTable> storedGames, Listener listener, Start start)
    : path_(std::move(path))
    , listener_(std::move(listener))
    , storedGames_(std::move(storedGames))
    , copy_(path_)
    , go_(start == Start::Now)
    , thread_([this] { run(); })
{
}

GameKeeper::~GameKeeper()
{
    bool closed;
    {
        std::lock_guard lock(mutex_);
        closed = stopping_;
    }
    if (!closed)
        Close(GameState(), -1);
}

void GameKeeper::touch(Kept& kept) { ++kept.version; }

GameKeeper::Kept GameKeeper::newGame(std::uint32_t number)
{
    Kept kept;
    kept.key = ++keys_;
    kept.number = number;
    return kept;
}

void GameKeeper::Begin(const GameState& game, const std::optional<StoredGame>& shown)
{
    {
        std::lock_guard lock(mutex_);
        games_.clear();
        Kept kept = newGame(game.GameNumber);
        if (shown) {
            kept.game = shown->game;
            startedAt_ = shown->game.startedAt;
            toClaim_ = shown;
        }
        games_.push_back(std::move(kept));
        ++changes_;
    }
    wake_.notify_all();
}

void GameKeeper::Go()
{
    {
        std::lock_guard lock(mutex_);
        go_ = true;
    }
    wake_.notify_all();
}

void GameKeeper::Changed(const GameState& game, std::int64_t playedMs)
{
    {
        std::lock_guard lock(mutex_);
        if (closing_)
            return;
        go_ = true; // the board is up: a change means the player is there
        ++changes_;
        if (games_.empty() || games_.back().number != game.GameNumber) {
            if (!games_.empty() && games_.back().stage == Stage::Playing) {
                games_.back().stage = Stage::Abandoned;
                touch(games_.back());
            }
            games_.push_back(newGame(game.GameNumber));
            startedAt_ = 0;
        }
        Kept& now = games_.back();
        // A finished game stays on the board until its windows close; one another copy took
        // is not this copy's to keep.
        if (now.stage == Stage::Playing) {
            if (game.MoveCount == 0)
                startedAt_ = 0;
            else if (startedAt_ == 0)
                startedAt_ = UnixNow();
            now.game = SnapshotOf(game, playedMs, startedAt_);
            touch(now);
        }
    }
    wake_.notify_all();
}

void GameKeeper::Finished(const std::string& name)
{
    {
        std::lock_guard lock(mutex_);
        ++changes_;
        if (games_.empty() || games_.back().stage != Stage::Playing || games_.back().game.cells.empty())
            return;
        games_.back().stage = Stage::Finished;
        games_.back().name = name;
        touch(games_.back());
    }
    wake_.notify_all();
}

std::optional<GameInProgress> GameKeeper::TakeBack(std::uint32_t gameNumber)
{
    std::optional<GameInProgress> back;
    {
        std::lock_guard lock(mutex_);
        if (closing_ || games_.size() < 2 || games_.back().stage != Stage::Playing || !games_.back().game.cells.empty())
            return std::nullopt;
        Kept& left = games_[games_.size() - 2];
        if (left.stage != Stage::Abandoned || left.game.cells.empty())
            return std::nullopt;
        ++changes_;
        games_.pop_back();
        Kept& game = games_.back();
        game.stage = Stage::Playing;
        game.number = gameNumber;
        touch(game);
        startedAt_ = game.game.startedAt;
        back = game.game;
    }
    wake_.notify_all();
    return back;
}

void GameKeeper::ReadHistory(std::function<void(std::vector<HistoryGame>, std::string)> done)
{
    {
        std::lock_guard lock(mutex_);
        readers_.push_back(std::move(done));
    }
    wake_.notify_all();
}

void GameKeeper::Close(const GameState& game, std::int64_t playedMs)
{
    if (playedMs >= 0)
        Changed(game, playedMs);
    {
        std::unique_lock lock(mutex_);
        if (stopping_)
            return;
        go_ = true;
        closing_ = true;
        ++changes_; // a write that failed is tried once more
        wake_.notify_all();
        // Only the game's own writes are waited for: the history's upkeep waits for the next start.
        progress_.wait(lock, [this] { return gamesSettled(); });
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    if (analyst_.joinable()) {
        analyst_.request_stop(); // within a solver step
        analyst_.join();
    }
}

bool GameKeeper::gamesSettled() const
{
    const bool dirty = std::any_of(games_.begin(), games_.end(), [](const Kept& kept) { return kept.Dirty(); });
    return !busy_ && (failedAt_ == changes_ || (open_ && !dirty && !toClaim_));
}

bool GameKeeper::WaitUntilWritten(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return progress_.wait_for(lock, timeout, [this] { return gamesSettled(); });
}

bool GameKeeper::WaitUntilIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return progress_.wait_for(lock, timeout, [this] { return !busy_ && !hasWork() && pending_.empty() && !analysing_; });
}

std::int64_t GameKeeper::WritesDone() const
{
    std::lock_guard lock(mutex_);
    return writes_;
}

bool GameKeeper::hasWork() const
{
    if (!go_)
        return false;
    if (!readers_.empty())
        return true;
    if (failedAt_ == changes_)
        return false; // tried again at the next change
    if (!open_)
        return true;
    const bool dirty = std::any_of(games_.begin(), games_.end(), [](const Kept& kept) { return kept.Dirty(); });
    return dirty || toClaim_ || !results_.empty() || storedGames_ || analysisAsked_;
}

void GameKeeper::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        progress_.notify_all();
        wake_.wait(lock, [this] { return stopping_ || hasWork(); });
        if (stopping_)
            return;
        busy_ = true;
        std::vector<std::function<void(std::vector<HistoryGame>, std::string)>> readers;
        readers.swap(readers_);
        lock.unlock();
        for (auto& reader : readers) {
            std::vector<HistoryGame> games;
            std::string problem;
            try {
                if (database_)
                    games = tovra::ReadHistory(database_->Sql());
                else
                    games = ReadHistoryFile(path_, problem);
            } catch (const StoreError& error) {
                problem = error.what();
            }
            reader(std::move(games), std::move(problem));
        }
        try {
            if (!database_ && !open()) {
                lock.lock();
                busy_ = false;
                continue;
            }
            lock.lock();
            const bool claiming = toClaim_.has_value();
            lock.unlock();
            if (claiming)
                claim();
            lock.lock();
            keepGames(lock);
            lock.unlock();
            upkeep();
            lock.lock();
        } catch (const StoreError& error) {
            lock.lock();
            failed(error);
        }
        busy_ = false;
    }
}

bool GameKeeper::open()
{
    OpenedGameDatabase opened = OpenGameDatabase(path_);
    if (!opened.problem.empty() && opened.failure != told_) {
        told_ = opened.failure;
        if (listener_.problem)
            listener_.problem(opened.problem);
    }
    std::lock_guard lock(mutex_);
    if (!opened.database || opened.database->ReadOnly()) {
        failedAt_ = changes_;
        return false;
    }
    database_ = std::move(opened.database);
    database_->Sql().SetBusyTimeout(WriteBusyTimeoutMs);
    open_ = true;
    return true;
}

void GameKeeper::claim()
{
    StoredGame shown;
    {
        std::lock_guard lock(mutex_);
        shown = *toClaim_;
    }
    if (!copy_.Hold())
        throw StoreError(SQLITE_CANTOPEN, "the lock file beside the game database cannot be made");
    const bool taken = database_->ClaimGame(
        shown, copy_.Token(), [this](const std::string& owner) { return RunningCopy::IsRunning(path_, owner); });
    {
        std::lock_guard lock(mutex_);
        toClaim_.reset();
        Kept& first = games_.front();
        if (taken) {
            first.row = shown.id;
        } else {
            // Another copy was first: the game is its own, and this copy keeps none of it.
            first.stage = Stage::Dropped;
            first.written = first.version;
        }
    }
    if (!taken && listener_.claimLost)
        listener_.claimLost();
}

void GameKeeper::keepGames(std::unique_lock<std::mutex>& lock)
{
    if (toClaim_)
        return; // the start's game is this copy's, or not, before anything is written
    for (;;) {
        // The oldest first, so a game's end reaches the file before the next game's first save.
        const auto dirty = std::find_if(games_.begin(), games_.end(), [](const Kept& kept) { return kept.Dirty(); });
        if (dirty == games_.end())
            break;
        Kept copy = *dirty;
        lock.unlock();
        write(copy);
        lock.lock();
        ++writes_;
        told_ = StoreFailure::None;
        // The games may have changed meanwhile (a take-back drops the last one): find it again.
        for (Kept& kept : games_) {
            if (kept.key == copy.key) {
                kept.row = copy.row;
                kept.stored = copy.stored;
                kept.written = copy.version; // still dirty when it changed during the write
            }
        }
        if (copy.stage == Stage::Finished || copy.stage == Stage::Abandoned)
            analysisAsked_ = true;
    }
    // Kept no longer: ended games that are written, except the one a take-back may want.
    std::deque<Kept> still;
    for (std::size_t index = 0; index < games_.size(); ++index) {
        const Kept& kept = games_[index];
        const bool last = index + 1 == games_.size();
        const bool takeBackable = index + 2 == games_.size() && kept.stage == Stage::Abandoned;
        if (last || kept.Dirty() || takeBackable)
            still.push_back(kept);
    }
    games_.swap(still);
}

void GameKeeper::write(Kept& kept)
{
    const auto hold = [this] {
        // The token goes into a row only while this copy holds it, so no other copy takes
        // the game while this one plays it.
        if (!copy_.Hold())
            throw StoreError(SQLITE_CANTOPEN, "the lock file beside the game database cannot be made");
        return copy_.Token();
    };
    switch (kept.stage) {
    case Stage::Playing:
        if (kept.game.cells.empty()) {
            if (kept.row > 0)
                database_->SavePlaying(kept.row, {}, copy_.Token());
            kept.row = 0;
            return;
        }
        if (kept.row > 0 && kept.stored == Stage::Abandoned && !database_->TakeBack(kept.row, hold()))
            kept.row = 0;
        kept.row = database_->SavePlaying(kept.row, kept.game, hold());
        kept.stored = Stage::Playing;
        return;
    case Stage::Abandoned:
        if (kept.game.cells.empty()) {
            if (kept.row > 0)
                database_->SavePlaying(kept.row, {}, copy_.Token());
            kept.row = 0;
        } else if (kept.stored == Stage::Playing) {
            // Its newest state first, then its end: both under the same row.
            kept.row = database_->SavePlaying(kept.row, kept.game, hold());
            database_->MarkAbandoned(kept.row);
        }
        kept.stored = Stage::Abandoned;
        return;
    case Stage::Finished:
        kept.row = database_->MarkFinished(kept.stored == Stage::Playing ? kept.row : 0, kept.game, kept.name);
        kept.stored = Stage::Finished;
        return;
    case Stage::Dropped:
        return;
    }
}

void GameKeeper::upkeep()
{
    std::optional<BestTable> table;
    bool analysis;
    {
        std::lock_guard lock(mutex_);
        table.swap(storedGames_);
        analysis = analysisAsked_ || table;
        analysisAsked_ = false;
    }
    if (table) {
        try {
            ImportStoredGamesOnce(database_->Sql(), *table);
        } catch (const StoreError&) {
            std::lock_guard lock(mutex_);
            storedGames_ = std::move(table); // tried again after the next change
            throw;
        }
    }
    std::vector<std::pair<std::int64_t, int>> results;
    {
        std::lock_guard lock(mutex_);
        results.swap(results_);
    }
    for (const auto& [id, last] : results) {
        if (StoreLastReachable(database_->Sql(), id, last) && listener_.analysed)
            listener_.analysed(id);
    }
    if (!analysis)
        return;
    std::vector<PendingAnalysis> pending = GamesAwaitingAnalysis(database_->Sql());
    std::lock_guard lock(mutex_);
    pending_.assign(pending.begin(), pending.end());
    // The solver's thread starts only when there is something to work out.
    if (!pending_.empty() && !analyst_.joinable())
        analyst_ = std::jthread([this](std::stop_token stop) { analyse(stop); });
    analysisWake_.notify_all();
}

void GameKeeper::analyse(std::stop_token stop)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!analysisWake_.wait(lock, stop, [this] { return !pending_.empty(); }))
            return;
        const PendingAnalysis game = pending_.front();
        pending_.pop_front();
        analysing_ = true;
        lock.unlock();
        const int last = LastReachableNumber(game.cells, {0, stop});
        lock.lock();
        analysing_ = false;
        if (last < 0)
            return; // stopped
        results_.emplace_back(game.id, last);
        wake_.notify_all();
        progress_.notify_all();
    }
}

void GameKeeper::failed(const StoreError& error)
{
    // Only what SQLite calls damage sets a file aside, and only once in a run: the open after
    // this one does it. Anything else waits for the next change.
    const StoreFailure failure = error.Failure();
    if (failure == StoreFailure::Damaged && !damageSeen_) {
        damageSeen_ = true;
        database_.reset();
        open_ = false;
        for (Kept& kept : games_) {
            kept.row = 0;
            kept.stored = Stage::Playing;
            if (kept.stage != Stage::Dropped)
                touch(kept);
        }
        return;
    }
    failedAt_ = changes_;
    if (failure != told_) {
        told_ = failure;
        if (listener_.problem)
            listener_.problem(ProblemLine(path_, failure, error.what()));
    }
}

} // namespace tovra
