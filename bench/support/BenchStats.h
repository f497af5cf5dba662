// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

// The summaries every round-trip benchmark prints: NaN where nothing was measured, so an
// empty row reads as missing rather than as zero.
namespace zirko::bench {

inline double Median(std::vector<double> AValues) {
    if (AValues.empty()) {
        return NAN;
    }
    std::sort(AValues.begin(), AValues.end());
    const std::size_t M = AValues.size() / 2;
    return AValues.size() % 2 ? AValues[M] : (AValues[M - 1] + AValues[M]) / 2;
}

inline double Max(const std::vector<double>& AValues) {
    return AValues.empty() ? NAN : *std::max_element(AValues.begin(), AValues.end());
}

} // namespace zirko::bench
