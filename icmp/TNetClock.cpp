#include "TNetClock.h"

#include <algorithm>
#include <ctime>

namespace {
TNetClock::TSource& Source() {
    static TNetClock::TSource Installed;
    return Installed;
}

TNetClock::TStampSource& StampSource() {
    static TNetClock::TStampSource Installed;
    return Installed;
}

constexpr int64_t NsPerMs = 1000000;

int64_t ReadNs(clockid_t AClock) {
    timespec Now{};
    clock_gettime(AClock, &Now);
    return static_cast<int64_t>(Now.tv_sec) * 1000000000 + Now.tv_nsec;
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

int64_t TNetClock::MonotonicNs() {
    if (Source()) {
        return static_cast<int64_t>(Source()()) * NsPerMs;
    }
    return ReadNs(CLOCK_MONOTONIC);
}

int64_t TNetClock::StampNs() {
    if (StampSource()) {
        return StampSource()();
    }
    return ReadNs(CLOCK_REALTIME);
}

void TNetClock::SetStampSource(TStampSource ASource) {
    StampSource() = std::move(ASource);
}

TNetRoundTrip TNetRoundTrip::Begin() {
    // Monotonic first: the stamp span then lies inside the monotonic one unless a step came.
    const int64_t Monotonic = TNetClock::MonotonicNs();
    return {Monotonic, TNetClock::StampNs()};
}

uint32_t TNetRoundTrip::Ms(std::optional<int64_t> AReplyStampNs, int64_t AMonotonicEndNs) const {
    const int64_t Monotonic = std::max<int64_t>(AMonotonicEndNs - FMonotonicNs, 0);
    int64_t Span = Monotonic;
    if (AReplyStampNs) {
        const int64_t Stamped = *AReplyStampNs - FStampNs;
        if (Stamped >= 0 && Stamped <= Monotonic) {
            Span = Stamped;
        }
    }
    return static_cast<uint32_t>(std::min<int64_t>(Span / NsPerMs, UINT32_MAX));
}
