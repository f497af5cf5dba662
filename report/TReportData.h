// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "THistoryTypes.h"
#include "TOutage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class THistoryStore;

// What a report covers: one host as typed, over [FromMs, ToMs) in UTC ms.
struct TReportRequest {
    std::string Host;
    int64_t FromMs = 0;
    int64_t ToMs = 0;
    int64_t NowMs = 0; // an open period or outage lasts until now
};

// One row of the table: a local day, or an hour for ranges under two days.
struct TReportRow {
    int64_t FromMs = 0;
    int64_t ToMs = 0;
    THistoryColumn Figures;
};

struct TReportOutage {
    TOutage Outage;
    std::optional<TOutageTrace> Trace;
};

using TReportSpan = std::pair<int64_t, int64_t>;

// Everything a report shows, read from the history. The pings, the table and
// the plot come from the host's minute aggregates (full resolution only for a
// plot of a few hours), so median and p95 lie within one bucket's width.
struct TReportData {
    static constexpr int64_t HourlyBelowMs = 2LL * 24 * 60 * 60 * 1000;

    TReportRequest Request;
    std::vector<std::string> Addresses;
    THistoryColumn Total;
    // Monitored time is what the runs and bursts covered within the range (up
    // to now); the rest is shown, and left out of the availability.
    int64_t MonitoredMs = 0;
    std::vector<TReportSpan> Unmonitored;
    // Monitored time the host was down: its outages, each from the middle of
    // its start bracket to the middle of its end bracket.
    int64_t DownMs = 0;
    bool Hourly = false;
    std::vector<TReportRow> Rows;
    std::vector<TReportOutage> Outages; // oldest first
    std::vector<TOutage> SlowPeriods;   // oldest first
    std::vector<THistoryColumn> Plot;   // in time order; one ping each when from pings

    // The share of the monitored time the host answered, in percent; none
    // without monitored time.
    std::optional<double> AvailabilityPercent() const;
};

// None when the history holds no ping of the host within the range.
std::optional<TReportData> GatherReport(THistoryStore& Store, const TReportRequest& Request);

// The midpoints of an outage's brackets: when the report counts it down.
TReportSpan DownSpanOf(const TOutage& Outage, int64_t NowMs);
