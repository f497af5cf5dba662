// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct TSqlClose {
    void operator()(sqlite3* Db) const { ::sqlite3_close_v2(Db); }
};
// The one owner of a database connection.
using TSqlConnection = std::unique_ptr<sqlite3, TSqlClose>;

// Runs statements without results; SQLITE_OK or the error.
int SqlExec(sqlite3* Db, const char* Sql);

// A prepared statement, finalized with its owner. Steps return SQLite's codes,
// so the caller decides what a failure means.
class TSqlStatement {
public:
    int Prepare(sqlite3* Db, std::string_view Sql);
    bool Prepared() const { return FStatement != nullptr; }

    void Bind(int Index, int64_t Value);
    void Bind(int Index, std::optional<int64_t> Value);
    void Bind(int Index, const std::string& Value);
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step();
    // Back to the start with no values bound.
    void Reset();
    // Steps a statement without results to its end: SQLITE_OK or the error.
    int Run();

    int64_t Int(int Column) const;
    std::optional<int64_t> OptionalInt(int Column) const;
    double Real(int Column) const;
    std::string Text(int Column) const;

private:
    struct TFinalize {
        void operator()(sqlite3_stmt* Statement) const { ::sqlite3_finalize(Statement); }
    };
    std::unique_ptr<sqlite3_stmt, TFinalize> FStatement;
};

// Resets a statement when the scope ends, so no read stays pending between calls.
class TSqlReset {
public:
    explicit TSqlReset(TSqlStatement& Statement) : FStatement(Statement) { FStatement.Reset(); }
    ~TSqlReset() { FStatement.Reset(); }
    TSqlReset(const TSqlReset&) = delete;
    TSqlReset& operator=(const TSqlReset&) = delete;

private:
    TSqlStatement& FStatement;
};
