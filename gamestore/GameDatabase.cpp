#include "gamestore/GameDatabase.h"

#include "core/DailyBoard.h"
#include "gamestore/StoreFiles.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tovra {

// ---- Opening ----

const std::vector<SchemaUpgrade>& GameDatabaseUpgrades()
{
    static const std::vector<SchemaUpgrade> steps = {
        {0, GameDatabaseSchemaV1}, {1, GameDatabaseUpgradeV2}, {2, GameDatabaseUpgradeV3}};
    return steps;
}

double UnixNow()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

namespace {

// How long opening waits for another program's lock. Writes of the game take milliseconds, so
// only a program that holds the file for long gets here, and then the game starts without it.
constexpr int OpenBusyTimeoutMs = 500;
// How long opening may read, whatever the file holds: a game database of years of games is read
// in a few milliseconds.
constexpr int OpenTimeLimitMs = 1000;

std::string NotSavedLine(const std::string& path, const std::string& why)
{
    return "The game database " + BaseName(path) + " " + why + ".";
}

struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

FileIdentity IdentityOf(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return {};
    return {true, status.st_dev, status.st_ino};
}

std::string DatedSuffix()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, ".damaged-%Y%m%d-%H%M%S", &local);
    return text;
}

// Gives `from` the name `to` unless `to` exists; 0, -EEXIST or -errno.
int RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::link(from.c_str(), to.c_str()) == 0)
        return ::unlink(from.c_str()) == 0 ? 0 : -errno;
    if (errno == EEXIST)
        return -EEXIST;
    // A file system without hard links: a plain rename, after making sure nothing is replaced.
    struct stat status {};
    if (::lstat(to.c_str(), &status) == 0)
        return -EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : -errno;
}

// Renames the database and its companions to a dated name that does not exist yet; the new
// name, or empty when the file could not be moved.
std::string SetAside(const std::string& path)
{
    const std::string dated = path + DatedSuffix();
    for (int attempt = 1; attempt < 100; ++attempt) {
        const std::string target = attempt == 1 ? dated : dated + "-" + std::to_string(attempt);
        const int moved = RenameNoReplace(path, target);
        if (moved == -EEXIST)
            continue;
        if (moved != 0)
            return {};
        for (const char* companion : {"-wal", "-shm"}) {
            if (::access((path + companion).c_str(), F_OK) == 0)
                RenameNoReplace(path + companion, target + companion);
        }
        return target;
    }
    return {};
}

int UserVersion(Connection& db) { return static_cast<int>(db.Number("PRAGMA user_version")); }

// Reads every page the start of a game touches: the schema, and the games in progress with
// their index. Damage there shows at once instead of in the middle of a game.
void ReadGamesInProgress(Connection& db)
{
    Statement query(db, "SELECT id, cells, owner FROM games WHERE state = 'playing' ORDER BY updated_at");
    query.Run();
}

void Upgrade(Connection& db, const std::vector<SchemaUpgrade>& upgrades, int target)
{
    WriteTransaction transaction(db);
    // Read again under the write lock: another copy may have upgraded meanwhile.
    for (int version = UserVersion(db); version < target; ++version) {
        const SchemaUpgrade* step = nullptr;
        for (const SchemaUpgrade& candidate : upgrades) {
            if (candidate.from == version)
                step = &candidate;
        }
        if (!step)
            throw StoreError(SQLITE_CORRUPT, "no upgrade from version " + std::to_string(version));
        db.Execute(step->sql);
    }
    db.Execute(("PRAGMA user_version = " + std::to_string(target)).c_str());
    transaction.Commit();
}

enum class Verdict { Usable, Damaged, Unusable };

struct Attempt {
    Verdict verdict = Verdict::Unusable;
    std::unique_ptr<Connection> db;
    bool readOnly = false;
    int version = 0;
    std::string problem;
    StoreFailure failure = StoreFailure::None;
};

