#include "gamestore/GameHistory.h"

#include "gamestore/StoreFiles.h"
#include "records/BestRecord.h"

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <memory>
#include <sys/stat.h>

namespace tovra {

namespace {

// record.dat is the one source imported so far; the name leaves room for others.
constexpr const char* StoredGamesSource = "record.dat";

[[noreturn]] void Fail(sqlite3* db, const std::string& what)
{
    throw HistoryError(what + ": " + (db ? sqlite3_errmsg(db) : "no database"));
}

// One prepared statement, finalised on every way out.
class Statement {
public:
    Statement(sqlite3* db, const char* sql)
        : db_(db)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK)
            Fail(db, "prepare");
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(int index, std::int64_t value) { check(sqlite3_bind_int64(statement_, index, value)); }
    void Bind(int index, double value) { check(sqlite3_bind_double(statement_, index, value)); }
    void Bind(int index, const std::string& text)
    {
        check(sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
    }
    void BindBlob(int index, const std::vector<std::uint8_t>& bytes)
    {
        check(sqlite3_bind_blob(statement_, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
    }
    void BindNull(int index) { check(sqlite3_bind_null(statement_, index)); }
    // Ready to run again with new values.
    void Reset()
    {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }

    // True while a row is there.
    bool Step()
    {
        const int result = sqlite3_step(statement_);
        if (result == SQLITE_ROW)
            return true;
        if (result != SQLITE_DONE)
            Fail(db_, "step");
        return false;
    }

    bool IsNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    std::int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
    double Real(int column) const { return sqlite3_column_double(statement_, column); }
    std::string Text(int column) const
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
        return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
                    : std::string();
    }
    std::vector<int> Cells(int column) const
    {
        const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, column));
        const int size = sqlite3_column_bytes(statement_, column);
        std::vector<int> cells;
        cells.reserve(static_cast<std::size_t>(size));
        for (int i = 0; i < size && bytes[i] < 100; ++i)
            cells.push_back(bytes[i]);
        return cells;
    }

private:
    void check(int result)
    {
        if (result != SQLITE_OK)
            Fail(db_, "bind");
    }

    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

void Execute(sqlite3* db, const char* sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail(db, sql);
}

// BEGIN IMMEDIATE: the write lock is taken at once, so two copies importing at the same time
// queue (up to the busy timeout) instead of both reading "not yet" and one failing later.
class WriteTransaction {
public:
    explicit WriteTransaction(sqlite3* db)
        : db_(db)
    {
        Execute(db, "BEGIN IMMEDIATE");
    }
    ~WriteTransaction()
    {
        if (!committed_)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void Commit()
    {
        Execute(db_, "COMMIT");
        committed_ = true;
    }

private:
    sqlite3* db_;
    bool committed_ = false;
};

constexpr const char* HistoryColumns =
    "SELECT id, state, origin, started_at, ended_at, played_ms, cells, outcome, name, last_reachable FROM games ";

HistoryGame GameOf(const Statement& row)
{
    HistoryGame game;
    game.id = row.Int(0);
    const std::string outcome = row.Text(7);
    game.end = row.Text(1) == "abandoned" ? GameEnd::Abandoned
               : outcome == "complete"   ? GameEnd::Complete
                                         : GameEnd::Stuck;
    game.imported = row.Text(2) == "imported";
    if (!row.IsNull(3))
        game.startedAt = row.Real(3);
    if (!row.IsNull(4))
        game.endedAt = row.Real(4);
    game.playedMs = row.Int(5);
    game.cells = row.Cells(6);
    game.name = row.Text(8);
    if (!row.IsNull(9))
        game.lastReachable = static_cast<int>(row.Int(9));
    return game;
}

} // namespace

std::vector<HistoryGame> ReadHistory(sqlite3* db)
{
    Statement query(db, (std::string(HistoryColumns) +
                         "WHERE state IN ('finished', 'abandoned') ORDER BY ended_at DESC, id DESC")
                            .c_str());
    std::vector<HistoryGame> games;
    while (query.Step())
        games.push_back(GameOf(query));
    return games;
}

std::optional<HistoryGame> ReadHistoryGame(sqlite3* db, std::int64_t id)
{
    Statement query(db, (std::string(HistoryColumns) + "WHERE id = ? AND state IN ('finished', 'abandoned')").c_str());
    query.Bind(1, id);
    if (!query.Step())
        return std::nullopt;
    return GameOf(query);
}

std::string ImportKey(const BestRecord& record)
{
    std::array<std::uint8_t, RecordSize> bytes{};
    EncodeRecord(record, bytes);
    static constexpr char Hex[] = "0123456789abcdef";
    std::string key;
    key.reserve(2 * RecordSize);
    for (const std::uint8_t byte : bytes) {
        key += Hex[byte >> 4];
        key += Hex[byte & 0xF];
    }
    return key;
}

double NoonOf(const CivilDate& day)
{
    std::tm noon{};
    noon.tm_year = day.year - 1900;
    noon.tm_mon = day.month - 1;
    noon.tm_mday = day.day;
    noon.tm_hour = 12;
    noon.tm_isdst = -1;
    return static_cast<double>(std::mktime(&noon));
}

int ImportStoredGamesOnce(sqlite3* db, const BestTable& table)
{
    WriteTransaction transaction(db);
    {
        Statement done(db, "SELECT 1 FROM imports WHERE source = ?");
        done.Bind(1, std::string(StoredGamesSource));
        if (done.Step())
            return 0;
    }
    const double now = static_cast<double>(std::time(nullptr));
    Statement insert(db, "INSERT OR IGNORE INTO games (state, origin, ended_at, updated_at, cells, score, outcome, "
                         "name, import_key) VALUES ('finished', 'imported', ?, ?, ?, ?, ?, ?, ?)");
    int added = 0;
    for (int rank = 1; rank <= RecordCount; ++rank) {
        const BestRecord& record = table.ByRank(rank);
        const std::optional<CivilDate> day = RecordDate(record);
        const std::optional<std::vector<int>> cells = StoredGameOrder(record);
        if (!day || !cells)
            continue;
        insert.Reset();
        insert.Bind(1, NoonOf(*day));
        insert.Bind(2, now);
        insert.BindBlob(3, std::vector<std::uint8_t>(cells->begin(), cells->end()));
        insert.Bind(4, static_cast<std::int64_t>(cells->size()));
        insert.Bind(5, std::string(cells->size() == 100 ? "complete" : "stuck"));
        const std::string name = RecordName(record);
        if (name.empty())
            insert.BindNull(6);
        else
            insert.Bind(6, name);
        insert.Bind(7, ImportKey(record));
        insert.Step();
        added += sqlite3_changes(db);
    }
    {
        Statement done(db, "INSERT INTO imports (source, done_at) VALUES (?, ?)");
        done.Bind(1, std::string(StoredGamesSource));
        done.Bind(2, now);
        done.Step();
    }
    transaction.Commit();
    return added;
}

std::vector<PendingAnalysis> GamesAwaitingAnalysis(sqlite3* db)
{
    Statement query(db, "SELECT id, cells FROM games WHERE state IN ('finished', 'abandoned') "
                        "AND last_reachable IS NULL ORDER BY id");
    std::vector<PendingAnalysis> pending;
    while (query.Step())
        pending.push_back({query.Int(0), query.Cells(1)});
    return pending;
}

bool StoreLastReachable(sqlite3* db, std::int64_t id, int lastReachable)
{
    Statement update(db, "UPDATE games SET last_reachable = ? WHERE id = ? AND last_reachable IS NULL");
    update.Bind(1, static_cast<std::int64_t>(lastReachable));
    update.Bind(2, id);
    update.Step();
    return sqlite3_changes(db) == 1;
}

sqlite3* OpenHistoryReadOnly(const std::string& path, std::string& error)
{
    // Only a file whose tables are the game's is read: another file's views or triggers never run.
    sqlite3* db = OpenExistingGameDatabase(path, true, error);
    if (db)
        sqlite3_busy_timeout(db, 2000);
    return db;
}

std::vector<HistoryGame> ReadHistoryFile(const std::string& path, std::string& error)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 && errno == ENOENT)
        return {};
    sqlite3* db = OpenHistoryReadOnly(path, error);
    if (!db)
        return {};
    std::vector<HistoryGame> games;
    try {
        // Years of games are read in milliseconds: a file that takes longer is not the game's.
        QueryTimeLimit limit(db, std::chrono::seconds(5));
        games = ReadHistory(db);
    } catch (const HistoryError& failure) {
        error = failure.what();
    }
    sqlite3_close(db);
    return games;
}

} // namespace tovra
