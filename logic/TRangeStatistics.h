// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPingSample.h"

#include <QChar>
#include <QString>

#include <vector>

// What a range of pings says about the line: the round trips of the answered
// ones and how many were lost. Plain values in, plain values out.
struct TRangeSummary {
    int Pings = 0;
    int Lost = 0;
    double MinMs = 0.0;
    double MeanMs = 0.0;
    double MaxMs = 0.0;
    // Mean absolute difference between consecutive answered round trips.
    double JitterMs = 0.0;
    // By nearest rank; the deviation in its population form.
    double MedianMs = 0.0;
    double P95Ms = 0.0;
    double StdDevMs = 0.0;
    // A summary of minute aggregates knows no jitter, and its median and p95
    // lie within one bucket of the true ones.
    bool Exact = true;

    int Answered() const { return Pings - Lost; }
    bool HasRoundTrips() const { return Answered() > 0; }
    // Jitter needs two answered pings in their order.
    bool HasJitter() const { return Exact && Answered() > 1; }
    double LostPercentage() const { return Pings > 0 ? Lost * 100.0 / Pings : 0.0; }
};

// Folds samples one at a time, so any container and any part of it will do.
class TRangeAccumulator {
public:
    void Add(const TPingSample& Sample);
    TRangeSummary Result() const;

private:
    TRangeSummary FSummary;
    double FSumMs = 0.0;
    double FSumSquaresMs = 0.0;
    double FSumStepsMs = 0.0;
    double FPreviousMs = 0.0;
    // For the median and p95: 4 bytes an answer, a full history 400 kB.
    std::vector<uint32_t> FRoundTrips;
};

namespace TRangeStatistics {

template <typename TIterator> TRangeSummary Summarize(TIterator First, TIterator Last) {
    TRangeAccumulator Accumulator;
    for (; First != Last; ++First) {
        Accumulator.Add(*First);
    }
    return Accumulator.Result();
}

// Milliseconds with two decimals: "12,34" with a comma as separator.
QString FormatMs(double Ms, QChar DecimalSeparator);
// The captions under the plot; empty where the range has nothing to say.
QString MinCaption(const TRangeSummary& Summary, QChar DecimalSeparator);
QString MeanCaption(const TRangeSummary& Summary, QChar DecimalSeparator);
QString MaxCaption(const TRangeSummary& Summary, QChar DecimalSeparator);
QString JitterCaption(const TRangeSummary& Summary, QChar DecimalSeparator);
// "≈ 12,34" where the summary is not exact.
QString MedianCaption(const TRangeSummary& Summary, QChar DecimalSeparator);
QString P95Caption(const TRangeSummary& Summary, QChar DecimalSeparator);
QString StdDevCaption(const TRangeSummary& Summary, QChar DecimalSeparator);
// Count and percentage, "2 (3,33%)".
QString LostCaption(const TRangeSummary& Summary, QChar DecimalSeparator);
// The same answer in one sentence for a screen reader:
// "5 ping, min 1,00 ms, media 2,00 ms, max 3,00 ms, persi 0 (0,00%), mediana 2,00 ms,
// 95° percentile 3,00 ms, deviazione standard 0,63 ms"; empty without pings.
QString Description(const TRangeSummary& Summary, QChar DecimalSeparator);

} // namespace TRangeStatistics
