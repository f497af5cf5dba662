// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The round trips of a series of answers, in arrival order: last, mean, best, worst, the
// standard deviation (of the whole series, not of a sample of it) and the jitter, the mean
// absolute difference between consecutive answers. Kept as running sums, so a trace of days
// costs no more than one of a minute.
class TRttSeries {
public:
    void Add(double AMs);

    int Count() const { return FCount; }
    // All 0 while the series is empty; the jitter stays 0 until a second answer.
    double Last() const { return FLast; }
    double Mean() const { return FMean; }
    double Best() const { return FBest; }
    double Worst() const { return FWorst; }
    double StdDev() const;
    double Jitter() const;

private:
    int FCount = 0;
    double FLast = 0;
    double FMean = 0;
    double FSquares = 0; // of the differences from the running mean (Welford)
    double FBest = 0;
    double FWorst = 0;
    double FSteps = 0; // absolute differences between consecutive answers
};
