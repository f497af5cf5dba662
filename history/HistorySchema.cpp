// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistorySchema.h"

#include "HistoryBuckets.h"
#include "TSqlStatement.h"

#include <string>

namespace {

// target: host, address and family once, so a ping row holds a small number.
// ping: every ping; id only grows (AUTOINCREMENT: never reused, not after pruning
//   or clearing either), utc_ms follows the wall clock and may step back;
//   rtt_us is NULL for a lost ping.
// minute: per UTC minute and target, count, lost, the extremes and sums of the
//   answered round trips and their log-scale buckets b0..b23 (HistoryBuckets.h).
// period: runs, rests and bursts of the monitoring; end_ms NULL while open;
//   after_ping is the last ping id when it began, to close it after a crash.
// meta: raw_from_ms, the stamp from which no ping has been pruned.
constexpr const char* SchemaVersion1 = R"sql(
CREATE TABLE target(
  id INTEGER PRIMARY KEY,
  host TEXT NOT NULL,
  address TEXT NOT NULL,
  family INTEGER NOT NULL,
  UNIQUE(host, address, family));
CREATE TABLE ping(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  utc_ms INTEGER NOT NULL,
  target INTEGER NOT NULL,
  kind INTEGER NOT NULL,
  rtt_us INTEGER,
  ttl INTEGER NOT NULL,
  bytes INTEGER NOT NULL);
CREATE INDEX ping_utc ON ping(utc_ms);
CREATE TABLE minute(
  minute INTEGER NOT NULL,
  target INTEGER NOT NULL,
  count INTEGER NOT NULL,
  lost INTEGER NOT NULL,
  min_us INTEGER,
  max_us INTEGER,
  sum_us INTEGER NOT NULL,
  sumsq_us INTEGER NOT NULL,
  b0 INTEGER NOT NULL, b1 INTEGER NOT NULL, b2 INTEGER NOT NULL, b3 INTEGER NOT NULL,
  b4 INTEGER NOT NULL, b5 INTEGER NOT NULL, b6 INTEGER NOT NULL, b7 INTEGER NOT NULL,
  b8 INTEGER NOT NULL, b9 INTEGER NOT NULL, b10 INTEGER NOT NULL, b11 INTEGER NOT NULL,
  b12 INTEGER NOT NULL, b13 INTEGER NOT NULL, b14 INTEGER NOT NULL, b15 INTEGER NOT NULL,
  b16 INTEGER NOT NULL, b17 INTEGER NOT NULL, b18 INTEGER NOT NULL, b19 INTEGER NOT NULL,
  b20 INTEGER NOT NULL, b21 INTEGER NOT NULL, b22 INTEGER NOT NULL, b23 INTEGER NOT NULL,
  PRIMARY KEY(minute, target)) WITHOUT ROWID;
CREATE TABLE period(
  id INTEGER PRIMARY KEY,
  kind INTEGER NOT NULL,
  start_ms INTEGER NOT NULL,
  end_ms INTEGER,
  after_ping INTEGER NOT NULL);
CREATE INDEX period_start ON period(start_ms);
CREATE INDEX period_open ON period(id) WHERE end_ms IS NULL;
CREATE TABLE meta(key TEXT PRIMARY KEY, value INTEGER NOT NULL) WITHOUT ROWID;
)sql";

