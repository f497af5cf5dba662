// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TIcmpWire.h"
#include "TProbeMatch.h"
#include "TReplyStatus.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

struct TNetFamily;

// What a received datagram says about one of many probes in flight, whose sequence number is
// not known in advance: the sequence it answers or quotes, and what the decoder of the
// synchronous ping makes of it with that sequence.
struct TNetProbeAnswer {
    uint16_t Sequence = 0;
    TReplyStatusKind Kind = skError;
    std::string From;
    uint8_t ReplyTtl = 0;
};

class TNetProbeWire {
public:
    // AArea holds what a raw socket gives (IPv6: behind the header the reader rebuilt). The
    // sequence of the probe the datagram may concern, to look that probe up by.
    static std::optional<uint16_t> Sequence(const TNetFamily& AFamily,
                                            std::span<const uint8_t, TIcmpWire::AreaSize> AArea,
                                            int32_t AN);
    // What the datagram says, when it answers the probe sent as AEcho.
    static std::optional<TNetProbeAnswer>
    Decode(const TNetFamily& AFamily, std::span<const uint8_t, TIcmpWire::AreaSize> AArea,
           int32_t AN, const TProbeMatch::TEcho& AEcho);
};
