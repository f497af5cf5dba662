// SPDX-License-Identifier: GPL-3.0-or-later
#include "THistoryOutages.h"

#include <string>
#include <utility>

int THistoryOutages::Prepare(sqlite3* Db) {
    FDb = Db;
    const std::pair<TSqlStatement*, const char*> Statements[] = {
        {&FInsert, "INSERT INTO outage(start_from_ms, start_to_ms, end_from_ms, end_to_ms, "
                   "end_kind, lost, duration_ms, uncertainty_ms, host) "
                   "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)"},
        {&FUpdate, "UPDATE outage SET start_from_ms = ?1, start_to_ms = ?2, end_from_ms = ?3, "
                   "end_to_ms = ?4, end_kind = ?5, lost = ?6, duration_ms = ?7, "
                   "uncertainty_ms = ?8 WHERE id = ?9"},
        {&FRead, "SELECT id, host, start_from_ms, start_to_ms, end_from_ms, end_to_ms, end_kind, "
                 "lost, duration_ms, uncertainty_ms FROM outage "
                 "WHERE start_to_ms < ?2 AND coalesce(end_to_ms, end_from_ms) >= ?1 "
                 "ORDER BY start_to_ms DESC, id DESC"},
    };
    for (const auto& [Statement, Sql] : Statements) {
        if (const int Rc = Statement->Prepare(Db, Sql); Rc != SQLITE_OK) {
            return Rc;
        }
    }
    return SQLITE_OK;
}

void THistoryOutages::BindFigures(TSqlStatement& Statement, const TOutage& Outage) {
    Statement.Bind(1, Outage.StartFromMs);
    Statement.Bind(2, Outage.StartToMs);
    Statement.Bind(3, Outage.EndFromMs);
    Statement.Bind(4, Outage.EndToMs);
    Statement.Bind(5, static_cast<int64_t>(Outage.End));
    Statement.Bind(6, Outage.Lost);
    Statement.Bind(7, Outage.DurationMs);
    Statement.Bind(8, Outage.UncertaintyMs);
}

int THistoryOutages::Insert(TOutage& Outage) {
    BindFigures(FInsert, Outage);
    FInsert.Bind(9, Outage.Host);
    const int Rc = FInsert.Run();
    if (Rc == SQLITE_OK) {
        Outage.Id = ::sqlite3_last_insert_rowid(FDb);
    }
    return Rc;
}

int THistoryOutages::Update(const TOutage& Outage) {
    BindFigures(FUpdate, Outage);
    FUpdate.Bind(9, Outage.Id);
    return FUpdate.Run();
}

int THistoryOutages::Read(int64_t FromMs, int64_t ToMs, std::vector<TOutage>& Out) {
    const TSqlReset Reset(FRead);
    FRead.Bind(1, FromMs);
    FRead.Bind(2, ToMs);
    int Rc = SQLITE_ROW;
    while ((Rc = FRead.Step()) == SQLITE_ROW) {
        TOutage& Outage = Out.emplace_back();
        Outage.Id = FRead.Int(0);
        Outage.Host = FRead.Text(1);
        Outage.StartFromMs = FRead.OptionalInt(2);
        Outage.StartToMs = FRead.Int(3);
        Outage.EndFromMs = FRead.Int(4);
        Outage.EndToMs = FRead.OptionalInt(5);
        const int64_t End = FRead.Int(6);
        Outage.End = End >= 0 && End <= static_cast<int64_t>(TOutageEnd::Unknown)
                         ? static_cast<TOutageEnd>(End)
                         : TOutageEnd::Unknown;
        Outage.Lost = FRead.Int(7);
        Outage.DurationMs = FRead.Int(8);
        Outage.UncertaintyMs = FRead.Int(9);
    }
    return Rc == SQLITE_DONE ? SQLITE_OK : Rc;
}

int THistoryOutages::CloseCrashed(sqlite3* Db) {
    const std::string Sql = "UPDATE outage SET end_kind = " +
                            std::to_string(static_cast<int>(TOutageEnd::Unknown)) +
                            ", end_to_ms = end_from_ms WHERE end_kind = " +
                            std::to_string(static_cast<int>(TOutageEnd::Open));
    return SqlExec(Db, Sql.c_str());
}
