#include "GameDatabase.h"

#include "gamestore/StoreFiles.h"

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace tovra {

// ---- SqlStatement ----

SqlStatement::SqlStatement(sqlite3* db, const char* sql)
{
    if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
    }
}

SqlStatement::~SqlStatement() { sqlite3_finalize(statement_); }

SqlStatement& SqlStatement::Bind(int index, std::int64_t value)
{
    sqlite3_bind_int64(statement_, index, value);
    return *this;
}

SqlStatement& SqlStatement::Bind(int index, double value)
{
    sqlite3_bind_double(statement_, index, value);
    return *this;
}

SqlStatement& SqlStatement::Bind(int index, std::string_view text)
{
    sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

SqlStatement& SqlStatement::BindBlob(int index, const std::vector<std::uint8_t>& bytes)
{
    // A zero-length blob, not NULL, for an empty vector (data() may be null).
    static const std::uint8_t none = 0;
    sqlite3_bind_blob(statement_, index, bytes.empty() ? &none : bytes.data(), static_cast<int>(bytes.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

SqlStatement& SqlStatement::BindNull(int index)
{
    sqlite3_bind_null(statement_, index);
    return *this;
}

int SqlStatement::Step() { return statement_ ? sqlite3_step(statement_) : SQLITE_MISUSE; }

void SqlStatement::Reset()
{
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

bool SqlStatement::IsNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
std::int64_t SqlStatement::Int(int column) const { return sqlite3_column_int64(statement_, column); }
double SqlStatement::Real(int column) const { return sqlite3_column_double(statement_, column); }

std::string SqlStatement::Text(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))) : std::string();
}

std::vector<std::uint8_t> SqlStatement::Blob(int column) const
{
    const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, column));
    return bytes ? std::vector<std::uint8_t>(bytes, bytes + sqlite3_column_bytes(statement_, column))
                 : std::vector<std::uint8_t>();
}

// ---- Opening ----

