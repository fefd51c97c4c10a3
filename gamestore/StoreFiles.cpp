#include "gamestore/StoreFiles.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tovra {

std::string BaseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

// What a file whose schema is not the game's is said to be: another program's database, or the
// game's with a table, index, trigger or view planted in it.
constexpr const char* ForeignTables = "its tables are not the game's";

StoreFileCheck NotKept(StoreFileFinding finding, const std::string& name, std::string reason)
{
    std::string problem = "The game does not keep its games in " + name + ": " + reason + ".";
    return {finding, std::move(reason), std::move(problem)};
}

// Big-endian, as SQLite writes its headers.
std::uint32_t Word(const std::uint8_t* bytes)
{
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}

// Up to `size` bytes from the start of the file, read without following a link; empty when it
// cannot be read.
std::vector<std::uint8_t> Head(const std::string& path, std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    const ssize_t got = ::pread(fd, bytes.data(), size, 0);
    ::close(fd);
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return bytes;
}

// The database's page size from its header; 0 when the file is no SQLite database (yet).
std::uint32_t DatabasePageSize(const std::string& path)
{
    static constexpr char Magic[] = "SQLite format 3";
    const std::vector<std::uint8_t> header = Head(path, 100);
    if (header.size() < 100 || std::memcmp(header.data(), Magic, sizeof Magic) != 0)
        return 0;
    const std::uint32_t size = std::uint32_t{header[16]} << 8 | header[17];
    return size == 1 ? 65536 : size;
}

bool OwnRegularFile(const struct stat& status)
{
    return S_ISREG(status.st_mode) && status.st_uid == ::geteuid();
}

bool CopyFile(const std::string& from, const std::string& to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    bool done = out >= 0;
    std::array<char, 65536> buffer{};
    for (ssize_t got; done && (got = ::read(in, buffer.data(), buffer.size())) != 0;) {
        done = got > 0 && ::write(out, buffer.data(), static_cast<std::size_t>(got)) == got;
    }
    ::close(in);
    if (out >= 0)
        done = ::close(out) == 0 && done;
    return done;
}

// The statements of the game's tables and indexes as a file holds them: SQLite keeps each
// CREATE statement as written, so a file the game made holds exactly these.
struct SchemaEntry {
    std::string type;
    std::string name;
    std::string sql;
    friend bool operator==(const SchemaEntry&, const SchemaEntry&) = default;
};

bool ReadSchema(sqlite3* db, std::vector<SchemaEntry>& entries)
{
    sqlite3_stmt* query = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT type, name, coalesce(sql, '') FROM sqlite_schema ORDER BY type, name", -1, &query,
                           nullptr) != SQLITE_OK) {
        sqlite3_finalize(query);
        return false;
    }
    int step;
    while ((step = sqlite3_step(query)) == SQLITE_ROW) {
        const auto text = [&](int column) {
            const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(query, column));
            return value ? std::string(value) : std::string();
        };
        entries.push_back({text(0), text(1), text(2)});
    }
    sqlite3_finalize(query);
    return step == SQLITE_DONE;
}

// A file name as a URI path: the characters a URI gives a meaning to are escaped.
std::string UriPath(const std::string& path)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '%' || c == '?' || c == '#' || byte < 0x21 || byte >= 0x7F) {
            uri += '%';
            uri += Hex[byte >> 4];
            uri += Hex[byte & 0xF];
        } else {
            uri += c;
        }
    }
    return uri;
}

bool HoldsCode(const std::vector<SchemaEntry>& entries)
{
    return std::ranges::any_of(entries, [](const SchemaEntry& entry) { return entry.type == "trigger" || entry.type == "view"; });
}

bool MadeByTheGame(sqlite3* db, int version)
{
    std::vector<SchemaEntry> found;
    return version >= 1 && version <= GameDatabaseVersion && ReadSchema(db, found) && !found.empty() && !HoldsCode(found);
}

// The schema of the file at `path`, read-only. `asItLies` reads the file alone, taking no lock
// and making no log or index beside it: for a file that has no log, or may not be the game's.
SchemaFinding LookAtSchema(const std::string& path, bool asItLies, const std::vector<SchemaUpgrade>& upgrades)
{
    sqlite3* db = nullptr;
    const std::string uri = UriPath(path) + (asItLies ? "?immutable=1" : "");
    SchemaFinding finding = SchemaFinding::Unreadable;
    if (OpenSqlite(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOFOLLOW, &db) == SQLITE_OK) {
        GuardConnection(db);
        QueryTimeLimit limit(db, std::chrono::milliseconds(500));
        sqlite3_stmt* query = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &query, nullptr) == SQLITE_OK &&
            sqlite3_step(query) == SQLITE_ROW) {
            const int version = sqlite3_column_int(query, 0);
            sqlite3_finalize(query);
            query = nullptr;
            finding = CheckSchema(db, version, upgrades);
        }
        sqlite3_finalize(query);
    }
    sqlite3_close_v2(db);
    return finding;
}

