// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The pace the helper holds an ordinary user to: 4,000 requests a second on average, at most
// 32 back to back. That carries 1,000 targets at one probe a second four times over (4,000 at
// one a second, or 1,000 at a quarter second), yet caps what the helper can be made to send at
// about 2.7 Mbit/s of 84-byte echoes: no flood for any host on a link worth monitoring, and
// less than the user's own TCP connections may send without any right. The burst absorbs an
// event loop that wakes every few milliseconds. Time is the caller's monotonic reading in
// nanoseconds.
class TSendRate {
public:
    static constexpr int64_t IntervalNs = 250000;
    static constexpr int64_t Burst = 32;

    // Takes one send from the allowance; false when none is left at ANowNs.
    bool Take(int64_t ANowNs);

private:
    // The moment the allowance is full again; sends move it on by one interval each.
    int64_t FFullAtNs = 0;
};
