#include "TNetClock.h"

#include <ctime>

namespace {
TNetClock::TSource& Source() {
    static TNetClock::TSource Installed;
    return Installed;
}
} // namespace

uint32_t TNetClock::TickCount() {
    if (Source()) {
        return Source()();
    }
    timespec Now{};
    clock_gettime(CLOCK_MONOTONIC, &Now);
    const uint64_t Ms =
        static_cast<uint64_t>(Now.tv_sec) * 1000u + static_cast<uint64_t>(Now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(Ms);
}

uint32_t TNetClock::TickDiff(uint32_t AEarlier, uint32_t ALater) {
    if (ALater >= AEarlier) {
        return ALater - AEarlier;
    }
    return ALater + (4294967295u - AEarlier);
}

void TNetClock::SetSource(TSource ASource) {
    Source() = std::move(ASource);
}
