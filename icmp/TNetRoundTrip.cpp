// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetRoundTrip.h"

#include "TNetClock.h"

#include <algorithm>

namespace {
constexpr int64_t NsPerMs = 1000000;
} // namespace

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
