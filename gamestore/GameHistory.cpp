#include "gamestore/GameHistory.h"

#include "core/DailyBoard.h"
#include "gamestore/StoreFiles.h"
#include "records/BestRecord.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tovra {

namespace {

// record.dat is the one source imported so far; the name leaves room for others.
constexpr const char* StoredGamesSource = "record.dat";

// A stored board's cells up to the first that is off the board.
std::vector<int> CellsOf(const std::vector<std::uint8_t>& bytes)
{
    std::vector<int> cells;
    cells.reserve(bytes.size());
    for (const std::uint8_t cell : bytes) {
        if (cell >= 100)
            break;
        cells.push_back(cell);
    }
    return cells;
}

constexpr const char* HistoryColumns = "SELECT id, state, origin, started_at, ended_at, played_ms, cells, outcome, name, "
                                       "last_reachable, given, board_date FROM games ";
// A file not upgraded yet (read-only, read as it lies) has no given boards.
constexpr const char* HistoryColumnsBeforeGivenBoards =
    "SELECT id, state, origin, started_at, ended_at, played_ms, cells, outcome, name, last_reachable, 0, NULL FROM games ";

// Games played here in the order they ended, kept by the database; the games taken from
// record.dat (which have no place in it) before them, by day.
constexpr const char* AllHistory =
    "SELECT id, state, origin, started_at, ended_at, played_ms, cells, outcome, name, last_reachable, given, board_date "
    "FROM games WHERE state IN ('finished', 'abandoned') "
    "ORDER BY end_order IS NULL, end_order DESC, ended_at DESC, id DESC";
constexpr const char* AllHistoryBeforeGivenBoards =
    "SELECT id, state, origin, started_at, ended_at, played_ms, cells, outcome, name, last_reachable, 0, NULL "
    "FROM games WHERE state IN ('finished', 'abandoned') "
    "ORDER BY end_order IS NULL, end_order DESC, ended_at DESC, id DESC";

bool HasGivenBoards(Connection& db) { return db.Number("PRAGMA user_version") >= GivenBoardsVersion; }

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
    game.cells = CellsOf(row.Blob(6));
    game.name = row.Text(8);
    if (!row.IsNull(9))
        game.lastReachable = static_cast<int>(row.Int(9));
    game.given = static_cast<int>(std::clamp<std::int64_t>(row.Int(10), 0, game.Score()));
    if (game.given > 0 && !row.IsNull(11))
        game.boardDate = ParseIsoDate(row.Text(11));
    return game;
}

bool FileHasBytes(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && status.st_size > 0;
}

} // namespace

std::vector<HistoryGame> ReadHistory(Connection& db)
{
    Statement& query = db.Prepare(HasGivenBoards(db) ? AllHistory : AllHistoryBeforeGivenBoards);
    std::vector<HistoryGame> games;
    while (query.Step())
        games.push_back(GameOf(query));
    return games;
}

