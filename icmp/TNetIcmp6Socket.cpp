// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetIcmp6Socket.h"

#include "TIcmp6Wire.h"
#include "TNetMessage.h"
#include "TNetReceiveStamp.h"
#include "TNetStack.h"

#include <algorithm>
#include <cstring>
#include <linux/errqueue.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

constexpr int MaxQueuedErrors = 16;
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

void TNetIcmp6Socket::PrepareRaw(TSocketId AId) {
    // Without the filter every echo request on the machine, every neighbour solicitation
    // and router advertisement would wake the wait; the decoder would drop them all anyway.
    icmp6_filter Filter{};
    ICMP6_FILTER_SETBLOCKALL(&Filter);
    for (const uint8_t Type :
         {TIcmp6Wire::EchoReply, TIcmp6Wire::Unreachable, TIcmp6Wire::PacketTooBig,
          TIcmp6Wire::TimeExceeded, TIcmp6Wire::ParameterProblem}) {
        ICMP6_FILTER_SETPASS(Type, &Filter);
    }
    GlobalStack->SetOption(
        AId, IPPROTO_ICMPV6, ICMP6_FILTER,
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(&Filter), sizeof(Filter)));
    GlobalStack->SetIntOption(AId, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, 1);
}

void TNetIcmp6Socket::PrepareDatagram(TSocketId AId) {
    GlobalStack->SetIntOption(AId, IPPROTO_IPV6, IPV6_RECVERR, 1);
    GlobalStack->SetIntOption(AId, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, 1);
}

int32_t TNetIcmp6Socket::SynthesizeReply(std::span<uint8_t> AArea, const TAddress& ASource,
                                         uint8_t AHopLimit, std::span<const uint8_t> AIcmp,
                                         std::size_t AIcmpLength) {
    WriteIpHeader(AArea, AIcmpLength, AHopLimit, ASource);
    TNetMessage::CopyInto(AArea, IpHeaderSize, AIcmp.first(std::min(AIcmp.size(), AIcmpLength)));
    return static_cast<int32_t>(IpHeaderSize + AIcmpLength);
}

int32_t TNetIcmp6Socket::SynthesizeError(std::span<uint8_t> AArea, const TAddress& AOffender,
                                         uint8_t AHopLimit, uint8_t AType, uint8_t ACode,
                                         std::span<const uint8_t> AQuoted) {
    const std::size_t Payload = IcmpHeaderSize + IpHeaderSize + AQuoted.size();
    WriteIpHeader(AArea, Payload, AHopLimit, AOffender);
    const std::array<uint8_t, IcmpHeaderSize> Icmp{AType, ACode, 0, 0, 0, 0, 0, 0};
    TNetMessage::CopyInto(AArea, IpHeaderSize, Icmp);
    // The quoted header's addresses are not known here and not read; its next header is.
    const std::size_t QuotedAt = IpHeaderSize + IcmpHeaderSize;
    if (QuotedAt < AArea.size()) {
        WriteIpHeader(AArea.subspan(QuotedAt), AQuoted.size(), 1, TAddress{});
    }
    TNetMessage::CopyInto(AArea, QuotedAt + IpHeaderSize, AQuoted);
    return static_cast<int32_t>(IpHeaderSize + Payload);
}

std::optional<int32_t> TNetIcmp6Socket::Receive(TSocketId AId, std::span<uint8_t> AArea,
                                                bool AErrorQueue,
                                                std::optional<int64_t>* AStampNs) {
    std::array<uint8_t, 2048> Payload{};
    alignas(cmsghdr) std::array<uint8_t, 512> Control{};
    sockaddr_in6 From{};
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

    for (int I = 0; AErrorQueue && I < MaxQueuedErrors; ++I) {
        msghdr Msg = Reset();
        const auto N = TNetMessage::Receive(AId, Msg, MSG_ERRQUEUE);
        if (!N) {
            break;
        }
        const auto C = ReadNetControl<sockaddr_in6, &sockaddr_in6::sin6_addr>(
            Msg, IPPROTO_IPV6, IPV6_HOPLIMIT, IPV6_RECVERR);
        if (!C.Error || C.Error->ee_origin != SO_EE_ORIGIN_ICMP6) {
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
    const auto C = ReadNetControl<sockaddr_in6, &sockaddr_in6::sin6_addr>(
        Msg, IPPROTO_IPV6, IPV6_HOPLIMIT, IPV6_RECVERR);
    if (AStampNs != nullptr) {
        *AStampNs = C.Stamp;
    }
    TAddress Source{};
    std::memcpy(Source.data(), &From.sin6_addr, 16);
    return SynthesizeReply(AArea, Source, C.Ttl.value_or(0), Payload, static_cast<std::size_t>(*N));
}
