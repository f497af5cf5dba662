// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// Log-scale buckets of round trips, kept with every minute aggregate so that
// median and p95 survive once the pings themselves are pruned. Bucket 0 holds
// [0, 100 us); bucket k (1..22) holds [E[k-1], E[k]) with E[k] = 100 us *
// 2^(2k/3) rounded, a fixed ratio of 2^(2/3) (about 1.587) from one edge to
// the next; bucket 23 holds 2.6 s and above. A quantile read from them lies in
// the bucket of the true value, so it is off by less than that bucket's width.
inline constexpr int HistoryBucketCount = 24;
using THistoryBuckets = std::array<int64_t, HistoryBucketCount>;

inline constexpr std::array<int64_t, HistoryBucketCount - 1> HistoryBucketEdges = {
    100,   159,   252,   400,    635,    1008,   1600,   2540,   4032,    6400,    10159,  16127,
    25600, 40637, 64508, 102400, 162550, 258032, 409600, 650199, 1032127, 1638400, 2600798};

// The bucket of a round trip in microseconds (negative ones count as 0).
int HistoryBucketOf(int64_t RoundTripUs);

// What some pings of one target add to one aggregate row (a minute's or an hour's).
struct THistoryGroup {
    int64_t Count = 0, Lost = 0, SumUs = 0, SumSqUs = 0;
    std::optional<int64_t> MinUs, MaxUs; // of the answered ones
    THistoryBuckets Buckets{};

    // One ping; no round trip: lost.
    void Add(const std::optional<int64_t>& RoundTripUs);
};
// Smallest round trip of a bucket, and the first one past it (INT64_MAX for the last).
int64_t HistoryBucketLow(int Bucket);
int64_t HistoryBucketEnd(int Bucket);

// The 1-based rank of the Percent quantile among Count values, by nearest rank:
// the smallest value with at least Percent % of the values at or below it.
int64_t NearestRank(int64_t Count, int Percent);

// The value of nearest rank Rank among the round trips counted in Buckets,
// estimated inside its bucket and inside [MinUs, MaxUs]; 0 when Rank is outside.
int64_t BucketQuantile(const THistoryBuckets& Buckets, int64_t Rank, int64_t MinUs, int64_t MaxUs);

// The exact value of nearest rank Rank (1-based) of Values, which it reorders.
int64_t ExactQuantile(std::vector<int64_t>& Values, int64_t Rank);
