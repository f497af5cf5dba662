// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryRetention.h"

#include "THistoryReader.h"
#include "THistoryStore.h"

namespace {

// Runs Sql with ?1 = Cut and ?2 = Limit: SQLITE_OK or the error.
int RunWith(sqlite3* Db, const char* Sql, int64_t Cut, int64_t Limit = 0) {
    TSqlStatement Statement;
    const int Rc = Statement.Prepare(Db, Sql);
    if (Rc != SQLITE_OK) {
        return Rc;
    }
    Statement.Bind(1, Cut);
    Statement.Bind(2, Limit);
    return Statement.Run();
}

// Sets Left when the query "SELECT EXISTS(...)" with ?1 = Cut finds a row.
int AnyLeft(sqlite3* Db, const char* Sql, int64_t Cut, bool& Left) {
    TSqlStatement Query;
    int Rc = Query.Prepare(Db, Sql);
    if (Rc == SQLITE_OK) {
        Query.Bind(1, Cut);
        Rc = Query.Step();
    }
    Left = Left || (Rc == SQLITE_ROW && Query.Int(0) != 0);
    return Rc == SQLITE_ROW ? SQLITE_OK : Rc;
}

} // namespace

int PruneHistoryRows(sqlite3* Db, int64_t NowMs, int64_t MaxRows, bool& More) {
    const int64_t RawCut = NowMs - THistoryStore::FullResolutionMs;
    // Oldest first, each through its index, so a step costs the rows it deletes.
    const struct {
        const char* Delete;
        const char* Left;
        int64_t Cut;
    } Steps[] = {
        {"DELETE FROM ping WHERE id IN "
         "(SELECT id FROM ping WHERE utc_ms < ?1 ORDER BY utc_ms LIMIT ?2)",
         "SELECT EXISTS(SELECT 1 FROM ping WHERE utc_ms < ?1)", RawCut},
        {"DELETE FROM minute WHERE (minute, target) IN "
         "(SELECT minute, target FROM minute WHERE minute < ?1 ORDER BY minute LIMIT ?2)",
         "SELECT EXISTS(SELECT 1 FROM minute WHERE minute < ?1)",
         MinuteOf(NowMs - THistoryStore::AggregatesMs)},
        {"DELETE FROM hour WHERE (hour, target) IN "
         "(SELECT hour, target FROM hour WHERE hour < ?1 ORDER BY hour LIMIT ?2)",
         "SELECT EXISTS(SELECT 1 FROM hour WHERE hour < ?1)",
         HourOfMinute(MinuteOf(NowMs - THistoryStore::AggregatesMs))},
        {"DELETE FROM outage WHERE id IN (SELECT id FROM outage "
         "WHERE end_kind <> 0 AND end_to_ms < ?1 ORDER BY start_to_ms LIMIT ?2)",
         "SELECT EXISTS(SELECT 1 FROM outage WHERE end_kind <> 0 AND end_to_ms < ?1)",
         NowMs - THistoryStore::AggregatesMs},
        // The hops of outages gone, after them.
        {"DELETE FROM outage_hop WHERE outage IN (SELECT h.outage FROM outage_hop h "
         "LEFT JOIN outage o ON o.id = h.outage WHERE o.id IS NULL LIMIT ?2)",
         "SELECT EXISTS(SELECT 1 FROM outage_hop h LEFT JOIN outage o ON o.id = h.outage "
         "WHERE o.id IS NULL AND ?1 = ?1)",
         0},
        {"DELETE FROM period WHERE id IN (SELECT id FROM period "
         "WHERE start_ms < ?1 AND end_ms < ?1 ORDER BY start_ms LIMIT ?2)",
         "SELECT EXISTS(SELECT 1 FROM period WHERE start_ms < ?1 AND end_ms < ?1)",
         NowMs - THistoryStore::AggregatesMs},
    };
    int64_t Budget = MaxRows;
    More = false;
    for (const auto& Step : Steps) {
        int Rc = RunWith(Db, Step.Delete, Step.Cut, Budget);
        const int64_t Deleted = Rc == SQLITE_OK ? ::sqlite3_changes64(Db) : 0;
        if (Rc == SQLITE_OK && &Step == &Steps[0] && Deleted > 0) {
            // From now on, before RawCut only the aggregates are complete.
            Rc = RunWith(Db,
                         "INSERT INTO meta(key, value) VALUES('raw_from_ms', ?1) "
                         "ON CONFLICT(key) DO UPDATE SET value = max(value, excluded.value)",
                         RawCut);
        }
        if (Rc == SQLITE_OK) {
            Rc = AnyLeft(Db, Step.Left, Step.Cut, More);
        }
        if (Rc != SQLITE_OK) {
            return Rc;
        }
        Budget -= Deleted;
    }
    return SQLITE_OK;
}
