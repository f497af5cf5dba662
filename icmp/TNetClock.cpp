// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetClock.h"

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