// Whether the database and the log beside it, copied to a folder of this process's own, open
// as the game's database: a log of another database puts that database's pages in place and
// fails this.
bool LogBelongs(const std::string& path, const std::vector<SchemaUpgrade>& upgrades)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/tovra-log-check-XXXXXX";
    if (!::mkdtemp(folder.data()))
        return false;
    const std::string copy = folder + "/games.db";
    bool belongs = false;
    // The schema alone decides: another database's log replaces the schema's first page with
    // its own. A log another copy of the game is writing meanwhile may be copied torn, which
    // SQLite reads as a shorter log, so it still belongs.
    if (CopyFile(path, copy) && CopyFile(path + "-wal", copy + "-wal"))
        belongs = LookAtSchema(copy, false, upgrades) == SchemaFinding::Own;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        ::unlink((copy + suffix).c_str());
    ::rmdir(folder.c_str());
    return belongs;
}

// What lies under the database's names, looked at without opening anything: Absent, NotOwn,
// StrayLog for a companion that is not the player's own regular file, else Usable.
StoreFileCheck CheckFileKinds(const std::string& path)
{
    const std::string name = BaseName(path);
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return errno == ENOENT ? StoreFileCheck{}
                               : NotKept(StoreFileFinding::NotOwn, name, std::string("it cannot be looked at (") +
                                                                            std::strerror(errno) + ")");
    if (S_ISLNK(status.st_mode))
        return NotKept(StoreFileFinding::NotOwn, name, "a link, which the game does not follow");
    if (!S_ISREG(status.st_mode))
        return NotKept(StoreFileFinding::NotOwn, name, "not a regular file");
    if (status.st_uid != ::geteuid())
        return NotKept(StoreFileFinding::NotOwn, name, "another user's file");
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        struct stat companion {};
        if (::lstat((path + suffix).c_str(), &companion) == 0 && !OwnRegularFile(companion))
            return NotKept(StoreFileFinding::StrayLog, name, name + suffix + " beside it is not the game's");
    }
    return {StoreFileFinding::Usable, {}, {}};
}

std::string LogOfAnother(const std::string& name) { return "its log " + name + "-wal belongs to another database"; }

enum class LogFinding {
    None,          // no log, or one SQLite would apply nothing from
    OtherPageSize, // another database's, for certain
    Frames,        // pages SQLite would put in place of the database's
};

LogFinding LookAtLog(const std::string& path)
{
    // A log of fewer than a header's bytes, or without the log's magic number, holds nothing
    // SQLite would apply.
    const std::vector<std::uint8_t> log = Head(path + "-wal", 32);
    if (log.size() < 32 || (Word(log.data()) & 0xFFFFFFFE) != 0x377F0682)
        return LogFinding::None;
    const std::uint32_t pageSize = DatabasePageSize(path);
    return pageSize != 0 && Word(log.data() + 8) != pageSize ? LogFinding::OtherPageSize : LogFinding::Frames;
}

// How much of the schema a connection's use needs compared with the game's own.
enum class SchemaCompare {
    Whole, // every table, column and index: for anything that may write or be trusted whole
    // A version the game made and no trigger or view: for a single read of named columns,
    // which fails on tables that are not the game's. It spares building the reference schema.
    ForARead,
};

// A connection whose schema is the game's, and its problem otherwise.
sqlite3* KeepIfOwnSchema(sqlite3* db, SchemaCompare compare, std::string& problem)
{
    GuardConnection(db);
    QueryTimeLimit limit(db, std::chrono::milliseconds(1000));
    sqlite3_stmt* query = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &query, nullptr) == SQLITE_OK && sqlite3_step(query) == SQLITE_ROW)
        version = sqlite3_column_int(query, 0);
    sqlite3_finalize(query);
    if (version < 0) {
        problem = sqlite3_errmsg(db);
    } else if (compare == SchemaCompare::Whole ? CheckSchema(db, version) != SchemaFinding::Own
                                               : !MadeByTheGame(db, version)) {
        problem = ForeignTables;
    } else {
        return db;
    }
    sqlite3_close_v2(db);
    return nullptr;
}

} // namespace

std::string OwnGameDatabaseName(const std::string& folder)
{
    struct stat status {};
    if (::stat(folder.c_str(), &status) == 0 && status.st_uid != ::geteuid())
        return "games-" + std::to_string(::geteuid()) + ".db";
    return "games.db";
}

