// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetPingSocket.h"

#include "TNetMessage.h"

#include <algorithm>
#include <cstring>
#include <netinet/in.h>

namespace {

constexpr std::size_t IcmpHeaderSize = 8;

void WriteIpHeader(std::span<uint8_t> AArea, std::size_t ATotal, uint8_t ATtl,
                   const TNetPingSocket::TAddress& ASource) {
    std::array<uint8_t, TNetPingSocket::IpHeaderSize> H{};
    H[0] = 0x45;
    H[2] = static_cast<uint8_t>((ATotal >> 8) & 0xFF);
    H[3] = static_cast<uint8_t>(ATotal & 0xFF);
    H[8] = ATtl;
    H[9] = IPPROTO_ICMP;
    std::copy(ASource.begin(), ASource.end(), H.begin() + 12);
    std::copy_n(H.begin(), std::min(H.size(), AArea.size()), AArea.begin());
}

} // namespace

int32_t TNetPingSocket::SynthesizeReply(std::span<uint8_t> AArea, const TAddress& ASource,
                                        uint8_t ATtl, std::span<const uint8_t> AIcmp,
                                        std::size_t AIcmpLength) {
    const std::size_t Total = IpHeaderSize + AIcmpLength;
    WriteIpHeader(AArea, Total, ATtl, ASource);
    TNetMessage::CopyInto(AArea, IpHeaderSize, AIcmp.first(std::min(AIcmp.size(), AIcmpLength)));
    return static_cast<int32_t>(Total);
}

int32_t TNetPingSocket::SynthesizeError(std::span<uint8_t> AArea, const TAddress& AOffender,
                                        const TAddress& ADestination, uint8_t ATtl, uint8_t AType,
                                        uint8_t ACode, std::span<const uint8_t> AQuoted) {
    const std::size_t QuotedTotal = IpHeaderSize + AQuoted.size();
    const std::size_t Total = IpHeaderSize + IcmpHeaderSize + QuotedTotal;
    WriteIpHeader(AArea, Total, ATtl, AOffender);
    const std::array<uint8_t, IcmpHeaderSize> Icmp{AType, ACode, 0, 0, 0, 0, 0, 0};
    TNetMessage::CopyInto(AArea, IpHeaderSize, Icmp);
    // The kernel hands over the quoted message and where it went, not the header around
    // it; its destination is what readers check, so the real one is written.
    const std::size_t QuotedAt = IpHeaderSize + IcmpHeaderSize;
    if (QuotedAt < AArea.size()) {
        WriteIpHeader(AArea.subspan(QuotedAt), QuotedTotal, 1, TAddress{});
    }
    TNetMessage::CopyInto(AArea, QuotedAt + 16, ADestination);
    TNetMessage::CopyInto(AArea, QuotedAt + IpHeaderSize, AQuoted);
    return static_cast<int32_t>(Total);
}
