// SPDX-License-Identifier: GPL-3.0-or-later
#include "THistoryOutages.h"

#include <string>
#include <utility>

int THistoryOutages::Prepare(sqlite3* Db) {
    FDb = Db;
    const std::pair<TSqlStatement*, const char*> Statements[] = {
        {&FInsert, "INSERT INTO outage(start_from_ms, start_to_ms, end_from_ms, end_to_ms, "
                   "end_kind, lost, duration_ms, uncertainty_ms, host, kind) "
                   "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"},
        {&FUpdate, "UPDATE outage SET start_from_ms = ?1, start_to_ms = ?2, end_from_ms = ?3, "
                   "end_to_ms = ?4, end_kind = ?5, lost = ?6, duration_ms = ?7, "
                   "uncertainty_ms = ?8 WHERE id = ?9"},
        {&FRead, "SELECT id, host, start_from_ms, start_to_ms, end_from_ms, end_to_ms, end_kind, "
                 "lost, duration_ms, uncertainty_ms, coalesce(path, ''), kind FROM outage "
                 "WHERE start_to_ms < ?2 AND coalesce(end_to_ms, end_from_ms) >= ?1 "
                 "ORDER BY start_to_ms DESC, id DESC"},
        {&FSetPath, "UPDATE outage SET path = ?2 WHERE id = ?1"},
        {&FDropHops, "DELETE FROM outage_hop WHERE outage = ?1"},
        {&FInsertHop, "INSERT INTO outage_hop(outage, hop, address, sent, received, average_us, "
                      "worst_us) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)"},
        {&FReadHops, "SELECT hop, address, sent, received, average_us, worst_us, "
                     "(SELECT coalesce(path, '') FROM outage WHERE id = ?1) FROM outage_hop "
                     "WHERE outage = ?1 ORDER BY hop, received DESC, address"},
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
    FInsert.Bind(10, static_cast<int64_t>(Outage.Kind));
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
        Outage.Path = FRead.Text(10);
        Outage.Kind = FRead.Int(11) == static_cast<int64_t>(TOutageKind::Slow) ? TOutageKind::Slow
                                                                               : TOutageKind::Down;
    }
    return Rc == SQLITE_DONE ? SQLITE_OK : Rc;
}

int THistoryOutages::SetTrace(int64_t Id, const TOutageTrace& Trace) {
    FSetPath.Bind(1, Id);
    FSetPath.Bind(2, Trace.Verdict);
    FDropHops.Bind(1, Id);
    int Rc = FSetPath.Run();
    if (Rc == SQLITE_OK) {
        Rc = FDropHops.Run();
    }
    for (const TOutageHop& Hop : Trace.Hops) {
        if (Rc != SQLITE_OK) {
            break;
        }
        FInsertHop.Bind(1, Id);
        FInsertHop.Bind(2, int64_t{Hop.Hop});
        FInsertHop.Bind(3, Hop.Address);
        FInsertHop.Bind(4, int64_t{Hop.Sent});
        FInsertHop.Bind(5, int64_t{Hop.Received});
        FInsertHop.Bind(6, Hop.AverageUs);
        FInsertHop.Bind(7, Hop.WorstUs);
        Rc = FInsertHop.Run();
    }
    return Rc;
}

int THistoryOutages::ReadTrace(int64_t Id, std::optional<TOutageTrace>& Out) {
    const TSqlReset Reset(FReadHops);
    FReadHops.Bind(1, Id);
    Out.reset();
    int Rc = SQLITE_ROW;
    while ((Rc = FReadHops.Step()) == SQLITE_ROW) {
        if (!Out) {
            Out.emplace().Verdict = FReadHops.Text(6);
        }
        Out->Hops.push_back({static_cast<int>(FReadHops.Int(0)), FReadHops.Text(1),
                             static_cast<int>(FReadHops.Int(2)), static_cast<int>(FReadHops.Int(3)),
                             FReadHops.OptionalInt(4), FReadHops.OptionalInt(5)});
    }
    return Rc == SQLITE_DONE ? SQLITE_OK : Rc;
}

int THistoryOutages::CloseCrashed(sqlite3* Db) {
    // Its row is written as it begins and then now and then: the lost pings kept
    // after its last write are its own (an answer would have ended it on record).
    const std::string Later = "FROM ping WHERE utc_ms > outage.end_from_ms AND rtt_us IS NULL";
    const std::string Last = "coalesce((SELECT max(utc_ms) " + Later + "), end_from_ms)";
    const std::string Sql =
        "UPDATE outage SET end_kind = " + std::to_string(static_cast<int>(TOutageEnd::Unknown)) +
        ", lost = lost + (SELECT count(*) " + Later + "), duration_ms = duration_ms + " + Last +
        " - end_from_ms, end_from_ms = " + Last + ", end_to_ms = " + Last +
        " WHERE end_kind = " + std::to_string(static_cast<int>(TOutageEnd::Open));
    return SqlExec(Db, Sql.c_str());
}