StoreFileCheck CheckStoreFiles(const std::string& path, const std::vector<SchemaUpgrade>& upgrades)
{
    const StoreFileCheck files = CheckFileKinds(path);
    if (files.finding != StoreFileFinding::Usable)
        return files;
    const std::string name = BaseName(path);
    switch (LookAtLog(path)) {
    case LogFinding::OtherPageSize:
        return NotKept(StoreFileFinding::StrayLog, name, LogOfAnother(name));
    case LogFinding::Frames:
        if (!LogBelongs(path, upgrades))
            return NotKept(StoreFileFinding::StrayLog, name, LogOfAnother(name));
        return files;
    case LogFinding::None:
        break;
    }
    // An empty file is one the game has just made. Any other is read as it lies, so that
    // nothing is made beside a file that turns out not to be the game's.
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && status.st_size > 0 && LookAtSchema(path, true, upgrades) == SchemaFinding::Foreign)
        return NotKept(StoreFileFinding::Foreign, name, ForeignTables);
    return files;
}

bool CreatePrivateStoreFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // The umask may take bits away, never add them; a setgid folder's group is kept.
    ::fchmod(fd, 0600);
    return ::close(fd) == 0;
}

void GuardConnection(sqlite3* db)
{
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    // The game's schema has neither: one planted in the file never runs, whatever it does.
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
}

SchemaFinding CheckSchema(sqlite3* db, int version, const std::vector<SchemaUpgrade>& upgrades)
{
    std::vector<SchemaEntry> found;
    if (!ReadSchema(db, found))
        return SchemaFinding::Unreadable;
    if (found.empty())
        return version == 0 ? SchemaFinding::Empty : SchemaFinding::Foreign;
    if (version == 0)
        return SchemaFinding::Foreign;
    const int known = std::ranges::max(upgrades, {}, &SchemaUpgrade::from).from + 1;
    if (version > known) {
        return HoldsCode(found) ? SchemaFinding::Foreign : SchemaFinding::Own;
    }
    // The game's schema at that version, made in memory by the same statements.
    sqlite3* reference = nullptr;
    std::vector<SchemaEntry> wanted;
    bool made = OpenSqlite(":memory:", SQLITE_OPEN_READWRITE, &reference) == SQLITE_OK;
    for (int from = 0; made && from < version; ++from) {
        const auto step = std::ranges::find(upgrades, from, &SchemaUpgrade::from);
        made = step != upgrades.end() && sqlite3_exec(reference, step->sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    made = made && ReadSchema(reference, wanted);
    sqlite3_close_v2(reference);
    return made && found == wanted ? SchemaFinding::Own : SchemaFinding::Foreign;
}

sqlite3* OpenExistingGameDatabase(const std::string& path, bool readOnly, std::string& problem)
{
    const StoreFileCheck files = CheckStoreFiles(path);
    if (files.finding != StoreFileFinding::Usable) {
        problem = files.finding == StoreFileFinding::Absent ? "no such file" : files.reason;
        return nullptr;
    }
    sqlite3* db = nullptr;
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOFOLLOW;
    if (OpenSqlite(path, flags, &db) != SQLITE_OK) {
        problem = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close_v2(db);
        return nullptr;
    }
    return KeepIfOwnSchema(db, SchemaCompare::Whole, problem);
}

sqlite3* OpenGameDatabaseToPeek(const std::string& path, std::string& problem)
{
    const StoreFileCheck files = CheckFileKinds(path);
    if (files.finding != StoreFileFinding::Usable) {
        problem = files.finding == StoreFileFinding::Absent ? "no such file" : files.reason;
        return nullptr;
    }
    // Without a log the file is read as it lies, with no lock and nothing made beside it. With
    // one, SQLite reads it through its index, opened read-only: with no index there, nothing
    // is read rather than one made.
    std::string query;
    switch (LookAtLog(path)) {
    case LogFinding::OtherPageSize:
        problem = LogOfAnother(BaseName(path));
        return nullptr;
    case LogFinding::Frames:
        query = "?readonly_shm=1";
        break;
    case LogFinding::None:
        query = "?immutable=1";
        break;
    }
    sqlite3* db = nullptr;
    if (OpenSqlite(UriPath(path) + query, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOFOLLOW, &db) !=
        SQLITE_OK) {
        problem = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close_v2(db);
        return nullptr;
    }
    return KeepIfOwnSchema(db, SchemaCompare::ForARead, problem);
}

QueryTimeLimit::QueryTimeLimit(sqlite3* db, std::chrono::milliseconds limit)
    : db_(db)
    , limit_(limit)
    , deadline_(std::chrono::steady_clock::now() + limit)
{
    // Every thousand virtual machine steps: a fraction of a millisecond.
    sqlite3_progress_handler(db_, 1000, &QueryTimeLimit::Check, this);
}

QueryTimeLimit::~QueryTimeLimit() { sqlite3_progress_handler(db_, 0, nullptr, nullptr); }

void QueryTimeLimit::Restart() { deadline_ = std::chrono::steady_clock::now() + limit_; }

int QueryTimeLimit::Check(void* self)
{
    return std::chrono::steady_clock::now() > static_cast<QueryTimeLimit*>(self)->deadline_ ? 1 : 0;
}

} // namespace tovra
