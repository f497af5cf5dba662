// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryStats.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>

void THistoryTally::Add(const THistoryMinute& Minute) {
    const bool HadAnswers = Count > Lost;
    Count += Minute.Count;
    Lost += Minute.Lost;
    if (Minute.Count > Minute.Lost) {
        MinUs = HadAnswers ? std::min(MinUs, Minute.MinUs) : Minute.MinUs;
        MaxUs = HadAnswers ? std::max(MaxUs, Minute.MaxUs) : Minute.MaxUs;
    }
    SumUs += static_cast<long double>(Minute.SumUs);
    SumSqUs += static_cast<long double>(Minute.SumSqUs);
    for (size_t B = 0; B < Buckets.size(); ++B) {
        Buckets[B] += Minute.Buckets[B];
    }
}

void FillColumn(THistoryColumn& Column, std::vector<int64_t>& RoundTrips, int64_t Count) {
    const int64_t Answered = std::ssize(RoundTrips);
    Column.Count = Count;
    Column.Lost = Count - Answered;
    Column.Exact = true;
    if (Answered == 0) {
        return;
    }
    const auto [Min, Max] = std::minmax_element(RoundTrips.begin(), RoundTrips.end());
    Column.MinUs = *Min;
    Column.MaxUs = *Max;
    Column.MedianUs = ExactQuantile(RoundTrips, NearestRank(Answered, 50));
    Column.P95Us = ExactQuantile(RoundTrips, NearestRank(Answered, 95));
}

void FillColumn(THistoryColumn& Column, const THistoryTally& Tally) {
    const int64_t Answered = Tally.Count - Tally.Lost;
    Column.Count = Tally.Count;
    Column.Lost = Tally.Lost;
    Column.Exact = false;
    if (Answered <= 0) {
        return;
    }
    Column.MinUs = Tally.MinUs;
    Column.MaxUs = Tally.MaxUs;
    Column.MedianUs =
        BucketQuantile(Tally.Buckets, NearestRank(Answered, 50), Tally.MinUs, Tally.MaxUs);
    Column.P95Us =
        BucketQuantile(Tally.Buckets, NearestRank(Answered, 95), Tally.MinUs, Tally.MaxUs);
}

THistorySummary SummaryOf(std::vector<int64_t>& RoundTrips, int64_t Count) {
    THistorySummary Summary;
    const int64_t Answered = std::ssize(RoundTrips);
    Summary.Count = Count;
    Summary.Lost = Count - Answered;
    if (Answered == 0) {
        return Summary;
    }
    if (Answered > 1) {
        long double Steps = 0;
        for (size_t I = 1; I < RoundTrips.size(); ++I) {
            Steps += static_cast<long double>(std::llabs(RoundTrips[I] - RoundTrips[I - 1]));
        }
        Summary.JitterUs = static_cast<double>(Steps / static_cast<long double>(Answered - 1));
    }
    const long double Sum = std::accumulate(RoundTrips.begin(), RoundTrips.end(), 0.0L);
    const long double Mean = Sum / static_cast<long double>(Answered);
    long double Squares = 0;
    for (const int64_t Value : RoundTrips) {
        const long double Step = static_cast<long double>(Value) - Mean;
        Squares += Step * Step;
    }
    Summary.MeanUs = static_cast<double>(Mean);
    Summary.StdDevUs = static_cast<double>(std::sqrt(Squares / static_cast<long double>(Answered)));
    THistoryColumn Column;
    FillColumn(Column, RoundTrips, Count);
    Summary.MinUs = Column.MinUs;
    Summary.MaxUs = Column.MaxUs;
    Summary.MedianUs = Column.MedianUs;
    Summary.P95Us = Column.P95Us;
    return Summary;
}

THistorySummary SummaryOf(const THistoryTally& Tally) {
    THistorySummary Summary;
    THistoryColumn Column;
    FillColumn(Column, Tally);
    Summary.Count = Tally.Count;
    Summary.Lost = Tally.Lost;
    Summary.Exact = false;
    const int64_t Answered = Tally.Count - Tally.Lost;
    if (Answered <= 0) {
        return Summary;
    }
    const long double N = static_cast<long double>(Answered);
    const long double Mean = Tally.SumUs / N;
    Summary.MeanUs = static_cast<double>(Mean);
    Summary.StdDevUs =
        static_cast<double>(std::sqrt(std::max(0.0L, Tally.SumSqUs / N - Mean * Mean)));
    Summary.MinUs = Column.MinUs;
    Summary.MaxUs = Column.MaxUs;
    Summary.MedianUs = Column.MedianUs;
    Summary.P95Us = Column.P95Us;
    return Summary;
}
