// SPDX-License-Identifier: GPL-3.0-or-later
// The store's reads: empty results when the store is not available, and a
// failure read from the file closes it as a write's would.
#include "THistoryStore.h"
#include "TSqlStatement.h"

#include <sqlite3.h>

#include <algorithm>

std::optional<THistoryExtent> THistoryStore::Extent(THistoryScope Scope) {
    std::optional<THistoryExtent> Out;
    if (Available() && !Check(FReader->SetScope(Scope).Extent(Out))) {
        Out.reset();
    }
    return Out;
}

std::vector<THistoryPing> THistoryStore::Pings(int64_t FromMs, int64_t ToMs,
                                               THistoryScope Scope) {
    std::vector<THistoryPing> Out;
    if (Available() && !Check(FReader->SetScope(Scope).Pings(FromMs, ToMs, Out))) {
        Out.clear();
    }
    return Out;
}

std::vector<THistoryColumn> THistoryStore::Series(int64_t FromMs, int64_t ToMs, int Columns,
                                                  THistoryScope Scope) {
    std::vector<THistoryColumn> Out;
    if (Available() && !Check(FReader->SetScope(Scope).Series(
                           ClampStamp(FromMs), ClampStamp(ToMs), std::min(Columns, MaxColumns), Out))) {
        Out.clear();
    }
    return Out;
}

std::vector<THistoryPeriod> THistoryStore::Periods(int64_t FromMs, int64_t ToMs,
                                                   THistoryScope Scope) {
    std::vector<THistoryPeriod> Out;
    if (Available() && !Check(FReader->SetScope(Scope).Periods(
                           ClampStamp(FromMs), ClampStamp(ToMs), FLongestPeriodMs, Out))) {
        Out.clear();
    }
    return Out;
}

THistorySummary THistoryStore::Summary(int64_t FromMs, int64_t ToMs, THistoryScope Scope) {
    THistorySummary Out;
    if (Available() &&
        !Check(FReader->SetScope(Scope).Summary(ClampStamp(FromMs), ClampStamp(ToMs), Out))) {
        Out = {};
    }
    return Out;
}

std::optional<TOutageTrace> THistoryStore::OutageTrace(int64_t Id) {
    std::optional<TOutageTrace> Out;
    if (Available() && !Check(FOutages->ReadTrace(Id, Out))) {
        Out.reset();
    }
    return Out;
}

std::vector<TOutage> THistoryStore::Outages(int64_t FromMs, int64_t ToMs) {
    std::vector<TOutage> Out;
    if (Available() && !Check(FOutages->Read(ClampStamp(FromMs), ClampStamp(ToMs), Out))) {
        Out.clear();
    }
    return Out;
}

std::vector<THistoryMinute> THistoryStore::Minutes(int64_t FromMs, int64_t ToMs) {
    std::vector<THistoryMinute> Out;
    if (Available() && !Check(FReader->Minutes(ClampStamp(FromMs), ClampStamp(ToMs), Out))) {
        Out.clear();
    }
    return Out;
}

std::vector<std::string> THistoryStore::Hosts() {
    std::vector<std::string> Out;
    if (!Available()) {
        return Out;
    }
    // Asked rarely (the host field's completions), so prepared on each call.
    TSqlStatement Read;
    int Rc = Read.Prepare(FDb.get(), "SELECT DISTINCT host FROM target ORDER BY host");
    while (Rc == SQLITE_OK && (Rc = Read.Step()) == SQLITE_ROW) {
        Out.push_back(Read.Text(0));
        Rc = SQLITE_OK;
    }
    if (!Check(Rc == SQLITE_DONE ? SQLITE_OK : Rc)) {
        Out.clear();
    }
    return Out;
}