// One line that says what the player can do about it.
std::string Reason(StoreFailure failure, const std::string& detail)
{
    switch (failure) {
    case StoreFailure::Full:
        return "cannot grow: the disk is full. Free some space, and the game in progress is kept again at the next move";
    case StoreFailure::ReadOnly:
        return "cannot be written here (the file or its folder is read-only): games in progress are not saved";
    case StoreFailure::Busy:
        return "is in use by another program: the game in progress is kept again once it lets go";
    case StoreFailure::Io:
        return "cannot be read or written, the disk reported an error (" + detail +
               "): the game in progress is kept again when the disk allows";
    default:
        return "cannot be used (" + detail + "): games in progress are not saved";
    }
}

Attempt TryOpen(const std::string& path, OpenMode mode, const std::vector<SchemaUpgrade>& upgrades, int target)
{
    Attempt attempt;
    const auto fail = [&](Verdict verdict, StoreFailure failure, std::string problem) {
        attempt.db.reset();
        attempt.verdict = verdict;
        attempt.failure = failure;
        attempt.problem = std::move(problem);
        return std::move(attempt);
    };
    // Nothing of a file that is not the game's own is opened, let alone written or renamed: a
    // link, another user's file, another program's database, a log beside it that is not its own.
    const StoreFileCheck files = CheckStoreFiles(path, upgrades);
    if (files.finding != StoreFileFinding::Absent && files.finding != StoreFileFinding::Usable)
        return fail(Verdict::Unusable, StoreFailure::Other, files.problem);
    if (files.finding == StoreFileFinding::Absent && mode == OpenMode::ReadWrite && !CreatePrivateStoreFile(path) &&
        errno != EEXIST) {
        const int error = errno;
        return fail(Verdict::Unusable, error == ENOSPC ? StoreFailure::Full : StoreFailure::ReadOnly,
                    NotSavedLine(path, error == ENOSPC ? Reason(StoreFailure::Full, {})
                                                       : std::string("cannot be created (") + std::strerror(error) +
                                                             "): games in progress are not saved"));
    }
    try {
        attempt.db = std::make_unique<Connection>(path, mode == OpenMode::ReadOnly ? OpenFor::Reading : OpenFor::Writing);
        Connection& db = *attempt.db;
        db.SetBusyTimeout(OpenBusyTimeoutMs);
        GuardConnection(db.Handle());
        // A file made to loop cannot hold the start: what opening reads is bounded. Its writes are
        // not, since a slow disk may take seconds to sync them.
        std::optional<QueryTimeLimit> limit(std::in_place, db.Handle(), std::chrono::milliseconds(OpenTimeLimitMs));
        int version = UserVersion(db);
        // Checked before anything is written: another program's database is left as it is.
        const SchemaFinding schema = CheckSchema(db.Handle(), version, upgrades);
        if (schema == SchemaFinding::Foreign)
            return fail(Verdict::Unusable, StoreFailure::Other,
                        "The game does not keep its games in " + BaseName(path) + ": its tables are not the game's.");
        if (schema == SchemaFinding::Unreadable)
            db.Fail("schema", sqlite3_extended_errcode(db.Handle()));
        bool readOnly = db.ReadOnly() || mode == OpenMode::ReadOnly;
        if (version > target) {
            // A newer copy of the game made it: read its game in progress, write nothing.
            attempt.problem = NotSavedLine(path, "was made by a newer version of the game: games in progress are not saved");
            attempt.failure = StoreFailure::ReadOnly;
            readOnly = true;
        } else if (version < target) {
            if (readOnly)
                return fail(Verdict::Unusable, StoreFailure::ReadOnly, NotSavedLine(path, Reason(StoreFailure::ReadOnly, {})));
            limit.reset();
            // A new file is made without a single sync: it holds no game yet, and one torn by a
            // power cut in these milliseconds is set aside and made again. It goes to WAL before
            // its tables are made, so making them is one commit in the log.
            if (version == 0 && db.Number("PRAGMA page_count") == 0) {
                db.Execute("PRAGMA synchronous = OFF");
                db.Execute("PRAGMA journal_mode = WAL");
            }
            try {
                Upgrade(db, upgrades, target);
            } catch (const StoreError& error) {
                // A file whose layout cannot be brought up to date is of no use to this game:
                // it is kept for the player like a damaged one. A busy or full disk is no
                // fault of the file.
                const StoreFailure failure = error.Failure();
                if (failure != StoreFailure::Other && failure != StoreFailure::Damaged)
                    throw;
                return fail(Verdict::Damaged, StoreFailure::Damaged, {});
            }
            version = target;
        } else if (readOnly && mode == OpenMode::ReadWrite) {
            attempt.problem = NotSavedLine(path, Reason(StoreFailure::ReadOnly, {}));
            attempt.failure = StoreFailure::ReadOnly;
        }
        limit.reset();
        if (!readOnly) {
            // Set once the layout is known to be this game's, so a file left alone keeps its
            // bytes. The journal mode stays in the file. Saves of a game in progress do not
            // sync (a power cut may lose the last moves, never the file); a game's end does.
            Statement wal(db, "PRAGMA journal_mode = WAL");
            wal.Run();
            db.Execute("PRAGMA synchronous = NORMAL");
        }
        limit.emplace(db.Handle(), std::chrono::milliseconds(OpenTimeLimitMs));
        ReadGamesInProgress(db);
        attempt.verdict = Verdict::Usable;
        attempt.readOnly = readOnly;
        attempt.version = version;
        return attempt;
    } catch (const StoreError& error) {
        const StoreFailure failure = error.Failure();
        if (failure == StoreFailure::Damaged)
            return fail(Verdict::Damaged, failure, {});
        return fail(Verdict::Unusable, failure, NotSavedLine(path, Reason(failure, error.what())));
    }
}

} // namespace

