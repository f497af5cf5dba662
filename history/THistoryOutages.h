// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TOutage.h"
#include "TSqlStatement.h"

#include <cstdint>
#include <optional>
#include <vector>

// The outage table of an open history. Every call returns SQLITE_OK or the
// error; the store runs the writes in its transactions.
class THistoryOutages {
public:
    int Prepare(sqlite3* Db);
    // Stores a new outage and sets its Id.
    int Insert(TOutage& Outage);
    // Writes everything of the outage with Outage.Id but its host.
    int Update(const TOutage& Outage);
    // Those overlapping [FromMs, ToMs), an open one included, newest first.
    int Read(int64_t FromMs, int64_t ToMs, std::vector<TOutage>& Out);
    // Replaces the trace kept with outage Id; its verdict goes to the outage's path.
    int SetTrace(int64_t Id, const TOutageTrace& Trace);
    int ReadTrace(int64_t Id, std::optional<TOutageTrace>& Out);
    // An outage still open was open when Zirko ended without closing it: nobody
    // watched after its last lost ping, so its end is unknown, no recovery. The
    // lost pings kept after its row was last written are counted into it.
    static int CloseCrashed(sqlite3* Db);

private:
    void BindFigures(TSqlStatement& Statement, const TOutage& Outage);

    sqlite3* FDb = nullptr;
    TSqlStatement FInsert, FUpdate, FRead, FSetPath, FDropHops, FInsertHop, FReadHops;
};