const std::vector<SchemaUpgrade>& GameDatabaseUpgrades()
{
    static const std::vector<SchemaUpgrade> steps = {{0, GameDatabaseSchemaV1}};
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

std::string BaseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string NotSavedLine(const std::string& path, const std::string& why)
{
    return "The game database " + BaseName(path) + " " + why + ": games in progress are not saved.";
}

bool IsDamage(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

bool IsBusy(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
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

int UserVersion(sqlite3* db, int& version)
{
    SqlStatement query(db, "PRAGMA user_version");
    if (!query.Valid())
        return sqlite3_extended_errcode(db);
    const int step = query.Step();
    if (step != SQLITE_ROW)
        return step;
    version = static_cast<int>(query.Int(0));
    return SQLITE_OK;
}

// Reads every page the start of a game touches: the schema, and the games in progress with
// their index. Damage there shows at once instead of in the middle of a game.
int ReadGamesInProgress(sqlite3* db)
{
    SqlStatement query(db, "SELECT id, cells, owner FROM games WHERE state = 'playing' ORDER BY updated_at");
    if (!query.Valid())
        return sqlite3_extended_errcode(db);
    int step;
    while ((step = query.Step()) == SQLITE_ROW) {
    }
    return step == SQLITE_DONE ? SQLITE_OK : step;
}

int Upgrade(sqlite3* db, int version, const std::vector<SchemaUpgrade>& upgrades, int target)
{
    int code = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (code != SQLITE_OK)
        return code;
    // Read again under the write lock: another copy may have upgraded meanwhile.
    code = UserVersion(db, version);
    for (; code == SQLITE_OK && version < target; ++version) {
        const SchemaUpgrade* step = nullptr;
        for (const SchemaUpgrade& candidate : upgrades) {
            if (candidate.from == version)
                step = &candidate;
        }
        code = step ? sqlite3_exec(db, step->sql, nullptr, nullptr, nullptr) : SQLITE_ERROR;
    }
    if (code == SQLITE_OK) {
        const std::string setVersion = "PRAGMA user_version = " + std::to_string(target);
        code = sqlite3_exec(db, setVersion.c_str(), nullptr, nullptr, nullptr);
    }
    if (code == SQLITE_OK)
        code = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) {
        const int failure = sqlite3_extended_errcode(db);
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return failure == SQLITE_OK ? code : failure;
    }
    return SQLITE_OK;
}

enum class Verdict { Usable, Damaged, Unusable };

struct Attempt {
    Verdict verdict = Verdict::Unusable;
    sqlite3* db = nullptr;
    bool readOnly = false;
    int version = 0;
    std::string problem;
};

std::string Reason(sqlite3* db, int code)
{
    if (IsBusy(code))
        return "is in use by another program";
    const int error = db ? sqlite3_system_errno(db) : 0;
    if (error != 0)
        return std::string("cannot be used (") + std::strerror(error) + ")";
    return std::string("cannot be used (") + sqlite3_errstr(code) + ")";
}

Attempt TryOpen(const std::string& path, OpenMode mode, const std::vector<SchemaUpgrade>& upgrades, int target)
{
    Attempt attempt;
    // Nothing of a file that is not the game's own is opened, let alone written or renamed: a
    // link, another user's file, another program's database, a log beside it that is not its own.
    const StoreFileCheck files = CheckStoreFiles(path, upgrades);
    if (files.finding != StoreFileFinding::Absent && files.finding != StoreFileFinding::Usable) {
        attempt.problem = files.problem;
        return attempt;
    }
    if (files.finding == StoreFileFinding::Absent && mode == OpenMode::ReadWrite && !CreatePrivateStoreFile(path) &&
        errno != EEXIST) {
        attempt.problem = NotSavedLine(path, std::string("cannot be created (") + std::strerror(errno) + ")");
        return attempt;
    }
    const int flags = (mode == OpenMode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX |
                      SQLITE_OPEN_NOFOLLOW;
    sqlite3* db = nullptr;
    int code = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    const auto fail = [&](Verdict verdict, std::string problem) {
        sqlite3_close_v2(db);
        attempt.verdict = verdict;
        attempt.problem = std::move(problem);
        return attempt;
    };
    if (code != SQLITE_OK)
        return fail(Verdict::Unusable, NotSavedLine(path, Reason(db, code)));
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, OpenBusyTimeoutMs);
    GuardConnection(db);
    // A file made to loop cannot hold the start: what opening reads is bounded. Its writes are
    // not, since a slow disk may take seconds to sync them.
    std::optional<QueryTimeLimit> limit(std::in_place, db, std::chrono::milliseconds(OpenTimeLimitMs));

    int version = 0;
    code = UserVersion(db, version);
    if (IsDamage(code))
        return fail(Verdict::Damaged, {});
    if (code != SQLITE_OK)
        return fail(Verdict::Unusable, NotSavedLine(path, Reason(db, code)));
    // Checked before anything is written: another program's database is left as it is.
    const SchemaFinding schema = CheckSchema(db, version, upgrades);
    if (schema == SchemaFinding::Foreign)
        return fail(Verdict::Unusable,
                    "The game does not keep its games in " + BaseName(path) + ": its tables are not the game's.");
    if (schema == SchemaFinding::Unreadable) {
        code = sqlite3_extended_errcode(db);
        return IsDamage(code) ? fail(Verdict::Damaged, {}) : fail(Verdict::Unusable, NotSavedLine(path, Reason(db, code)));
    }

    bool readOnly = sqlite3_db_readonly(db, "main") == 1;
    if (version > target) {
        // A newer copy of the game made it: read its game in progress, write nothing.
        if (!readOnly && mode == OpenMode::ReadWrite) {
            sqlite3_close_v2(db);
            return TryOpen(path, OpenMode::ReadOnly, upgrades, target);
        }
        attempt.problem = NotSavedLine(path, "was made by a newer version of the game");
        readOnly = true;
    } else if (version < target) {
        if (readOnly)
            return fail(Verdict::Unusable, NotSavedLine(path, "cannot be written"));
        limit.reset();
        code = Upgrade(db, version, upgrades, target);
        if (IsBusy(code))
            return fail(Verdict::Unusable, NotSavedLine(path, Reason(db, code)));
        // A file whose layout cannot be brought up to date is of no use to this game: it is
        // kept for the player like a damaged one.
        if (code != SQLITE_OK)
            return fail(Verdict::Damaged, {});
        version = target;
    } else if (readOnly && mode == OpenMode::ReadWrite) {
        attempt.problem = NotSavedLine(path, "cannot be written");
    }

    limit.reset();
    if (!readOnly) {
        // Set once the layout is known to be this game's, so a file left alone keeps its bytes.
        // The journal mode stays in the file; every commit syncs the log, so a power cut loses
        // at most the write that was under way, never a game half old and half new.
        SqlStatement wal(db, "PRAGMA journal_mode = WAL");
        code = wal.Valid() ? wal.Step() : sqlite3_extended_errcode(db);
        code = code == SQLITE_ROW ? SQLITE_OK : code;
        if (code == SQLITE_OK)
            code = sqlite3_exec(db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
        if (code != SQLITE_OK && !IsDamage(code))
            return fail(Verdict::Unusable, NotSavedLine(path, Reason(db, code)));
    }
    if (code == SQLITE_OK) {
        limit.emplace(db, std::chrono::milliseconds(OpenTimeLimitMs));
        code = ReadGamesInProgress(db);
    }
    if (IsDamage(code))
        return fail(Verdict::Damaged, {});
    if (code != SQLITE_OK)
        return fail(Verdict::Unusable, NotSavedLine(path, Reason(db, code)));

    attempt.verdict = Verdict::Usable;
    attempt.db = db;
    attempt.readOnly = readOnly;
    attempt.version = version;
    return attempt;
}

} // namespace

OpenedGameDatabase OpenGameDatabase(const std::string& path, OpenMode mode, const std::vector<SchemaUpgrade>& upgrades,
                                    int targetVersion)
{
    OpenedGameDatabase opened;
    for (int round = 0; round < 5; ++round) {
        const FileIdentity before = IdentityOf(path);
        Attempt attempt = TryOpen(path, mode, upgrades, targetVersion);
        if (attempt.verdict == Verdict::Usable) {
            opened.database.reset(new GameDatabase(attempt.db, path, attempt.readOnly, attempt.version));
            if (opened.problem.empty())
                opened.problem = attempt.problem;
            return opened;
        }
        if (attempt.verdict == Verdict::Unusable) {
            opened.problem = attempt.problem;
            return opened;
        }
        // One file is set aside at most: a new one that cannot be used either says so.
        if (mode == OpenMode::ReadOnly || !opened.setAsideAs.empty()) {
            opened.problem = NotSavedLine(path, "is damaged");
            return opened;
        }
        // Another copy may have set the file aside and started a new one meanwhile: only the
        // file that was found damaged is moved.
        if (IdentityOf(path) != before)
            continue;
        const std::string aside = SetAside(path);
        if (aside.empty()) {
            opened.problem = NotSavedLine(path, "is damaged and cannot be renamed");
            return opened;
        }
        opened.setAsideAs = aside;
        opened.problem = "The game database " + BaseName(path) + " was damaged. It is kept as " + BaseName(aside) +
                         ", and a new one was started.";
    }
    opened.problem = NotSavedLine(path, "keeps changing");
    return opened;
}

// ---- The connection ----

GameDatabase::GameDatabase(sqlite3* db, std::string path, bool readOnly, int version)
    : db_(db)
    , path_(std::move(path))
    , readOnly_(readOnly)
    , version_(version)
{
}

GameDatabase::~GameDatabase() { sqlite3_close_v2(db_); }

std::string GameDatabase::LastError() const { return error_.empty() ? sqlite3_errmsg(db_) : error_; }

void GameDatabase::SetBusyTimeout(int milliseconds) { sqlite3_busy_timeout(db_, milliseconds); }

bool GameDatabase::Exec(const char* sql)
{
    char* message = nullptr;
    const bool done = sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK;
    error_ = message ? message : "";
    sqlite3_free(message);
    return done;
}

bool GameDatabase::InTransaction(const std::function<bool()>& work)
{
    if (readOnly_) {
        error_ = "read-only";
        return false;
    }
    error_.clear();
    if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    if (work() && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    error_ = sqlite3_errmsg(db_);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

namespace {
void BindGame(SqlStatement& statement, int first, const GameInProgress& game)
{
    statement.Bind(first, game.playedMs).BindBlob(first + 1, game.cells).Bind(first + 2,
                                                                               static_cast<std::int64_t>(game.cells.size()));
    if (game.markedNumber > 0)
        statement.Bind(first + 3, static_cast<std::int64_t>(game.markedNumber));
    else
        statement.BindNull(first + 3);
}

GameInProgress GameOf(const SqlStatement& row, int first)
{
    GameInProgress game;
    game.cells = row.Blob(first);
    game.markedNumber = row.IsNull(first + 1) ? 0 : static_cast<int>(row.Int(first + 1));
    game.playedMs = row.Int(first + 2);
    game.startedAt = row.IsNull(first + 3) ? 0 : row.Real(first + 3);
    return game;
}
} // namespace

std::optional<StoredGame> GameDatabase::FindGameToResume(const std::string& owner,
                                                         const std::function<bool(const std::string&)>& held)
{
    SqlStatement rows(db_, "SELECT id, ifnull(owner, ''), cells, marked, played_ms, started_at FROM games "
                           "WHERE state = 'playing' AND score > 0 ORDER BY updated_at DESC, id DESC");
    while (rows.Step() == SQLITE_ROW) {
        const std::string rowOwner = rows.Text(1);
        // A file this copy may not write is only looked at: its newest game is shown, whoever
        // holds it, and stays where it is.
        if (!readOnly_ && (rowOwner == owner || (!rowOwner.empty() && held(rowOwner))))
            continue;
        return StoredGame{rows.Int(0), GameOf(rows, 2), rowOwner};
    }
    return std::nullopt;
}

bool GameDatabase::ClaimGame(const StoredGame& game, const std::string& owner,
                             const std::function<bool(const std::string&)>& held, double now)
{
    bool claimed = false;
    const bool done = InTransaction([&] {
        claimed = false;
        SqlStatement take(db_, "UPDATE games SET owner = ? WHERE id = ? AND state = 'playing' AND ifnull(owner, '') = ?");
        take.Bind(1, owner).Bind(2, game.id).Bind(3, game.owner);
        if (take.Step() != SQLITE_DONE)
            return false;
        claimed = sqlite3_changes(db_) == 1;
        SqlStatement rows(db_, "SELECT id, ifnull(owner, ''), score, updated_at FROM games WHERE state = 'playing' AND id <> ?");
        rows.Bind(1, game.id);
        SqlStatement abandon(db_, "UPDATE games SET state = 'abandoned', ended_at = ?, owner = NULL WHERE id = ?");
        SqlStatement drop(db_, "DELETE FROM games WHERE id = ?");
        int step;
        while ((step = rows.Step()) == SQLITE_ROW) {
            const std::string rowOwner = rows.Text(1);
            if (rowOwner == owner || (!rowOwner.empty() && held(rowOwner)))
                continue;
            SqlStatement& change = rows.Int(2) == 0 ? drop : abandon; // a game without a number is no game
            if (&change == &drop)
                drop.Bind(1, rows.Int(0));
            else // it ended when it was last played
                abandon.Bind(1, rows.IsNull(3) ? now : rows.Real(3)).Bind(2, rows.Int(0));
            if (change.Step() != SQLITE_DONE)
                return false;
            change.Reset();
        }
        return step == SQLITE_DONE;
    });
    return done && claimed;
}

std::optional<StoredGame> GameDatabase::ClaimGameToResume(const std::string& owner,
                                                          const std::function<bool(const std::string&)>& held,
                                                          double now)
{
    std::optional<StoredGame> found = FindGameToResume(owner, held);
    if (!found || readOnly_)
        return found;
    if (!ClaimGame(*found, owner, held, now))
        return std::nullopt;
    found->owner = owner;
    return found;
}

std::int64_t GameDatabase::SavePlaying(std::int64_t id, const GameInProgress& game, const std::string& owner, double now)
{
    std::int64_t saved = -1;
    const bool done = InTransaction([&] {
        if (game.cells.empty()) {
            SqlStatement drop(db_, "DELETE FROM games WHERE id = ? AND state = 'playing' AND owner = ?");
            drop.Bind(1, id).Bind(2, owner);
            saved = 0;
            return drop.Step() == SQLITE_DONE;
        }
        if (id > 0) {
            SqlStatement update(db_, "UPDATE games SET updated_at = ?, played_ms = ?, cells = ?, score = ?, marked = ? "
                                     "WHERE id = ? AND state = 'playing' AND owner = ?");
            update.Bind(1, now);
            BindGame(update, 2, game);
            update.Bind(6, id).Bind(7, owner);
            if (update.Step() != SQLITE_DONE)
                return false;
            if (sqlite3_changes(db_) == 1) {
                saved = id;
                return true;
            }
        }
        SqlStatement insert(db_, "INSERT INTO games (state, started_at, updated_at, played_ms, cells, score, marked, owner) "
                                 "VALUES ('playing', ?, ?, ?, ?, ?, ?, ?)");
        insert.Bind(1, game.startedAt > 0 ? game.startedAt : now).Bind(2, now);
        BindGame(insert, 3, game);
        insert.Bind(7, owner);
        if (insert.Step() != SQLITE_DONE)
            return false;
        saved = sqlite3_last_insert_rowid(db_);
        return true;
    });
    return done ? saved : -1;
}

std::int64_t GameDatabase::MarkFinished(std::int64_t id, const GameInProgress& game, double now)
{
    std::int64_t finished = -1;
    const char* outcome = game.cells.size() >= 100 ? "complete" : "stuck";
    const bool done = InTransaction([&] {
        if (id > 0) {
            SqlStatement update(db_, "UPDATE games SET state = 'finished', ended_at = ?, played_ms = ?, cells = ?, "
                                     "score = ?, marked = ?, outcome = ?, owner = NULL, updated_at = ? "
                                     "WHERE id = ? AND state = 'playing'");
            update.Bind(1, now);
            BindGame(update, 2, game);
            update.Bind(6, std::string_view(outcome)).Bind(7, now).Bind(8, id);
            if (update.Step() != SQLITE_DONE)
                return false;
            if (sqlite3_changes(db_) == 1) {
                finished = id;
                return true;
            }
        }
        SqlStatement insert(db_, "INSERT INTO games (state, started_at, ended_at, updated_at, played_ms, cells, score, "
                                 "marked, outcome) VALUES ('finished', ?, ?, ?, ?, ?, ?, ?, ?)");
        insert.Bind(1, game.startedAt > 0 ? game.startedAt : now).Bind(2, now).Bind(3, now);
        BindGame(insert, 4, game);
        insert.Bind(8, std::string_view(outcome));
        if (insert.Step() != SQLITE_DONE)
            return false;
        finished = sqlite3_last_insert_rowid(db_);
        return true;
    });
    return done ? finished : -1;
}

bool GameDatabase::SetName(std::int64_t id, const std::string& name)
{
    return InTransaction([&] {
        SqlStatement update(db_, "UPDATE games SET name = ? WHERE id = ? AND state = 'finished'");
        update.Bind(1, name).Bind(2, id);
        return update.Step() == SQLITE_DONE;
    });
}

bool GameDatabase::MarkAbandoned(std::int64_t id, double now)
{
    return InTransaction([&] {
        SqlStatement update(db_, "UPDATE games SET state = 'abandoned', ended_at = ?, updated_at = ?, owner = NULL "
                                 "WHERE id = ? AND state = 'playing'");
        update.Bind(1, now).Bind(2, now).Bind(3, id);
        return update.Step() == SQLITE_DONE;
    });
}

std::optional<StoredGame> GameDatabase::Read(std::int64_t id)
{
    SqlStatement row(db_, "SELECT cells, marked, played_ms, started_at FROM games WHERE id = ?");
    row.Bind(1, id);
    if (row.Step() != SQLITE_ROW)
        return std::nullopt;
    return StoredGame{id, GameOf(row, 0), {}};
}

} // namespace tovra
