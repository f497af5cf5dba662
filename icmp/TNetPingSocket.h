// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// The unprivileged ICMP datagram socket, made to read like a raw one: replies get an IPv4
// header in front, and reports that the kernel files on the error queue come back as the
// time-exceeded or unreachable datagrams a raw socket would have received.
class TNetPingSocket {
public:
    using TAddress = std::array<uint8_t, 4>;

    // Asks for the reply TTL and for ICMP errors on the error queue.
    static void Prepare(TSocketId AId);
    // Error queue first (a pending error keeps the socket readable), then one reply.
    // AStampNs, when given, gets the kernel's receive stamp of what was returned.
    static std::optional<int32_t> Receive(TSocketId AId, std::span<uint8_t> AArea,
                                          std::optional<int64_t>* AStampNs = nullptr);

    // A reply from ASource with ATtl around the ICMP message; returns the full length.
    static int32_t SynthesizeReply(std::span<uint8_t> AArea, const TAddress& ASource, uint8_t ATtl,
                                   std::span<const uint8_t> AIcmp, std::size_t AIcmpLength);
    // An ICMP error from AOffender quoting an IPv4 header and our request AQuoted.
    static int32_t SynthesizeError(std::span<uint8_t> AArea, const TAddress& AOffender,
                                   uint8_t ATtl, uint8_t AType, uint8_t ACode,
                                   std::span<const uint8_t> AQuoted);

    static constexpr int32_t IpHeaderSize = 20;
};
