// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HistoryBuckets.h"
#include "THistoryTypes.h"

#include <cstdint>
#include <vector>

// Minute aggregates added together: what a column or a summary beyond full
// resolution is made of. Sums in long double, since a year of squares passes 64 bits.
struct THistoryTally {
    int64_t Count = 0;
    int64_t Lost = 0;
    int64_t MinUs = 0;
    int64_t MaxUs = 0;
    long double SumUs = 0;
    long double SumSqUs = 0;
    THistoryBuckets Buckets{};

    void Add(const THistoryMinute& Minute);
};

// Exact figures of the answered round trips RoundTrips (reordered) among Count
// pings: count, lost, min, max, median and p95 by nearest rank.
void FillColumn(THistoryColumn& Column, std::vector<int64_t>& RoundTrips, int64_t Count);
// The same from aggregates: median and p95 from the buckets, so not exact.
void FillColumn(THistoryColumn& Column, const THistoryTally& Tally);

// Exact summary of RoundTrips, given in storage order (jitter follows it),
// among Count pings.
THistorySummary SummaryOf(std::vector<int64_t>& RoundTrips, int64_t Count);
// Summary from aggregates: no jitter, median and p95 from the buckets.
THistorySummary SummaryOf(const THistoryTally& Tally);
