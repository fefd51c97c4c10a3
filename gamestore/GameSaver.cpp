#include "GameSaver.h"

#include "core/CellId.h"

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

GameSaver::GameSaver(std::unique_ptr<GameDatabase> database, std::unique_ptr<RunningCopy> copy,
                     const StoredGame* resumed, Failed failed, Finished finished)
    : database_(std::move(database))
    , copy_(std::move(copy))
    , failed_(std::move(failed))
    , finished_(std::move(finished))
{
    if (resumed) {
        hasNumbers_ = !resumed->game.cells.empty();
        startedAt_ = resumed->game.startedAt;
    }
    // Writes wait longer than opening did: another copy's write takes milliseconds.
    database_->SetBusyTimeout(5000);
    if (resumed)
        jobs_.push_back({Kind::Claim, resumed->game, resumed->owner, resumed->id});
    thread_ = std::thread([this] { run(); });
}

GameSaver::~GameSaver()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void GameSaver::Begin(const GameState& game)
{
    gameNumber_ = game.GameNumber;
    hasNumbers_ = game.MoveCount > 0;
}

void GameSaver::Changed(const GameState& game, std::int64_t playedMs)
{
    const bool newGame = gameNumber_ && *gameNumber_ != game.GameNumber;
    // A finished game stays on the board until its dialogs close: it is not saved again.
    if (ended_ && !newGame)
        return;
    ended_ = false;
    if (newGame && hasNumbers_)
        enqueue({Kind::Abandon, {}, {}});
    gameNumber_ = game.GameNumber;
    if (game.MoveCount == 0)
        startedAt_ = 0;
    else if (startedAt_ == 0)
        startedAt_ = UnixNow();
    hasNumbers_ = game.MoveCount > 0;
    enqueue({Kind::Save, SnapshotOf(game, playedMs, startedAt_), {}});
}

void GameSaver::Ended(const GameState& game, std::int64_t playedMs)
{
    enqueue({Kind::Finish, SnapshotOf(game, playedMs, startedAt_ > 0 ? startedAt_ : UnixNow()), {}});
    gameNumber_ = game.GameNumber;
    ended_ = true;
    hasNumbers_ = false;
    startedAt_ = 0;
}

void GameSaver::NameSaved(const std::string& name) { enqueue({Kind::Name, {}, name}); }

void GameSaver::enqueue(Job job)
{
    {
        std::lock_guard lock(mutex_);
        // A newer state of the same game replaces one not yet written.
        if (job.kind == Kind::Save && !jobs_.empty() && jobs_.back().kind == Kind::Save)
            jobs_.back() = std::move(job);
        else
            jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void GameSaver::Flush()
{
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

std::int64_t GameSaver::WritesDone() const
{
    std::lock_guard lock(mutex_);
    return writes_;
}

void GameSaver::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty())
            return; // stopping, and everything is written
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        write(job);
        lock.lock();
        busy_ = false;
        ++writes_;
        if (jobs_.empty())
            done_.notify_all();
    }
}

void GameSaver::write(const Job& job)
{
    switch (job.kind) {
    case Kind::Claim: {
        // The token goes into a row only while this copy holds it.
        if (!copy_->Hold())
            return fail("cannot be written here");
        const std::string path = database_->Path();
        const bool claimed = database_->ClaimGame(StoredGame{job.id, job.game, job.name}, copy_->Token(),
                                                  [&](const std::string& owner) { return RunningCopy::IsRunning(path, owner); });
        // Taken by another copy in the meantime: this copy's game goes into a row of its own.
        playingId_ = claimed ? job.id : 0;
        return;
    }
    case Kind::Save: {
        if (job.game.cells.empty() && playingId_ == 0)
            return; // no game, no row
        // The token goes into the row only while this copy holds it, so no other copy takes
        // the game while this one plays it.
        if (!job.game.cells.empty() && !copy_->Hold())
            return fail("cannot be written here");
        const std::int64_t id = database_->SavePlaying(playingId_, job.game, copy_->Token());
        if (id < 0)
            return fail(database_->LastError());
        playingId_ = id;
        return;
    }
    case Kind::Finish: {
        const std::int64_t id = database_->MarkFinished(playingId_, job.game);
        if (id < 0)
            return fail(database_->LastError());
        playingId_ = 0;
        finishedId_ = id;
        if (finished_)
            finished_(id);
        return;
    }
    case Kind::Name:
        if (finishedId_ > 0 && !database_->SetName(finishedId_, job.name))
            fail(database_->LastError());
        return;
    case Kind::Abandon:
        if (playingId_ > 0 && !database_->MarkAbandoned(playingId_))
            return fail(database_->LastError());
        playingId_ = 0;
        return;
    }
}

void GameSaver::fail(const std::string& why)
{
    if (toldFailure_ || !failed_)
        return;
    toldFailure_ = true;
    failed_("The game could not be saved in " + database_->Path() + " (" + why + ").");
}

KeptGames OpenKeptGames(const std::string& path, GameSaver::Failed failed, GameSaver::Finished finished)
{
    KeptGames kept;
    OpenedGameDatabase opened = OpenGameDatabase(path);
    kept.problem = opened.problem;
    if (!opened.database)
        return kept;
    // Only reads here, so a start that resumes a game costs no write and no sync: the saving
    // thread claims the game right after.
    auto copy = std::make_unique<RunningCopy>(path);
    std::optional<StoredGame> resumed = opened.database->FindGameToResume(
        copy->Token(), [&](const std::string& owner) { return RunningCopy::IsRunning(path, owner); });
    if (resumed && CellIdsOf(resumed->game))
        kept.resumed = resumed->game;
    else
        resumed.reset();
    // A file this copy may not write still shows its game, but nothing is saved into it.
    if (!opened.database->ReadOnly())
        kept.saver = std::make_unique<GameSaver>(std::move(opened.database), std::move(copy),
                                                 resumed ? &*resumed : nullptr, std::move(failed), std::move(finished));
    return kept;
}

} // namespace tovra
