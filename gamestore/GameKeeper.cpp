#include "gamestore/GameKeeper.h"

#include "core/BoardCell.h"
#include "core/Solver.h"
#include "gamestore/StoreFiles.h"

#include <sqlite3.h>

#include <algorithm>
#include <unistd.h>
#include <utility>

namespace tovra {

GameInProgress SnapshotOf(const GameState& game, std::int64_t playedMs, double startedAt,
                          const std::optional<GivenBoardPlay>& givenBoard)
{
    GameInProgress snapshot;
    snapshot.cells.reserve(game.MoveCount);
    for (int number = 1; number <= game.MoveCount; ++number) {
        const BoardCell cell = game.MoveHistory[number];
        snapshot.cells.push_back(static_cast<std::uint8_t>(cell.Index()));
        if (game.MarkedCell.IsValid() && cell == game.MarkedCell)
            snapshot.markedNumber = number;
    }
    snapshot.playedMs = playedMs;
    snapshot.startedAt = startedAt;
    if (game.GivenCount > 0) {
        snapshot.givenBoard = givenBoard.value_or(GivenBoardPlay{});
        snapshot.givenBoard.given = game.GivenCount;
    }
    return snapshot;
}

std::optional<std::vector<BoardCell>> BoardCellsOf(const GameInProgress& game)
{
    std::vector<BoardCell> cells;
    std::vector<bool> taken(CellCount, false);
    for (const std::uint8_t cell : game.cells) {
        // A row that is no game (a cell twice, off the board, too many) is not drawn.
        if (cell >= CellCount || taken[cell])
            return std::nullopt;
        taken[cell] = true;
        cells.push_back(BoardCell::FromIndex(cell));
    }
    return cells;
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
        if (found && !BoardCellsOf(found->game))
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
{
    if (go_)
        thread_ = std::thread([this] { run(); });
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

void GameKeeper::letGo()
{
    go_ = true;
    // The thread itself waits until then: one more thread beside the window's while the
    // window is being made is one more for the processor to share. A keeper that has closed
    // stays closed.
    if (!stopping_ && !thread_.joinable())
        thread_ = std::thread([this] { run(); });
}

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
            claimFor_ = kept.key;
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
        letGo();
    }
    wake_.notify_all();
}

void GameKeeper::Changed(const GameState& game, std::int64_t playedMs, const std::optional<GivenBoardPlay>& givenBoard)
{
    {
        std::lock_guard lock(mutex_);
        if (closing_)
            return;
        letGo(); // the board is up: a change means the player is there
        ++changes_;
        if (games_.empty() || games_.back().number != game.GameNumber) {
            if (!games_.empty() && games_.back().stage == Stage::Playing) {
                games_.back().stage = Stage::Left;
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
            now.game = SnapshotOf(game, playedMs, startedAt_, givenBoard);
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
        if (left.stage != Stage::Left || left.game.cells.empty())
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

void GameKeeper::ListKeptGames(std::function<void(std::vector<KeptGame>, std::string)> done)
{
    {
        std::lock_guard lock(mutex_);
        listers_.push_back(std::move(done));
    }
    wake_.notify_all();
}

void GameKeeper::forgetRow(std::int64_t row)
{
    // The row is continued or given up now: no older entry of this copy may write it again.
    const std::uint64_t board = games_.back().key;
    std::erase_if(games_, [&](const Kept& kept) { return kept.key != board && kept.row == row; });
}

std::optional<GameInProgress> GameKeeper::Continue(std::uint32_t gameNumber, const StoredGame& chosen)
{
    std::optional<GameInProgress> shown;
    {
        std::lock_guard lock(mutex_);
        if (closing_ || toClaim_ || games_.empty() || games_.back().number != gameNumber ||
            games_.back().stage != Stage::Playing || !games_.back().game.cells.empty())
            return std::nullopt;
        ++changes_;
        Kept& board = games_.back();
        board.game = chosen.game;
        // A game this copy left and has not released yet may be newer here than in the file.
        for (const Kept& kept : games_) {
            if (kept.key != board.key && kept.row == chosen.id)
                board.game = kept.game;
        }
        forgetRow(chosen.id);
        touch(games_.back());
        startedAt_ = games_.back().game.startedAt;
        toClaim_ = chosen;
        claimFor_ = games_.back().key;
        shown = games_.back().game;
    }
    wake_.notify_all();
    return shown;
}

void GameKeeper::GiveUp(const StoredGame& chosen, std::function<void(bool)> done)
{
    {
        std::lock_guard lock(mutex_);
        if (!games_.empty())
            forgetRow(chosen.id);
        givenUp_.emplace_back(chosen, std::move(done));
    }
    wake_.notify_all();
}

void GameKeeper::Close(const GameState& game, std::int64_t playedMs, const std::optional<GivenBoardPlay>& givenBoard)
{
    if (playedMs >= 0)
        Changed(game, playedMs, givenBoard);
    {
        std::unique_lock lock(mutex_);
        if (stopping_)
            return;
        letGo();
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
    if (!readers_.empty() || !listers_.empty() || !givenUp_.empty())
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
        auto listers = std::exchange(listers_, {});
        auto givenUp = std::exchange(givenUp_, {});
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
            } else {
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
            }
        } catch (const StoreError& error) {
            lock.lock();
            failed(error);
        }
        // After the games are written, so a game just left is among the kept ones.
        if (!listers.empty() || !givenUp.empty()) {
            lock.unlock();
            answerLists(std::move(listers), std::move(givenUp));
            lock.lock();
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
    bool onBoard = false;
    {
        std::lock_guard lock(mutex_);
        toClaim_.reset();
        for (Kept& kept : games_) {
            if (kept.key != claimFor_)
                continue;
            onBoard = kept.key == games_.back().key;
            if (taken) {
                kept.row = shown.id;
            } else {
                // Another copy was first: the game is its own, and this copy keeps none of it.
                kept.stage = Stage::Dropped;
                kept.written = kept.version;
            }
        }
    }
    if (!taken && onBoard && listener_.claimLost)
        listener_.claimLost();
}

void GameKeeper::answerLists(std::vector<std::function<void(std::vector<KeptGame>, std::string)>> listers,
                             std::vector<std::pair<StoredGame, std::function<void(bool)>>> givenUp)
{
    for (auto& [chosen, done] : givenUp) {
        bool abandoned = false;
        try {
            abandoned = database_ && database_->MarkAbandoned(chosen.id, chosen.owner);
        } catch (const StoreError&) {
            // Still kept: it is offered again.
        }
        if (abandoned) {
            std::lock_guard lock(mutex_);
            analysisAsked_ = true;
        }
        done(abandoned);
    }
    if (listers.empty())
        return;
    std::vector<KeptGame> games;
    std::string problem;
    std::vector<std::int64_t> ownRows; // the board's game, and games whose end is not written yet
    {
        std::lock_guard lock(mutex_);
        for (const Kept& kept : games_) {
            if (kept.stage != Stage::Left && kept.row > 0)
                ownRows.push_back(kept.row);
        }
        if (toClaim_)
            problem = "The kept games cannot be listed while the disk is still busy with the last one. Try again in a moment.";
    }
    if (problem.empty() && !database_)
        problem = "The kept games cannot be read: the game database " + path_ + " cannot be opened.";
    if (problem.empty()) {
        try {
            const std::string& own = copy_.Token();
            games = database_->KeptGames(
                [&](const std::string& owner) { return owner != own && RunningCopy::IsRunning(path_, owner); });
            std::erase_if(games, [&](const KeptGame& game) {
                return std::find(ownRows.begin(), ownRows.end(), game.stored.id) != ownRows.end();
            });
        } catch (const StoreError& error) {
            problem = ProblemLine(path_, error.Failure(), error.what());
        }
    }
    for (auto& lister : listers)
        lister(games, problem);
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
        bool lostBoard = false;
        for (Kept& kept : games_) {
            if (kept.key == copy.key) {
                kept.row = copy.row;
                kept.stored = copy.stored;
                kept.written = copy.version; // still dirty when it changed during the write
                if (copy.stage == Stage::Dropped && kept.stage != Stage::Dropped) {
                    kept.stage = Stage::Dropped;
                    kept.written = kept.version;
                    lostBoard = kept.key == games_.back().key;
                }
            }
        }
        if (lostBoard && listener_.claimLost) {
            lock.unlock();
            listener_.claimLost();
            lock.lock();
        }
        if (copy.stage == Stage::Finished)
            analysisAsked_ = true;
    }
    // Kept no longer: ended games that are written, except the one a take-back may want.
    std::deque<Kept> still;
    for (std::size_t index = 0; index < games_.size(); ++index) {
        const Kept& kept = games_[index];
        const bool last = index + 1 == games_.size();
        const bool takeBackable = index + 2 == games_.size() && kept.stage == Stage::Left;
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
        if (kept.row > 0 && kept.stored == Stage::Left && !database_->TakeBack(kept.row, hold())) {
            // Another copy continued it from its list of kept games: it is played there.
            kept.stage = Stage::Dropped;
            return;
        }
        kept.row = database_->SavePlaying(kept.row, kept.game, hold());
        kept.stored = Stage::Playing;
        return;
    case Stage::Left:
        // Left before a number of the player's own: no game was played (a board with given
        // numbers is kept while it is on the board, so that it comes back at the next start).
        if (kept.game.cells.size() <= static_cast<std::size_t>(kept.game.givenBoard.given)) {
            if (kept.row > 0)
                database_->SavePlaying(kept.row, {}, copy_.Token());
            kept.row = 0;
        } else if (kept.stored == Stage::Playing) {
            // Its newest state and its release in one step, under the same row.
            kept.row = database_->LeaveGame(kept.row, kept.game, hold());
        }
        kept.stored = Stage::Left;
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
