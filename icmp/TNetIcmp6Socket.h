// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// ICMPv6 sockets, raw or unprivileged datagram, made to read like a raw IPv4 socket: the
// kernel hands over the ICMPv6 message alone, so an IPv6 header with the source address
// and the hop limit is put in front of it; reports that the datagram socket's kernel files
// on the error queue come back as the unreachable or time-exceeded messages they were.
class TNetIcmp6Socket {
public:
    using TAddress = std::array<uint8_t, 16>;
    static constexpr int32_t IpHeaderSize = 40;

    // Raw: only echo replies and error messages pass the kernel's filter; hop limits asked for.
    static void PrepareRaw(TSocketId AId);
    // Datagram: hop limits, and ICMPv6 errors on the error queue.
    static void PrepareDatagram(TSocketId AId);
    // One datagram without blocking, the error queue first on a datagram socket. AStampNs,
    // when given, gets the kernel's receive stamp of what was returned.
    static std::optional<int32_t> Receive(TSocketId AId, std::span<uint8_t> AArea, bool AErrorQueue,
                                          std::optional<int64_t>* AStampNs = nullptr);

    // A message from ASource with AHopLimit behind a rebuilt header; returns the full length.
    static int32_t SynthesizeReply(std::span<uint8_t> AArea, const TAddress& ASource,
                                   uint8_t AHopLimit, std::span<const uint8_t> AIcmp,
                                   std::size_t AIcmpLength);
    // An error message from AOffender quoting an IPv6 header and our request AQuoted.
    static int32_t SynthesizeError(std::span<uint8_t> AArea, const TAddress& AOffender,
                                   uint8_t AHopLimit, uint8_t AType, uint8_t ACode,
                                   std::span<const uint8_t> AQuoted);
};
