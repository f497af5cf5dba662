#pragma once

#include <cstdint>
#include <functional>

// The 32-bit millisecond clock behind one seam, so tests can drive time by hand.
class TNetClock {
public:
    using TSource = std::function<uint32_t()>;

    // CLOCK_MONOTONIC in milliseconds, cut to 32 bits (or the installed source).
    static uint32_t TickCount();
    // Span between two readings, allowing for one wrap of the 32-bit clock.
    static uint32_t TickDiff(uint32_t AEarlier, uint32_t ALater);
    // An empty source restores the monotonic clock.
    static void SetSource(TSource ASource);
};
