// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

enum TReplyStatusKind : uint8_t {
    skEchoReply = 0,
    skError,
    skTimedOut,
    skUnreachable,
    skTtlExceeded
};

// The outcome of one Ping.
struct TReplyStatus {
    int32_t ReplyBytes = 0;
    std::string FromAddress;
    uint8_t IcmpType = 0;
    uint16_t Sequence = 0;
    uint32_t RoundTripMs = 0;
    uint8_t ReplyTtl = 0;
    TReplyStatusKind Status = skEchoReply;
    // The same span in microseconds, as precise as the kernel's stamps make it.
    int64_t RoundTripUs = 0;

    bool operator==(const TReplyStatus&) const = default;
};
