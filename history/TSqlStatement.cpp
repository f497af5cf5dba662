// SPDX-License-Identifier: GPL-3.0-or-later
#include "TSqlStatement.h"

int SqlExec(sqlite3* Db, const char* Sql) {
    return ::sqlite3_exec(Db, Sql, nullptr, nullptr, nullptr);
}

int TSqlStatement::Prepare(sqlite3* Db, std::string_view Sql) {
    sqlite3_stmt* Statement = nullptr;
    const int Rc = ::sqlite3_prepare_v3(Db, Sql.data(), static_cast<int>(Sql.size()),
                                        SQLITE_PREPARE_PERSISTENT, &Statement, nullptr);
    FStatement.reset(Rc == SQLITE_OK ? Statement : nullptr);
    if (Rc != SQLITE_OK) {
        ::sqlite3_finalize(Statement);
    }
    return Rc;
}

void TSqlStatement::Bind(int Index, int64_t Value) {
    ::sqlite3_bind_int64(FStatement.get(), Index, Value);
}

void TSqlStatement::Bind(int Index, std::optional<int64_t> Value) {
    if (Value) {
        Bind(Index, *Value);
    } else {
        ::sqlite3_bind_null(FStatement.get(), Index);
    }
}

void TSqlStatement::Bind(int Index, const std::string& Value) {
    ::sqlite3_bind_text(FStatement.get(), Index, Value.data(), static_cast<int>(Value.size()),
                        SQLITE_TRANSIENT);
}

int TSqlStatement::Step() {
    return ::sqlite3_step(FStatement.get());
}

void TSqlStatement::Reset() {
    if (FStatement) {
        ::sqlite3_reset(FStatement.get());
        ::sqlite3_clear_bindings(FStatement.get());
    }
}

int TSqlStatement::Run() {
    int Rc = SQLITE_ROW;
    while (Rc == SQLITE_ROW) {
        Rc = Step();
    }
    Reset();
    return Rc == SQLITE_DONE ? SQLITE_OK : Rc;
}

int64_t TSqlStatement::Int(int Column) const {
    return ::sqlite3_column_int64(FStatement.get(), Column);
}

std::optional<int64_t> TSqlStatement::OptionalInt(int Column) const {
    if (::sqlite3_column_type(FStatement.get(), Column) == SQLITE_NULL) {
        return std::nullopt;
    }
    return Int(Column);
}

double TSqlStatement::Real(int Column) const {
    return ::sqlite3_column_double(FStatement.get(), Column);
}

std::string TSqlStatement::Text(int Column) const {
    const auto* Bytes = ::sqlite3_column_text(FStatement.get(), Column);
    const int Size = ::sqlite3_column_bytes(FStatement.get(), Column);
    return Bytes ? std::string(reinterpret_cast<const char*>(Bytes), static_cast<size_t>(Size))
                 : std::string();
}
