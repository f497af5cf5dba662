// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TProbeMatch.h"
#include "TReplyStatus.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// The echo request and reply formats as pure functions over byte areas.
class TIcmpWire {
public:
    static constexpr std::size_t AreaSize = 1024;
    static constexpr int32_t EchoSize = 52;
    static constexpr std::size_t PayloadSize = 32;

    // Writes the 52-byte request into the first bytes of AEchoBuffer (the rest untouched).
    static void BuildEchoRequest(std::span<uint8_t, AreaSize> AEchoBuffer, uint16_t AIdentifier,
                                 uint16_t ASequence, uint32_t ATimestamp,
                                 std::string_view APayload);
    // Internet checksum with words read least significant byte first, as the request stores it.
    static uint16_t Checksum(std::span<const uint8_t> ABytes);

    // Accepts (true) or drops (false) the N-byte datagram in AArea as the answer to AEcho, by
    // the rule of TProbeMatch; N = 0 is the timeout. N may exceed the area: such a datagram
    // cannot be ours and is dropped.
    static bool DecodeReply(std::span<const uint8_t, AreaSize> AArea, int32_t AN,
                            const TProbeMatch::TEcho& AEcho, TReplyStatus& AStatus);
    static void SetTimedOut(TReplyStatus& AStatus, uint16_t ASequence);
};
