// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetPingSocket.h"

#include "TNetMessage.h"
#include "TNetReceiveStamp.h"
#include "TNetStack.h"

#include <algorithm>
#include <cstring>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

constexpr int MaxQueuedErrors = 16;
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

void TNetPingSocket::Prepare(TSocketId AId) {
    GlobalStack->SetIntOption(AId, IPPROTO_IP, IP_RECVERR, 1);
    GlobalStack->SetIntOption(AId, IPPROTO_IP, IP_RECVTTL, 1);
}

int32_t TNetPingSocket::SynthesizeReply(std::span<uint8_t> AArea, const TAddress& ASource,
                                        uint8_t ATtl, std::span<const uint8_t> AIcmp,
                                        std::size_t AIcmpLength) {
    const std::size_t Total = IpHeaderSize + AIcmpLength;
    WriteIpHeader(AArea, Total, ATtl, ASource);
    TNetMessage::CopyInto(AArea, IpHeaderSize, AIcmp.first(std::min(AIcmp.size(), AIcmpLength)));
    return static_cast<int32_t>(Total);
}

int32_t TNetPingSocket::SynthesizeError(std::span<uint8_t> AArea, const TAddress& AOffender,
                                        uint8_t ATtl, uint8_t AType, uint8_t ACode,
                                        std::span<const uint8_t> AQuoted) {
    const std::size_t QuotedTotal = IpHeaderSize + AQuoted.size();
    const std::size_t Total = IpHeaderSize + IcmpHeaderSize + QuotedTotal;
    WriteIpHeader(AArea, Total, ATtl, AOffender);
    const std::array<uint8_t, IcmpHeaderSize> Icmp{AType, ACode, 0, 0, 0, 0, 0, 0};
    TNetMessage::CopyInto(AArea, IpHeaderSize, Icmp);
    // The quoted header only has to be as long as the outer one for the sequence to sit
    // where readers look for it; its addresses are not known here and not read.
    const std::size_t QuotedAt = IpHeaderSize + IcmpHeaderSize;
    if (QuotedAt < AArea.size()) {
        WriteIpHeader(AArea.subspan(QuotedAt), QuotedTotal, 1, TAddress{});
    }
    TNetMessage::CopyInto(AArea, QuotedAt + IpHeaderSize, AQuoted);
    return static_cast<int32_t>(Total);
}

std::optional<int32_t> TNetPingSocket::Receive(TSocketId AId, std::span<uint8_t> AArea,
                                               std::optional<int64_t>* AStampNs) {
    std::array<uint8_t, 2048> Payload{};
    alignas(cmsghdr) std::array<uint8_t, 512> Control{};
    sockaddr_in From{};
    iovec Io{Payload.data(), Payload.size()};
    auto Reset = [&] {
        msghdr Msg{};
        Msg.msg_name = &From;
        Msg.msg_namelen = sizeof(From);
        Msg.msg_iov = &Io;
        Msg.msg_iovlen = 1;
        Msg.msg_control = Control.data();
        Msg.msg_controllen = Control.size();
        return Msg;
    };

    for (int I = 0; I < MaxQueuedErrors; ++I) {
        msghdr Msg = Reset();
        const auto N = TNetMessage::Receive(AId, Msg, MSG_ERRQUEUE);
        if (!N) {
            break;
        }
        const auto C = ReadNetControl<sockaddr_in, &sockaddr_in::sin_addr>(Msg, IPPROTO_IP, IP_TTL,
                                                                           IP_RECVERR);
        if (!C.Error || C.Error->ee_origin != SO_EE_ORIGIN_ICMP) {
            continue; // a local error concerns no reply; drop it like a foreign datagram
        }
        if (AStampNs != nullptr) {
            *AStampNs = C.Stamp;
        }
        const auto Quoted = std::span<const uint8_t>(Payload).first(
            std::min<std::size_t>(static_cast<std::size_t>(*N), Payload.size()));
        return SynthesizeError(AArea, C.Offender, C.Ttl.value_or(0), C.Error->ee_type,
                               C.Error->ee_code, Quoted);
    }

    msghdr Msg = Reset();
    const auto N = TNetMessage::Receive(AId, Msg, 0);
    if (!N) {
        return std::nullopt;
    }
    const auto C =
        ReadNetControl<sockaddr_in, &sockaddr_in::sin_addr>(Msg, IPPROTO_IP, IP_TTL, IP_RECVERR);
    if (AStampNs != nullptr) {
        *AStampNs = C.Stamp;
    }
    TAddress Source{};
    std::memcpy(Source.data(), &From.sin_addr, 4);
    return SynthesizeReply(AArea, Source, C.Ttl.value_or(0), Payload, static_cast<std::size_t>(*N));
}
