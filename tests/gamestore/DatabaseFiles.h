#pragma once
// SQL on a game database from outside the code under test: files laid out by hand, rows read back.
#include "gamestore/GameDatabase.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <string>

namespace tovra::testing {

// Runs SQL on its own connection, outside the code under test.
inline void Sql(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int code = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(code, SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

// The first column of the first row of `sql`, as text.
inline std::string SqlValue(GameDatabase& database, const char* sql)
{
    Statement query(database.Sql(), sql);
    return query.Step() ? query.Text(0) : "(no row)";
}

// Every game row of the file by id, each as `row` (an SQL expression over its columns), joined
// by spaces.
inline std::string GameRows(const std::string& path, const std::string& row)
{
    Connection db(path, OpenFor::Reading);
    const std::string sql = "SELECT group_concat(" + row + ", ' ') FROM (SELECT * FROM games ORDER BY id)";
    Statement rows(db, sql.c_str());
    return rows.Step() ? rows.Text(0) : std::string();
}

} // namespace tovra::testing
