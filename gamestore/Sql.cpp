#include "gamestore/Sql.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace tovra {

StoreFailure FailureOf(int code)
{
    switch (code & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return StoreFailure::None;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return StoreFailure::Damaged;
    case SQLITE_FULL:
        return StoreFailure::Full;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        return StoreFailure::ReadOnly;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return StoreFailure::Busy;
    case SQLITE_IOERR:
        return StoreFailure::Io;
    default:
        return StoreFailure::Other;
    }
}

StoreError::StoreError(int code, const std::string& message)
    : std::runtime_error(message)
    , code_(code)
{
}

namespace {
// What the system said decides where SQLite's code is vague: growing the shared-memory file on
// a full disk is an "I/O error" to SQLite, and a read-only file system a "cannot open".
int CodeFor(int code, int systemError)
{
    if (systemError == ENOSPC || systemError == EDQUOT)
        return SQLITE_FULL;
    if (systemError == EROFS && (code & 0xff) != SQLITE_CORRUPT && (code & 0xff) != SQLITE_NOTADB)
        return SQLITE_READONLY;
    return code;
}
} // namespace

// ---- Statement ----

Statement::Statement(Connection& connection, std::string_view sql)
    : connection_(connection)
{
    const int code = sqlite3_prepare_v2(connection.Handle(), sql.data(), static_cast<int>(sql.size()), &statement_,
                                        nullptr);
    if (code != SQLITE_OK) {
        sqlite3_finalize(statement_);
        connection.Fail("prepare", code);
    }
}

Statement::~Statement() { sqlite3_finalize(statement_); }

namespace {
void CheckBind(Connection& connection, int code)
{
    if (code != SQLITE_OK)
        connection.Fail("bind", code);
}
} // namespace

Statement& Statement::Bind(int index, std::int64_t value)
{
    CheckBind(connection_, sqlite3_bind_int64(statement_, index, value));
    return *this;
}

Statement& Statement::Bind(int index, double value)
{
    CheckBind(connection_, sqlite3_bind_double(statement_, index, value));
    return *this;
}

Statement& Statement::Bind(int index, std::string_view text)
{
    CheckBind(connection_,
              sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::BindBlob(int index, const std::vector<std::uint8_t>& bytes)
{
    // A zero-length blob, not NULL, for an empty vector (data() may be null).
    static const std::uint8_t none = 0;
    CheckBind(connection_, sqlite3_bind_blob(statement_, index, bytes.empty() ? &none : bytes.data(),
                                             static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::BindNull(int index)
{
    CheckBind(connection_, sqlite3_bind_null(statement_, index));
    return *this;
}

bool Statement::Step()
{
    const int code = sqlite3_step(statement_);
    if (code == SQLITE_ROW)
        return true;
    if (code == SQLITE_DONE)
        return false;
    sqlite3_reset(statement_); // the statement stays usable, its error is thrown
    connection_.Fail("step", code);
}

void Statement::Run()
{
    while (Step()) {
    }
}

void Statement::Reset()
{
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

bool Statement::IsNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(statement_, column); }
double Statement::Real(int column) const { return sqlite3_column_double(statement_, column); }

std::string Statement::Text(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))) : std::string();
}

std::vector<std::uint8_t> Statement::Blob(int column) const
{
    const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, column));
    return bytes ? std::vector<std::uint8_t>(bytes, bytes + sqlite3_column_bytes(statement_, column))
                 : std::vector<std::uint8_t>();
}

int OpenSqlite(const std::string& name, int flags, sqlite3** db)
{
    // Allowed only before SQLite's first use in the process; later (a test that opened a file
    // itself first) it fails harmlessly, and the lookaside is still turned off below.
    static std::once_flag configured;
    std::call_once(configured, [] {
        sqlite3_config(SQLITE_CONFIG_LOOKASIDE, 0, 0);
        sqlite3_config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0);
    });
    const int code = sqlite3_open_v2(name.c_str(), db, flags, nullptr);
    if (*db)
        sqlite3_db_config(*db, SQLITE_DBCONFIG_LOOKASIDE, nullptr, 0, 0);
    return code;
}

// ---- Connection ----

Connection::Connection(const std::string& path, OpenFor mode)
    : path_(path)
{
    const int flags = (mode == OpenFor::Reading ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
                      SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI | SQLITE_OPEN_NOFOLLOW;
    const int code = OpenSqlite(path, flags, &db_);
    if (db_)
        sqlite3_extended_result_codes(db_, 1);
    if (code != SQLITE_OK) {
        const int extended = db_ ? sqlite3_extended_errcode(db_) : code;
        const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
        const int error = db_ ? sqlite3_system_errno(db_) : 0;
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw StoreError(CodeFor(extended, error),
                         "open: " + message + (error ? std::string(" (") + std::strerror(error) + ")" : ""));
    }
    // Closing never checkpoints: the last write of a run is not held up by copying the log
    // into the file, which the next write's automatic checkpoint does on the keeper's thread.
    if (mode == OpenFor::Writing)
        sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    // A small page cache: the game reads a few rows at a time, and every start pays for a
    // bigger one in memory.
    sqlite3_exec(db_, "PRAGMA cache_size = -256", nullptr, nullptr, nullptr);
}

Connection::Connection(sqlite3* adopted, std::string path)
    : db_(adopted)
    , path_(std::move(path))
{
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_exec(db_, "PRAGMA cache_size = -256", nullptr, nullptr, nullptr);
}

Connection::~Connection()
{
    cache_.clear(); // every statement is finalised before the connection closes
    sqlite3_close_v2(db_);
}

bool Connection::ReadOnly() const { return sqlite3_db_readonly(db_, "main") == 1; }

Statement& Connection::Prepare(const char* sql)
{
    auto found = cache_.find(sql);
    if (found == cache_.end())
        found = cache_.emplace(sql, std::make_unique<Statement>(*this, sql)).first;
    found->second->Reset();
    return *found->second;
}

void Connection::Execute(const char* sql)
{
    const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK)
        Fail(sql, code);
}

std::int64_t Connection::Number(const char* sql)
{
    Statement query(*this, sql);
    return query.Step() ? query.Int(0) : 0;
}

int Connection::Changes() const { return sqlite3_changes(db_); }
std::int64_t Connection::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }
void Connection::SetBusyTimeout(int milliseconds) { sqlite3_busy_timeout(db_, milliseconds); }


void Connection::Fail(const std::string& what, int code) const
{
    const int extended = sqlite3_extended_errcode(db_);
    // The connection's own code is the precise one, when it is about this failure.
    const int precise = (extended & 0xff) == (code & 0xff) ? extended : code;
    std::string message = sqlite3_errmsg(db_);
    const int error = sqlite3_system_errno(db_);
    if (error != 0 && FailureOf(precise) != StoreFailure::Damaged)
        message += std::string(" (") + std::strerror(error) + ")";
    throw StoreError(CodeFor(precise, error), what + ": " + message);
}

// ---- WriteTransaction ----

WriteTransaction::WriteTransaction(Connection& connection)
    : connection_(connection)
{
    connection_.Execute("BEGIN IMMEDIATE");
}

WriteTransaction::~WriteTransaction()
{
    if (!done_)
        sqlite3_exec(connection_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void WriteTransaction::Commit()
{
    connection_.Execute("COMMIT");
    done_ = true;
}

} // namespace tovra
