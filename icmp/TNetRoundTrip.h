// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

// One round trip: both clocks read right before the request goes to the kernel.
class TNetRoundTrip {
public:
    static TNetRoundTrip Begin();
    TNetRoundTrip(int64_t AMonotonicNs, int64_t AStampNs)
        : FMonotonicNs(AMonotonicNs), FStampNs(AStampNs) {}

    // The same start, with the stamp clock read where the request really left (the helper's
    // reading right before its send, which lies after this process's own).
    TNetRoundTrip SentAt(int64_t AStampNs) const { return {FMonotonicNs, AStampNs}; }

    // Whole milliseconds, truncated, to the reply's receive stamp. Without a stamp, or when
    // the stamp clock was stepped meanwhile (the span is negative or longer than the
    // monotonic time that passed up to AMonotonicEndNs), the monotonic span is the answer.
    uint32_t Ms(std::optional<int64_t> AReplyStampNs, int64_t AMonotonicEndNs) const;

private:
    int64_t FMonotonicNs;
    int64_t FStampNs;
};