std::string ProblemLine(const std::string& path, StoreFailure failure, const std::string& detail)
{
    return NotSavedLine(path, Reason(failure, detail));
}

OpenedGameDatabase OpenGameDatabase(const std::string& path, OpenMode mode, const std::vector<SchemaUpgrade>& upgrades,
                                    int targetVersion)
{
    OpenedGameDatabase opened;
    for (int round = 0; round < 5; ++round) {
        const FileIdentity before = IdentityOf(path);
        Attempt attempt = TryOpen(path, mode, upgrades, targetVersion);
        if (attempt.verdict == Verdict::Usable) {
            opened.database = std::make_unique<GameDatabase>(std::move(attempt.db), attempt.readOnly, attempt.version);
            if (opened.problem.empty()) {
                opened.problem = attempt.problem;
                opened.failure = attempt.failure;
            }
            return opened;
        }
        opened.failure = attempt.failure;
        if (attempt.verdict == Verdict::Unusable) {
            opened.problem = attempt.problem;
            return opened;
        }
        // One file is set aside at most: a new one that cannot be used either says so.
        if (mode == OpenMode::ReadOnly || !opened.setAsideAs.empty()) {
            opened.problem = NotSavedLine(path, "is damaged: games in progress are not saved");
            return opened;
        }
        // Another copy may have set the file aside and started a new one meanwhile: only the
        // file that was found damaged is moved.
        if (IdentityOf(path) != before)
            continue;
        const std::string aside = SetAside(path);
        if (aside.empty()) {
            opened.problem = NotSavedLine(path, "is damaged and cannot be renamed: games in progress are not saved");
            return opened;
        }
        opened.setAsideAs = aside;
        opened.problem = "The game database " + BaseName(path) + " was damaged. It is kept as " + BaseName(aside) +
                         ", and a new one was started.";
    }
    opened.problem = NotSavedLine(path, "keeps changing: games in progress are not saved");
    return opened;
}

// ---- The connection ----

GameDatabase::GameDatabase(std::unique_ptr<Connection> connection, bool readOnly, int version)
    : connection_(std::move(connection))
    , readOnly_(readOnly)
    , version_(version)
{
}

