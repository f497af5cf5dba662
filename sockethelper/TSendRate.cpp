// SPDX-License-Identifier: GPL-3.0-or-later
#include "TSendRate.h"

#include <algorithm>

bool TSendRate::Take(int64_t ANowNs) {
    const int64_t Start = std::max(FFullAtNs, ANowNs);
    // Each send pushes the full moment one interval on; no more than Burst intervals ahead.
    if (Start + IntervalNs - ANowNs > Burst * IntervalNs) {
        return false;
    }
    FFullAtNs = Start + IntervalNs;
    return true;
}