// hour: the minutes' aggregates summed per UTC hour, so a view of months reads
//   thousands of rows, not hundreds of thousands; filled from the minutes there are.
// outage: from the consecutive-loss alarm to the first answer (TOutage.h);
//   end_kind 0 while open, end_to_ms NULL then.
constexpr const char* SchemaVersion2 = R"sql(
CREATE TABLE hour(
  hour INTEGER NOT NULL,
  target INTEGER NOT NULL,
  count INTEGER NOT NULL,
  lost INTEGER NOT NULL,
  min_us INTEGER,
  max_us INTEGER,
  sum_us INTEGER NOT NULL,
  sumsq_us INTEGER NOT NULL,
  b0 INTEGER NOT NULL, b1 INTEGER NOT NULL, b2 INTEGER NOT NULL, b3 INTEGER NOT NULL,
  b4 INTEGER NOT NULL, b5 INTEGER NOT NULL, b6 INTEGER NOT NULL, b7 INTEGER NOT NULL,
  b8 INTEGER NOT NULL, b9 INTEGER NOT NULL, b10 INTEGER NOT NULL, b11 INTEGER NOT NULL,
  b12 INTEGER NOT NULL, b13 INTEGER NOT NULL, b14 INTEGER NOT NULL, b15 INTEGER NOT NULL,
  b16 INTEGER NOT NULL, b17 INTEGER NOT NULL, b18 INTEGER NOT NULL, b19 INTEGER NOT NULL,
  b20 INTEGER NOT NULL, b21 INTEGER NOT NULL, b22 INTEGER NOT NULL, b23 INTEGER NOT NULL,
  PRIMARY KEY(hour, target)) WITHOUT ROWID;
INSERT INTO hour SELECT
  CASE WHEN minute >= 0 THEN minute / 60 ELSE -((59 - minute) / 60) END AS h, target,
  sum(count), sum(lost), min(min_us), max(max_us), sum(sum_us), sum(sumsq_us),
  sum(b0), sum(b1), sum(b2), sum(b3), sum(b4), sum(b5), sum(b6), sum(b7), sum(b8), sum(b9),
  sum(b10), sum(b11), sum(b12), sum(b13), sum(b14), sum(b15), sum(b16), sum(b17), sum(b18),
  sum(b19), sum(b20), sum(b21), sum(b22), sum(b23)
  FROM minute GROUP BY h, target;
CREATE TABLE outage(
  id INTEGER PRIMARY KEY,
  host TEXT NOT NULL,
  start_from_ms INTEGER,
  start_to_ms INTEGER NOT NULL,
  end_from_ms INTEGER NOT NULL,
  end_to_ms INTEGER,
  end_kind INTEGER NOT NULL,
  lost INTEGER NOT NULL,
  duration_ms INTEGER NOT NULL,
  uncertainty_ms INTEGER NOT NULL);
CREATE INDEX outage_start ON outage(start_to_ms);
)sql";

// outage.path: the verdict of the short trace run when the outage began;
// outage_hop: that trace's hops, one row per hop and answering address.
constexpr const char* SchemaVersion3 = R"sql(
ALTER TABLE outage ADD COLUMN path TEXT;
CREATE TABLE outage_hop(
  outage INTEGER NOT NULL,
  hop INTEGER NOT NULL,
  address TEXT NOT NULL,
  sent INTEGER NOT NULL,
  received INTEGER NOT NULL,
  average_us INTEGER,
  worst_us INTEGER,
  PRIMARY KEY(outage, hop, address)) WITHOUT ROWID;
)sql";

// outage.kind: 0 the host did not answer, 1 it answered slowly (TOutageKind);
// a slow period keeps the same brackets, end, lost pings and duration.
constexpr const char* SchemaVersion4 = R"sql(
ALTER TABLE outage ADD COLUMN kind INTEGER NOT NULL DEFAULT 0;
)sql";

// target.listed, period.listed: 1 for the targets list, 0 for the Ping page, so each
// keeps its own pings and periods when both watch the same host. SQLite changes a
// UNIQUE constraint only by copying the table; the ids stay.
constexpr const char* SchemaVersion5 = R"sql(
CREATE TABLE target_v5(
  id INTEGER PRIMARY KEY,
  host TEXT NOT NULL,
  address TEXT NOT NULL,
  family INTEGER NOT NULL,
  listed INTEGER NOT NULL DEFAULT 0,
  UNIQUE(host, address, family, listed));
INSERT INTO target_v5(id, host, address, family) SELECT id, host, address, family FROM target;
DROP TABLE target;
ALTER TABLE target_v5 RENAME TO target;
ALTER TABLE period ADD COLUMN listed INTEGER NOT NULL DEFAULT 0;
)sql";

constexpr THistoryMigration Migrations[] = {
    {1, SchemaVersion1},
    {2, SchemaVersion2},
    {3, SchemaVersion3},
    {4, SchemaVersion4},
    {5, SchemaVersion5},
};