namespace {
// Binds nine columns from `first` on: played_ms, cells, score, marked, given, board_date, grade,
// reachability_asked, moves_shown.
void BindGame(Statement& statement, int first, const GameInProgress& game)
{
    statement.Bind(first, game.playedMs).BindBlob(first + 1, game.cells).Bind(first + 2,
                                                                               static_cast<std::int64_t>(game.cells.size()));
    if (game.markedNumber > 0)
        statement.Bind(first + 3, game.markedNumber);
    else
        statement.BindNull(first + 3);
    const GivenBoardPlay& board = game.givenBoard;
    statement.Bind(first + 4, std::clamp(board.given, 0, static_cast<int>(game.cells.size())));
    if (board.date)
        statement.Bind(first + 5, IsoDateText(*board.date));
    else
        statement.BindNull(first + 5);
    if (board.grade > 0)
        statement.Bind(first + 6, board.grade);
    else
        statement.BindNull(first + 6);
    statement.Bind(first + 7, board.reachabilityAsked).Bind(first + 8, board.movesShown);
}

// Reads nine columns from `first` on: cells, marked, played_ms, started_at, given, board_date,
// grade, reachability_asked, moves_shown.
GameInProgress GameOf(const Statement& row, int first)
{
    GameInProgress game;
    game.cells = row.Blob(first);
    game.markedNumber = row.IsNull(first + 1) ? 0 : static_cast<int>(row.Int(first + 1));
    game.playedMs = row.Int(first + 2);
    game.startedAt = row.IsNull(first + 3) ? 0 : row.Real(first + 3);
    GivenBoardPlay& board = game.givenBoard;
    board.given = static_cast<int>(std::clamp<std::int64_t>(row.Int(first + 4), 0, static_cast<std::int64_t>(game.cells.size())));
    if (board.given > 0) {
        // A date that is no date is a board from a code: still given, no longer a day's.
        if (!row.IsNull(first + 5))
            board.date = ParseIsoDate(row.Text(first + 5));
        board.grade = board.date && !row.IsNull(first + 6) ? static_cast<int>(row.Int(first + 6)) : 0;
        board.reachabilityAsked = static_cast<int>(std::max<std::int64_t>(row.Int(first + 7), 0));
        board.movesShown = static_cast<int>(std::max<std::int64_t>(row.Int(first + 8), 0));
    }
    // A mark is never on a given number.
    if (game.markedNumber <= board.given)
        game.markedNumber = 0;
    return game;
}

void RefuseReadOnly(const GameDatabase& database)
{
    if (database.ReadOnly())
        throw StoreError(SQLITE_READONLY, "the game database is read-only");
}

} // namespace

std::optional<StoredGame> GameDatabase::FindGameToResume(const std::string& owner,
                                                         const std::function<bool(const std::string&)>& held)
{
    // A game left for a new one waits to be chosen from the kept games: it is no start's to take.
    // A file of an earlier version, looked at before the keeper upgrades it, has no given boards.
    Statement& rows =
        connection_->Number("PRAGMA user_version") >= GivenBoardsVersion
            ? connection_->Prepare("SELECT id, ifnull(owner, ''), cells, marked, played_ms, started_at, given, board_date, "
                                   "grade, reachability_asked, moves_shown FROM games "
                                   "WHERE state = 'playing' AND score > 0 AND ended_at IS NULL "
                                   "ORDER BY updated_at DESC, id DESC")
            : connection_->Prepare("SELECT id, ifnull(owner, ''), cells, marked, played_ms, started_at, 0, NULL, NULL, 0, 0 "
                                   "FROM games WHERE state = 'playing' AND score > 0 AND ended_at IS NULL "
                                   "ORDER BY updated_at DESC, id DESC");
    while (rows.Step()) {
        const std::string rowOwner = rows.Text(1);
        if ((!owner.empty() && rowOwner == owner) || (!rowOwner.empty() && held(rowOwner)))
            continue;
        StoredGame found{rows.Int(0), GameOf(rows, 2), rowOwner};
        rows.Reset();
        return found;
    }
    return std::nullopt;
}

std::vector<KeptGame> GameDatabase::KeptGames(const std::function<bool(const std::string&)>& held)
{
    Statement& rows = connection_->Prepare("SELECT id, ifnull(owner, ''), cells, marked, played_ms, started_at, given, board_date, "
                                           "grade, reachability_asked, moves_shown, updated_at "
                                           "FROM games WHERE state = 'playing' AND score > 0 ORDER BY updated_at DESC, id DESC");
    std::vector<KeptGame> kept;
    while (rows.Step()) {
        const std::string rowOwner = rows.Text(1);
        if (!rowOwner.empty() && held(rowOwner))
            continue;
        kept.push_back({{rows.Int(0), GameOf(rows, 2), rowOwner}, rows.Real(11)});
    }
    return kept;
}

