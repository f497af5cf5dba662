// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <span>
#include <string>

// One step of the schema: the statements that take a file from ToVersion - 1
// to ToVersion. Steps are never edited once released; a new version is one
// more step at the end of the list.
struct THistoryMigration {
    int64_t ToVersion;
    const char* Sql;
};

// The steps from an empty file to the schema this program writes.
std::span<const THistoryMigration> HistoryMigrations();
// The version the last step leaves in PRAGMA user_version.
int64_t HistorySchemaVersion();

// The statement that adds one ping to its aggregate in Table, "minute" or "hour"
// (the first of the span inserts the row): ?1 minute or hour, ?2 target, ?3 round
// trip in us or NULL, ?4 its bucket or -1. Written from the bucket count, like the tables.
std::string AddToAggregateSql(const char* Table);
// The same for a group of pings of one target in one minute or hour: ?3 count, ?4 lost,
// ?5 min, ?6 max, ?7 sum, ?8 sum of squares, ?9 on each bucket's count.
std::string AddGroupToAggregateSql(const char* Table);

// The file's PRAGMA user_version; SQLITE_OK or the error.
int ReadUserVersion(sqlite3* Db, int64_t& Version);

// Applies every step past the file's version, each in a transaction of its own
// that also sets user_version, so a failure leaves the file at the last
// completed step. The caller refuses files newer than the last step first.
int MigrateHistory(sqlite3* Db, std::span<const THistoryMigration> Steps);
