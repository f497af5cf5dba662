// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// What an IPv4 ICMP datagram socket's reader puts in its area so that it reads like a raw
// socket: replies get an IPv4 header in front, and error-queue reports become the
// time-exceeded or unreachable datagrams a raw socket would have received.
class TNetPingSocket {
public:
    using TAddress = std::array<uint8_t, 4>;

    // A reply from ASource with ATtl around the ICMP message; returns the full length.
    static int32_t SynthesizeReply(std::span<uint8_t> AArea, const TAddress& ASource, uint8_t ATtl,
                                   std::span<const uint8_t> AIcmp, std::size_t AIcmpLength);
    // An ICMP error from AOffender quoting an IPv4 header to ADestination and our request
    // AQuoted.
    static int32_t SynthesizeError(std::span<uint8_t> AArea, const TAddress& AOffender,
                                   const TAddress& ADestination, uint8_t ATtl, uint8_t AType,
                                   uint8_t ACode, std::span<const uint8_t> AQuoted);

    static constexpr int32_t IpHeaderSize = 20;
};
