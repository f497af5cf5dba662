// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TReplyStatus.h"

#include <cstdint>
#include <string>

// Which transport the probe engine sends over: the helper's raw sockets, the process's own
// raw socket, or the unprivileged ICMP datagram socket.
enum class TNetProbeTransport : uint8_t { None, Helper, Raw, Datagram };

// The end of one probe: answered, timed out, or not sent at all (skError, with the error
// code of the socket layer).
struct TNetProbeResult {
    std::string Address; // the destination, as queued
    uint32_t Round = 0;  // the caller's tag, as queued
    int Ttl = 0;
    TReplyStatusKind Kind = skTimedOut;
    std::string From; // empty unless answered
    uint8_t ReplyTtl = 0;
    int64_t RoundTripNs = 0; // answered only
    int32_t Bytes = 0;       // answered only: the answer's ICMP message
    int32_t ErrorCode = 0;   // skError only
};
