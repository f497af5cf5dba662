// SPDX-License-Identifier: GPL-3.0-or-later
#include "TRttSeries.h"

#include <algorithm>
#include <cmath>

void TRttSeries::Add(double AMs) {
    if (FCount > 0) {
        FSteps += std::abs(AMs - FLast);
        FBest = std::min(FBest, AMs);
        FWorst = std::max(FWorst, AMs);
    } else {
        FBest = AMs;
        FWorst = AMs;
    }
    ++FCount;
    const double Delta = AMs - FMean;
    FMean += Delta / FCount;
    FSquares += Delta * (AMs - FMean);
    FLast = AMs;
}

double TRttSeries::StdDev() const {
    return FCount > 0 ? std::sqrt(std::max(FSquares, 0.0) / FCount) : 0;
}

double TRttSeries::Jitter() const {
    return FCount > 1 ? FSteps / (FCount - 1) : 0;
}