bool GameDatabase::ClaimGame(const StoredGame& game, const std::string& owner,
                             const std::function<bool(const std::string&)>& held)
{
    RefuseReadOnly(*this);
    WriteTransaction transaction(*connection_);
    // The owner it was found with is the condition: of two copies, the first to write takes it.
    connection_->Prepare("UPDATE games SET owner = ?, ended_at = NULL WHERE id = ? AND state = 'playing' AND "
                         "ifnull(owner, '') = ?")
        .Bind(1, owner)
        .Bind(2, game.id)
        .Bind(3, game.owner)
        .Run();
    const bool claimed = connection_->Changes() == 1;
    // A row without a number is no game: rows of ended copies that never got one go.
    std::vector<std::int64_t> empty;
    Statement& rows = connection_->Prepare("SELECT id, ifnull(owner, '') FROM games WHERE state = 'playing' AND score = 0");
    while (rows.Step()) {
        const std::string rowOwner = rows.Text(1);
        if (rowOwner != owner && (rowOwner.empty() || !held(rowOwner)))
            empty.push_back(rows.Int(0));
    }
    for (const std::int64_t id : empty)
        connection_->Prepare("DELETE FROM games WHERE id = ?").Bind(1, id).Run();
    transaction.Commit();
    return claimed;
}

std::optional<StoredGame> GameDatabase::ClaimGameToResume(const std::string& owner,
                                                          const std::function<bool(const std::string&)>& held)
{
    std::optional<StoredGame> found = FindGameToResume(owner, held);
    if (!found || readOnly_)
        return found;
    if (!ClaimGame(*found, owner, held))
        return std::nullopt;
    found->owner = owner;
    return found;
}

std::int64_t GameDatabase::SavePlaying(std::int64_t id, const GameInProgress& game, const std::string& owner, double now)
{
    RefuseReadOnly(*this);
    WriteTransaction transaction(*connection_);
    const std::int64_t row = storePlaying(id, game, owner, now);
    transaction.Commit();
    return row;
}