std::optional<HistoryGame> ReadHistoryGame(Connection& db, std::int64_t id)
{
    Statement query(db, std::string(HasGivenBoards(db) ? HistoryColumns : HistoryColumnsBeforeGivenBoards) +
                            "WHERE id = ? AND state IN ('finished', 'abandoned')");
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

int ImportStoredGamesOnce(Connection& db, const BestTable& table)
{
    WriteTransaction transaction(db);
    {
        Statement& done = db.Prepare("SELECT 1 FROM imports WHERE source = ?");
        done.Bind(1, StoredGamesSource);
        if (done.Step()) {
            done.Reset();
            return 0;
        }
    }
    const double now = static_cast<double>(std::time(nullptr));
    Statement& insert = db.Prepare("INSERT OR IGNORE INTO games (state, origin, ended_at, updated_at, cells, score, "
                                   "outcome, name, import_key) VALUES ('finished', 'imported', ?, ?, ?, ?, ?, ?, ?)");
    int added = 0;
    for (int rank = 1; rank <= RecordCount; ++rank) {
        const BestRecord& record = table.ByRank(rank);
        const std::optional<CivilDate> day = RecordDate(record);
        const std::optional<std::vector<int>> cells = StoredGameOrder(record);
        if (!day || !cells)
            continue;
        insert.Reset();
        insert.Bind(1, NoonOf(*day)).Bind(2, now);
        insert.BindBlob(3, std::vector<std::uint8_t>(cells->begin(), cells->end()));
        insert.Bind(4, static_cast<std::int64_t>(cells->size()));
        insert.Bind(5, cells->size() == 100 ? "complete" : "stuck");
        const std::string name = RecordName(record);
        if (name.empty())
            insert.BindNull(6);
        else
            insert.Bind(6, name);
        insert.Bind(7, ImportKey(record)).Run();
        added += db.Changes();
    }
    db.Prepare("INSERT INTO imports (source, done_at) VALUES (?, ?)").Bind(1, StoredGamesSource).Bind(2, now).Run();
    transaction.Commit();
    return added;
}

std::vector<PendingAnalysis> GamesAwaitingAnalysis(Connection& db)
{
    Statement& query = db.Prepare("SELECT id, cells FROM games WHERE state IN ('finished', 'abandoned') "
                                  "AND last_reachable IS NULL ORDER BY id");
    std::vector<PendingAnalysis> pending;
    while (query.Step())
        pending.push_back({query.Int(0), CellsOf(query.Blob(1))});
    return pending;
}

bool StoreLastReachable(Connection& db, std::int64_t id, int lastReachable)
{
    db.Prepare("UPDATE games SET last_reachable = ? WHERE id = ? AND last_reachable IS NULL")
        .Bind(1, lastReachable)
        .Bind(2, id)
        .Run();
    return db.Changes() == 1;
}

std::unique_ptr<Connection> OpenHistoryReadOnly(const std::string& path)
{
    // Only a file whose tables are the game's is read: another file's views or triggers never run.
    std::string problem;
    if (sqlite3* db = OpenExistingGameDatabase(path, true, problem)) {
        auto connection = std::make_unique<Connection>(db, path);
        connection->SetBusyTimeout(2000);
        return connection;
    }
    // A folder the player may not write holds no shared-memory file to read the log with. With
    // no log to read, the file alone is the whole history: read it as it lies.
    const std::string folder = path.find('/') == std::string::npos ? "." : path.substr(0, path.rfind('/') + 1);
    if (::access(folder.c_str(), W_OK) == 0 || CheckStoreFiles(path).finding != StoreFileFinding::Usable ||
        FileHasBytes(path + "-wal"))
        throw StoreError(SQLITE_CANTOPEN, problem);
    std::string uri = "file:";
    for (const char c : path) {
        if (c == '?' || c == '#' || c == '%')
            uri += c == '?' ? "%3f" : c == '#' ? "%23" : "%25";
        else
            uri += c;
    }
    auto connection = std::make_unique<Connection>(uri + "?immutable=1", OpenFor::Reading);
    GuardConnection(connection->Handle());
    QueryTimeLimit limit(connection->Handle(), std::chrono::milliseconds(1000));
    if (CheckSchema(connection->Handle(), static_cast<int>(connection->Number("PRAGMA user_version"))) != SchemaFinding::Own)
        throw StoreError(SQLITE_CANTOPEN, problem);
    return connection;
}

std::vector<HistoryGame> ReadHistoryFile(const std::string& path, std::string& error)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 && errno == ENOENT)
        return {};
    try {
        const std::unique_ptr<Connection> db = OpenHistoryReadOnly(path);
        // Years of games are read in milliseconds: a file that takes longer is not the game's.
        QueryTimeLimit limit(db->Handle(), std::chrono::seconds(5));
        return ReadHistory(*db);
    } catch (const StoreError& failure) {
        error = failure.what();
        return {};
    }
}

} // namespace tovra
