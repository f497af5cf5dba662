// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

class TClock;

// One round trip: the steady clock and the stamp clock (the wall clock) read right before
// the request goes to the kernel.
class TNetRoundTrip {
public:
    static TNetRoundTrip Begin(const TClock& AClock);
    TNetRoundTrip(int64_t AMonotonicNs, int64_t AStampNs)
        : FMonotonicNs(AMonotonicNs), FStampNs(AStampNs), FOffsetNs(AStampNs - AMonotonicNs) {}

    // The same start, with the stamp clock read where the request really left (the helper's
    // reading right before its send, which lies after this process's own).
    TNetRoundTrip SentAt(int64_t AStampNs) const;

    // Whole milliseconds, truncated, to the reply's receive stamp. Without a stamp, or when
    // the stamp clock was stepped meanwhile, the monotonic span up to AMonotonicEndNs is the
    // answer. A step shows as a change in the offset between the two clocks, read again at
    // the end (AStampEndNs right after AMonotonicEndNs); both are slewed alike, so only a
    // step moves it.
    uint32_t Ms(std::optional<int64_t> AReplyStampNs, int64_t AMonotonicEndNs,
                int64_t AStampEndNs) const;
    // The same span in nanoseconds, never negative.
    int64_t Ns(std::optional<int64_t> AReplyStampNs, int64_t AMonotonicEndNs,
               int64_t AStampEndNs) const;

private:
    int64_t FMonotonicNs;
    int64_t FStampNs;
    int64_t FOffsetNs; // of this process's own two readings at the start
};
