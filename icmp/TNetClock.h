// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>

// The 32-bit millisecond clock behind one seam, so tests can drive time by hand, and the
// two nanosecond clocks a round trip is measured with.
class TNetClock {
public:
    using TSource = std::function<uint32_t()>;
    using TStampSource = std::function<int64_t()>;

    // CLOCK_MONOTONIC in milliseconds, cut to 32 bits (or the installed source).
    static uint32_t TickCount();
    // Span between two readings, allowing for one wrap of the 32-bit clock.
    static uint32_t TickDiff(uint32_t AEarlier, uint32_t ALater);
    // An empty source restores the monotonic clock.
    static void SetSource(TSource ASource);

    // CLOCK_MONOTONIC in nanoseconds; with a tick source installed, its reading in ns.
    static int64_t MonotonicNs();
    // The clock of the kernel's receive stamps (CLOCK_REALTIME) in nanoseconds. It can be
    // stepped, so a span on it is only trusted when the monotonic clock agrees.
    static int64_t StampNs();
    // An empty source restores CLOCK_REALTIME.
    static void SetStampSource(TStampSource ASource);
};
