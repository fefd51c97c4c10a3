#pragma once
// The one way this program speaks SQL: a connection that keeps its prepared statements, one
// statement type, and one error type that says what kind of failure it was. Every call either
// does what it says or throws StoreError.
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tovra {

// What a failure means to the player, which decides what the game does about it.
enum class StoreFailure {
    None,
    Damaged,  // corrupt, or not a database: the only kind that sets a file aside
    Full,     // no space left on the disk
    ReadOnly, // the file or its folder cannot be written
    Busy,     // another program holds the file's lock
    Io,       // the disk failed to read or write
    Other,
};
StoreFailure FailureOf(int sqliteCode);

// sqlite3_open_v2 for every connection of the store. Before the first, SQLite is told to keep
// no memory ahead: no lookaside (120 KB per connection, all written at once) and no first
// block of 20 cache pages (another 86 KB, also written at once). The game's few small
// statements need neither, and every start would carry both.
int OpenSqlite(const std::string& name, int flags, sqlite3** db);

class StoreError : public std::runtime_error {
public:
    StoreError(int code, const std::string& message);
    int Code() const { return code_; }
    StoreFailure Failure() const { return FailureOf(code_); }

private:
    int code_;
};

class Connection;

// A prepared statement: bind by position (from 1), step, read columns (from 0).
class Statement {
public:
    Statement(Connection& connection, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, int value) { return Bind(index, static_cast<std::int64_t>(value)); }
    Statement& Bind(int index, double value);
    Statement& Bind(int index, std::string_view text);
    Statement& Bind(int index, const char* text) { return Bind(index, std::string_view(text)); }
    Statement& Bind(int index, const std::string& text) { return Bind(index, std::string_view(text)); }
    Statement& BindBlob(int index, const std::vector<std::uint8_t>& bytes);
    Statement& BindNull(int index);
    // True while there is a row to read; false when done.
    bool Step();
    // Runs it through, for statements without rows.
    void Run();
    // Ready for new bindings and a new run (done by Connection::Prepare too).
    void Reset();

    bool IsNull(int column) const;
    std::int64_t Int(int column) const;
    double Real(int column) const;
    std::string Text(int column) const;
    std::vector<std::uint8_t> Blob(int column) const;

private:
    Connection& connection_;
    sqlite3_stmt* statement_ = nullptr;
};

enum class OpenFor { Reading, Writing };

class Connection {
public:
    // Opens (and for Writing creates) the file; throws StoreError. Errors come back extended.
    Connection(const std::string& path, OpenFor mode);
    // Takes over a connection opened elsewhere (with the checks a file not the game's needs).
    Connection(sqlite3* adopted, std::string path);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* Handle() const { return db_; }
    const std::string& Path() const { return path_; }
    // Whether the file can be written through this connection.
    bool ReadOnly() const;
    // A statement prepared once and kept for the life of the connection, reset and ready.
    Statement& Prepare(const char* sql);
    // Runs SQL without results.
    void Execute(const char* sql);
    // The value of the first column of the first row (PRAGMAs, counts).
    std::int64_t Number(const char* sql);
    int Changes() const;
    std::int64_t LastInsertId() const;
    void SetBusyTimeout(int milliseconds);
    // Throws the connection's current error; `what` says what was being done.
    [[noreturn]] void Fail(const std::string& what, int code) const;

private:
    sqlite3* db_ = nullptr;
    std::string path_;
    // Keyed by the SQL text's address: every caller passes a literal.
    std::map<const char*, std::unique_ptr<Statement>> cache_;
};

// BEGIN IMMEDIATE on construction: the write lock is taken at once, so a writer never reads
// first and fails later. Rolled back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(Connection& connection);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;
    void Commit();

private:
    Connection& connection_;
    bool done_ = false;
};

} // namespace tovra
