// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetIcmp6Socket.h"

#include "TIcmp6Wire.h"
#include "TNetMessage.h"

#include <algorithm>
#include <cstring>
#include <netinet/in.h>

namespace {

constexpr std::size_t IcmpHeaderSize = 8;

void WriteIpHeader(std::span<uint8_t> AArea, std::size_t APayload, uint8_t AHopLimit,
                   const TNetIcmp6Socket::TAddress& ASource) {
    std::array<uint8_t, TNetIcmp6Socket::IpHeaderSize> H{};
    H[0] = 0x60;
    H[4] = static_cast<uint8_t>((APayload >> 8) & 0xFF);
    H[5] = static_cast<uint8_t>(APayload & 0xFF);
    H[6] = TIcmp6Wire::NextHeaderIcmp6;
    H[7] = AHopLimit;
    std::copy(ASource.begin(), ASource.end(), H.begin() + 8);
    std::copy_n(H.begin(), std::min(H.size(), AArea.size()), AArea.begin());
}

} // namespace

int32_t TNetIcmp6Socket::SynthesizeReply(std::span<uint8_t> AArea, const TAddress& ASource,
                                         uint8_t AHopLimit, std::span<const uint8_t> AIcmp,
                                         std::size_t AIcmpLength) {
    WriteIpHeader(AArea, AIcmpLength, AHopLimit, ASource);
    TNetMessage::CopyInto(AArea, IpHeaderSize, AIcmp.first(std::min(AIcmp.size(), AIcmpLength)));
    return static_cast<int32_t>(IpHeaderSize + AIcmpLength);
}

int32_t TNetIcmp6Socket::SynthesizeError(std::span<uint8_t> AArea, const TAddress& AOffender,
                                         const TAddress& ADestination, uint8_t AHopLimit,
                                         uint8_t AType, uint8_t ACode,
                                         std::span<const uint8_t> AQuoted) {
    const std::size_t Payload = IcmpHeaderSize + IpHeaderSize + AQuoted.size();
    WriteIpHeader(AArea, Payload, AHopLimit, AOffender);
    const std::array<uint8_t, IcmpHeaderSize> Icmp{AType, ACode, 0, 0, 0, 0, 0, 0};
    TNetMessage::CopyInto(AArea, IpHeaderSize, Icmp);
    // The kernel hands over the quoted message and where it went; readers check both.
    const std::size_t QuotedAt = IpHeaderSize + IcmpHeaderSize;
    if (QuotedAt < AArea.size()) {
        WriteIpHeader(AArea.subspan(QuotedAt), AQuoted.size(), 1, TAddress{});
    }
    TNetMessage::CopyInto(AArea, QuotedAt + 24, ADestination);
    TNetMessage::CopyInto(AArea, QuotedAt + IpHeaderSize, AQuoted);
    return static_cast<int32_t>(IpHeaderSize + Payload);
}
