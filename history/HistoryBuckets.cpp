// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryBuckets.h"

#include <algorithm>
#include <cmath>
#include <limits>

int HistoryBucketOf(int64_t RoundTripUs) {
    const auto Upper =
        std::upper_bound(HistoryBucketEdges.begin(), HistoryBucketEdges.end(), RoundTripUs);
    return static_cast<int>(Upper - HistoryBucketEdges.begin());
}

int64_t HistoryBucketLow(int Bucket) {
    return Bucket <= 0 ? 0 : HistoryBucketEdges[static_cast<size_t>(Bucket - 1)];
}

int64_t HistoryBucketEnd(int Bucket) {
    return Bucket >= HistoryBucketCount - 1 ? std::numeric_limits<int64_t>::max()
                                            : HistoryBucketEdges[static_cast<size_t>(Bucket)];
}

int64_t NearestRank(int64_t Count, int Percent) {
    if (Count <= 0) {
        return 0;
    }
    return std::max<int64_t>(1, (Count * Percent + 99) / 100);
}

int64_t BucketQuantile(const THistoryBuckets& Buckets, int64_t Rank, int64_t MinUs, int64_t MaxUs) {
    int64_t Below = 0;
    for (int B = 0; B < HistoryBucketCount && Rank > 0; ++B) {
        Below += Buckets[static_cast<size_t>(B)];
        if (Below < Rank) {
            continue;
        }
        // The true value lies in this bucket and between the extremes: so does
        // the geometric middle of what is left of the bucket.
        const int64_t Low = std::max(HistoryBucketLow(B), MinUs);
        const int64_t High = std::min(HistoryBucketEnd(B) - 1, MaxUs);
        if (High <= Low) {
            return Low;
        }
        const double Middle =
            std::sqrt(static_cast<double>(std::max<int64_t>(Low, 1)) * static_cast<double>(High));
        return std::clamp(std::llround(Middle), static_cast<long long>(Low),
                          static_cast<long long>(High));
    }
    return 0;
}

int64_t ExactQuantile(std::vector<int64_t>& Values, int64_t Rank) {
    if (Values.empty() || Rank <= 0) {
        return 0;
    }
    const auto At = Values.begin() + std::min<int64_t>(Rank, std::ssize(Values)) - 1;
    std::nth_element(Values.begin(), At, Values.end());
    return *At;
}

void THistoryGroup::Add(const std::optional<int64_t>& RoundTripUs) {
    ++Count;
    if (!RoundTripUs) {
        ++Lost;
        return;
    }
    const int64_t Us = *RoundTripUs;
    MinUs = MinUs ? std::min(*MinUs, Us) : Us;
    MaxUs = MaxUs ? std::max(*MaxUs, Us) : Us;
    SumUs += Us;
    SumSqUs += Us * Us;
    ++Buckets[static_cast<std::size_t>(HistoryBucketOf(Us))];
}
