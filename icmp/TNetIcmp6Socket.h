// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// What an ICMPv6 socket's reader, raw or datagram, puts in its area so that it reads like a
// raw IPv4 socket: the kernel hands over the ICMPv6 message alone, so an IPv6 header with
// the source address and the hop limit goes in front of it, and error-queue reports become
// the unreachable or time-exceeded messages they were.
class TNetIcmp6Socket {
public:
    using TAddress = std::array<uint8_t, 16>;
    static constexpr int32_t IpHeaderSize = 40;

    // A message from ASource with AHopLimit behind a rebuilt header; returns the full length.
    static int32_t SynthesizeReply(std::span<uint8_t> AArea, const TAddress& ASource,
                                   uint8_t AHopLimit, std::span<const uint8_t> AIcmp,
                                   std::size_t AIcmpLength);
    // An error message from AOffender quoting an IPv6 header to ADestination and our
    // request AQuoted.
    static int32_t SynthesizeError(std::span<uint8_t> AArea, const TAddress& AOffender,
                                   const TAddress& ADestination, uint8_t AHopLimit, uint8_t AType,
                                   uint8_t ACode, std::span<const uint8_t> AQuoted);
};
