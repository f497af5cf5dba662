// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TIcmpWire.h"
#include "TReplyStatus.h"

#include <cstddef>
#include <cstdint>
#include <span>

// The ICMPv6 echo formats as pure functions over byte areas. An area holds what a raw IPv4
// socket would give: the 40-byte IPv6 header (rebuilt by the receiver from the source
// address and hop limit) in front of the ICMPv6 message.
class TIcmp6Wire {
public:
    static constexpr std::size_t HeaderSize = 40;
    static constexpr uint8_t EchoRequest = 128;
    static constexpr uint8_t EchoReply = 129;
    static constexpr uint8_t Unreachable = 1;
    static constexpr uint8_t PacketTooBig = 2;
    static constexpr uint8_t TimeExceeded = 3;
    static constexpr uint8_t ParameterProblem = 4;
    static constexpr uint8_t NextHeaderIcmp6 = 58;

    // Turns a request built by TIcmpWire into the ICMPv6 one: same layout, its own type,
    // and a zero checksum, since the kernel computes it over the IPv6 pseudo-header.
    static void ToEchoRequest(std::span<uint8_t, TIcmpWire::AreaSize> AEchoBuffer);

    // As TIcmpWire::DecodeReply, behind the rebuilt header.
    static bool DecodeReply(std::span<const uint8_t, TIcmpWire::AreaSize> AArea, int32_t AN,
                            const TProbeMatch::TEcho& AEcho, TReplyStatus& AStatus);
    static void SetTimedOut(TReplyStatus& AStatus, uint16_t ASequence);
};