int ApplyStep(sqlite3* Db, const THistoryMigration& Step) {
    int Rc = SqlExec(Db, "BEGIN IMMEDIATE");
    if (Rc != SQLITE_OK) {
        return Rc;
    }
    Rc = SqlExec(Db, Step.Sql);
    if (Rc == SQLITE_OK) {
        Rc = SqlExec(Db, ("PRAGMA user_version = " + std::to_string(Step.ToVersion)).c_str());
    }
    if (Rc == SQLITE_OK) {
        Rc = SqlExec(Db, "COMMIT");
    }
    if (Rc != SQLITE_OK && !::sqlite3_get_autocommit(Db)) {
        SqlExec(Db, "ROLLBACK");
    }
    return Rc;
}

} // namespace

std::string AddToAggregateSql(const char* Table) {
    std::string Names, Values, Sums;
    for (int B = 0; B < HistoryBucketCount; ++B) {
        const std::string Name = "b" + std::to_string(B);
        Names += ", " + Name;
        Values += ", ?4 = " + std::to_string(B);
        Sums += ", " + Name + " = " + Name + " + excluded." + Name;
    }
    const std::string Key = Table;
    return "INSERT INTO " + Key + "(" + Key +
           ", target, count, lost, min_us, max_us, sum_us, sumsq_us" + Names +
           ") VALUES(?1, ?2, 1, ?3 IS NULL, ?3, ?3, coalesce(?3, 0), coalesce(?3 * ?3, 0)" +
           Values + ") ON CONFLICT(" + Key +
           ", target) DO UPDATE SET count = count + 1, "
           "lost = lost + excluded.lost, "
           "min_us = coalesce(min(min_us, excluded.min_us), min_us, excluded.min_us), "
           "max_us = coalesce(max(max_us, excluded.max_us), max_us, excluded.max_us), "
           "sum_us = sum_us + excluded.sum_us, sumsq_us = sumsq_us + excluded.sumsq_us" +
           Sums;
}

std::string AddGroupToAggregateSql(const char* Table) {
    std::string Names, Values, Sums;
    for (int B = 0; B < HistoryBucketCount; ++B) {
        const std::string Name = "b" + std::to_string(B);
        Names += ", " + Name;
        Values += ", ?" + std::to_string(9 + B);
        Sums += ", " + Name + " = " + Name + " + excluded." + Name;
    }
    const std::string Key = Table;
    return "INSERT INTO " + Key + "(" + Key +
           ", target, count, lost, min_us, max_us, sum_us, sumsq_us" + Names +
           ") VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8" + Values + ") ON CONFLICT(" + Key +
           ", target) DO UPDATE SET count = count + excluded.count, "
           "lost = lost + excluded.lost, "
           "min_us = coalesce(min(min_us, excluded.min_us), min_us, excluded.min_us), "
           "max_us = coalesce(max(max_us, excluded.max_us), max_us, excluded.max_us), "
           "sum_us = sum_us + excluded.sum_us, sumsq_us = sumsq_us + excluded.sumsq_us" +
           Sums;
}

std::span<const THistoryMigration> HistoryMigrations() {
    return Migrations;
}

int64_t HistorySchemaVersion() {
    return HistoryMigrations().back().ToVersion;
}

int ReadUserVersion(sqlite3* Db, int64_t& Version) {
    TSqlStatement Query;
    int Rc = Query.Prepare(Db, "PRAGMA user_version");
    if (Rc == SQLITE_OK) {
        Rc = Query.Step();
    }
    if (Rc != SQLITE_ROW) {
        return Rc == SQLITE_DONE ? SQLITE_CORRUPT : Rc;
    }
    Version = Query.Int(0);
    return SQLITE_OK;
}

int MigrateHistory(sqlite3* Db, std::span<const THistoryMigration> Steps) {
    int64_t Version = 0;
    int Rc = ReadUserVersion(Db, Version);
    for (const THistoryMigration& Step : Steps) {
        if (Rc != SQLITE_OK) {
            break;
        }
        if (Step.ToVersion > Version) {
            Rc = ApplyStep(Db, Step);
            Version = Step.ToVersion;
        }
    }
    return Rc;
}
