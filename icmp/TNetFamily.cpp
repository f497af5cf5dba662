// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetFamily.h"

#include "ENetExceptions.h"
#include "TIcmp6Wire.h"
#include "TNetIcmp6Socket.h"
#include "TNetPingSocket.h"
#include "TNetStack.h"

#include <algorithm>
#include <cstddef>
#include <linux/errqueue.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <tuple>

namespace {

template <std::size_t N> std::array<uint8_t, N> AddressAt(const uint8_t* ABytes) {
    std::array<uint8_t, N> Address{};
    std::copy_n(ABytes, N, Address.begin());
    return Address;
}

// The family's own header writers, given the address as the raw bytes a reader holds.
template <typename TSocket>
int32_t SynthesizeReply(TNetFamily::TArea AArea, const uint8_t* ASource, uint8_t AHopLimit,
                        std::span<const uint8_t> AIcmp, std::size_t AIcmpLength) {
    using TAddress = typename TSocket::TAddress;
    return TSocket::SynthesizeReply(AArea, AddressAt<std::tuple_size_v<TAddress>>(ASource),
                                    AHopLimit, AIcmp, AIcmpLength);
}

template <typename TSocket>
int32_t SynthesizeError(TNetFamily::TArea AArea, const uint8_t* AOffender,
                        const uint8_t* ADestination, uint8_t AHopLimit, uint8_t AType,
                        uint8_t ACode, std::span<const uint8_t> AQuoted) {
    using TAddress = typename TSocket::TAddress;
    constexpr std::size_t Size = std::tuple_size_v<TAddress>;
    return TSocket::SynthesizeError(AArea, AddressAt<Size>(AOffender),
                                    AddressAt<Size>(ADestination), AHopLimit, AType, ACode,
                                    AQuoted);
}

void NoChange(std::span<uint8_t, TIcmpWire::AreaSize>) {}
void NothingToPrepare(TNetStack&, TSocketId) {}

void PrepareRaw6(TNetStack& AStack, TSocketId AId) {
    // Without the filter every echo request on the machine, every neighbour solicitation
    // and router advertisement would wake the wait; the decoder would drop them all anyway.
    icmp6_filter Filter{};
    ICMP6_FILTER_SETBLOCKALL(&Filter);
    for (const uint8_t Type :
         {TIcmp6Wire::EchoReply, TIcmp6Wire::Unreachable, TIcmp6Wire::PacketTooBig,
          TIcmp6Wire::TimeExceeded, TIcmp6Wire::ParameterProblem}) {
        ICMP6_FILTER_SETPASS(Type, &Filter);
    }
    AStack.SetOption(
        AId, IPPROTO_ICMPV6, ICMP6_FILTER,
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(&Filter), sizeof(Filter)));
    AStack.SetIntOption(AId, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, 1);
}

bool Destination4(const std::string& AAddress, std::array<uint8_t, 16>& ABytes,
                  uint32_t& AScopeId) {
    const auto Address = TNetStack::TextToAddress(AAddress);
    std::copy(Address.begin(), Address.end(), ABytes.begin());
    AScopeId = 0;
    return true;
}

const TNetFamily IPv4{Id_IPv4,
                      AF_INET,
                      IPPROTO_ICMP,
                      IPPROTO_IP,
                      IP_TTL,
                      IP_RECVTTL,
                      IP_TTL,
                      IP_RECVERR,
                      SO_EE_ORIGIN_ICMP,
                      4,
                      offsetof(sockaddr_in, sin_addr),
                      true,
                      SynthesizeReply<TNetPingSocket>,
                      SynthesizeError<TNetPingSocket>,
                      TIcmpWire::DecodeReply,
                      TIcmpWire::SetTimedOut,
                      NoChange,
                      NothingToPrepare,
                      Destination4};

const TNetFamily IPv6{Id_IPv6,
                      AF_INET6,
                      IPPROTO_ICMPV6,
                      IPPROTO_IPV6,
                      IPV6_UNICAST_HOPS,
                      IPV6_RECVHOPLIMIT,
                      IPV6_HOPLIMIT,
                      IPV6_RECVERR,
                      SO_EE_ORIGIN_ICMP6,
                      16,
                      offsetof(sockaddr_in6, sin6_addr),
                      false,
                      SynthesizeReply<TNetIcmp6Socket>,
                      SynthesizeError<TNetIcmp6Socket>,
                      TIcmp6Wire::DecodeReply,
                      TIcmp6Wire::SetTimedOut,
                      TIcmp6Wire::ToEchoRequest,
                      PrepareRaw6,
                      TNetStack::Destination6};

} // namespace

const TNetFamily& TNetFamily::Of(TIPVersion AVersion) {
    switch (AVersion) {
    case Id_IPv4:
        return IPv4;
    case Id_IPv6:
        return IPv6;
    }
    throw ENetIPVersionUnsupported();
}

const TNetFamily& TNetFamily::OfAddress(std::string_view AAddress) {
    return Of(TNetStack::AddressIPVersion(AAddress));
}