std::int64_t GameDatabase::storePlaying(std::int64_t id, const GameInProgress& game, const std::string& owner, double now)
{
    if (game.cells.empty()) {
        connection_->Prepare("DELETE FROM games WHERE id = ? AND state = 'playing' AND owner = ?")
            .Bind(1, id)
            .Bind(2, owner)
            .Run();
        return 0;
    }
    if (id > 0) {
        Statement& update = connection_->Prepare("UPDATE games SET updated_at = ?, played_ms = ?, cells = ?, score = ?, marked = ?, given = ?, board_date = ?, "
            "grade = ?, reachability_asked = ?, moves_shown = ? WHERE id = ? AND state = 'playing' AND owner = ?");
        update.Bind(1, now);
        BindGame(update, 2, game);
        update.Bind(11, id).Bind(12, owner).Run();
        if (connection_->Changes() == 1)
            return id;
    }
    Statement& insert = connection_->Prepare("INSERT INTO games (state, started_at, updated_at, played_ms, cells, score, marked, given, board_date, grade, "
        "reachability_asked, moves_shown, owner) VALUES ('playing', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    insert.Bind(1, game.startedAt > 0 ? game.startedAt : now).Bind(2, now);
    BindGame(insert, 3, game);
    insert.Bind(12, owner).Run();
    return connection_->LastInsertId();
}

std::int64_t GameDatabase::LeaveGame(std::int64_t id, const GameInProgress& game, const std::string& owner, double now)
{
    RefuseReadOnly(*this);
    WriteTransaction transaction(*connection_);
    // Its newest state and its release in one step: no start finds it held by a copy that has ended.
    const std::int64_t row = storePlaying(id, game, owner, now);
    if (row > 0) {
        connection_->Prepare("UPDATE games SET owner = NULL, ended_at = ? WHERE id = ?").Bind(1, now).Bind(2, row).Run();
    }
    transaction.Commit();
    return row;
}

std::int64_t GameDatabase::MarkFinished(std::int64_t id, const GameInProgress& game, const std::string& name, double now)
{
    RefuseReadOnly(*this);
    const char* outcome = game.cells.size() >= 100 ? "complete" : "stuck";
    // A game's end is worth a sync: this one commit waits for the disk, and every save of the
    // game in progress before it is synced with it.
    connection_->Execute("PRAGMA synchronous = FULL");
    struct BackToNormal {
        Connection& db;
        ~BackToNormal() { sqlite3_exec(db.Handle(), "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr); }
    } backToNormal{*connection_};
    WriteTransaction transaction(*connection_);
    std::int64_t finished = 0;
    // A wall clock set back never makes a game end before it started.
    if (id > 0) {
        Statement& update = connection_->Prepare(
            "UPDATE games SET state = 'finished', ended_at = max(?, ifnull(started_at, ?)), played_ms = ?, cells = ?, "
            "score = ?, marked = ?, given = ?, board_date = ?, grade = ?, reachability_asked = ?, moves_shown = ?, "
            "outcome = ?, name = ?, owner = NULL, updated_at = ?, end_order = (SELECT ifnull(max(end_order), 0) + 1 FROM games) "
            "WHERE id = ? AND state = 'playing'");
        update.Bind(1, now).Bind(2, now);
        BindGame(update, 3, game);
        update.Bind(12, outcome);
        if (name.empty())
            update.BindNull(13);
        else
            update.Bind(13, name);
        update.Bind(14, now).Bind(15, id).Run();
        if (connection_->Changes() == 1)
            finished = id;
    }
    if (finished == 0) {
        Statement& insert = connection_->Prepare(
            "INSERT INTO games (state, started_at, ended_at, updated_at, played_ms, cells, score, marked, given, board_date, "
            "grade, reachability_asked, moves_shown, outcome, name, end_order) VALUES ('finished', ?, max(?, ?), ?, ?, ?, ?, "
            "?, ?, ?, ?, ?, ?, ?, ?, (SELECT ifnull(max(end_order), 0) + 1 FROM games))");
        const double started = game.startedAt > 0 ? game.startedAt : now;
        insert.Bind(1, started).Bind(2, now).Bind(3, started).Bind(4, now);
        BindGame(insert, 5, game);
        insert.Bind(14, outcome);
        if (name.empty())
            insert.BindNull(15);
        else
            insert.Bind(15, name);
        insert.Run();
        finished = connection_->LastInsertId();
    }
    transaction.Commit();
    return finished;
}

bool GameDatabase::MarkAbandoned(std::int64_t id, const std::string& owner, double now)
{
    RefuseReadOnly(*this);
    WriteTransaction transaction(*connection_);
    connection_->Prepare("UPDATE games SET state = 'abandoned', ended_at = max(?, ifnull(started_at, ?)), updated_at = ?, "
                         "owner = NULL, end_order = (SELECT ifnull(max(end_order), 0) + 1 FROM games) "
                         "WHERE id = ? AND state = 'playing' AND ifnull(owner, '') = ?")
        .Bind(1, now)
        .Bind(2, now)
        .Bind(3, now)
        .Bind(4, id)
        .Bind(5, owner)
        .Run();
    const bool abandoned = connection_->Changes() == 1;
    transaction.Commit();
    return abandoned;
}

bool GameDatabase::TakeBack(std::int64_t id, const std::string& owner, double now)
{
    RefuseReadOnly(*this);
    WriteTransaction transaction(*connection_);
    connection_->Prepare("UPDATE games SET ended_at = NULL, updated_at = ?, owner = ? "
                         "WHERE id = ? AND state = 'playing' AND owner IS NULL AND ended_at IS NOT NULL")
        .Bind(1, now)
        .Bind(2, owner)
        .Bind(3, id)
        .Run();
    const bool taken = connection_->Changes() == 1;
    transaction.Commit();
    return taken;
}

std::optional<StoredGame> GameDatabase::Read(std::int64_t id)
{
    Statement& row = connection_->Prepare("SELECT cells, marked, played_ms, started_at, given, board_date, grade, "
                                          "reachability_asked, moves_shown FROM games WHERE id = ?");
    row.Bind(1, id);
    if (!row.Step())
        return std::nullopt;
    StoredGame stored{id, GameOf(row, 0), {}};
    row.Reset();
    return stored;
}

} // namespace tovra
