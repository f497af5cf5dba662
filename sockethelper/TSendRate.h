// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The pace an ordinary user's ping is held to: one request every 2 ms on average, with at most
// three sent back to back. Time is the caller's monotonic reading in nanoseconds.
class TSendRate {
public:
    static constexpr int64_t IntervalNs = 2000000;
    static constexpr int64_t Burst = 3;

    // Takes one send from the allowance; false when none is left at ANowNs.
    bool Take(int64_t ANowNs);

private:
    // The moment the allowance is full again; sends move it on by one interval each.
    int64_t FFullAtNs = 0;
};
