// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetRoundTrip.h"

#include "TClock.h"

#include <algorithm>

namespace {
constexpr int64_t NsPerMs = 1000000;
// Two readings of the pair lie a few microseconds apart; more than this is a step.
constexpr int64_t StepNs = 200000;
} // namespace

TNetRoundTrip TNetRoundTrip::Begin(const TClock& AClock) {
    // Monotonic first: the stamp span then lies inside the monotonic one unless a step came.
    const int64_t Monotonic = AClock.SteadyNs();
    return {Monotonic, AClock.WallNs()};
}

TNetRoundTrip TNetRoundTrip::SentAt(int64_t AStampNs) const {
    TNetRoundTrip Moved = *this;
    Moved.FStampNs = AStampNs;
    return Moved;
}

uint32_t TNetRoundTrip::Ms(std::optional<int64_t> AReplyStampNs, int64_t AMonotonicEndNs,
                           int64_t AStampEndNs) const {
    const int64_t Span = Ns(AReplyStampNs, AMonotonicEndNs, AStampEndNs);
    return static_cast<uint32_t>(std::min<int64_t>(Span / NsPerMs, UINT32_MAX));
}

int64_t TNetRoundTrip::Ns(std::optional<int64_t> AReplyStampNs, int64_t AMonotonicEndNs,
                          int64_t AStampEndNs) const {
    const int64_t Monotonic = std::max<int64_t>(AMonotonicEndNs - FMonotonicNs, 0);
    int64_t Span = Monotonic;
    const int64_t Moved = (AStampEndNs - AMonotonicEndNs) - FOffsetNs;
    if (AReplyStampNs && Moved < StepNs && Moved > -StepNs) {
        const int64_t Stamped = *AReplyStampNs - FStampNs;
        if (Stamped >= 0 && Stamped <= Monotonic) {
            Span = Stamped;
        }
    }
    return Span;
}
