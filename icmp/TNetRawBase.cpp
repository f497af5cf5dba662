// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetRawBase.h"

#include "TNetStack.h"

#include <algorithm>
#include <netinet/in.h>
#include <sys/socket.h>

TNetRawBase::TNetRawBase() : FBuffer(8192) {}

TNetRawBase::~TNetRawBase() {
    FSocket.ReleaseSocket();
}

void TNetRawBase::SetBufferSize(int32_t AValue) {
    FBuffer.assign(static_cast<std::size_t>(std::max(AValue, 0)), 0);
}

namespace {

// The TTL of IPv4 is the unicast hop limit of IPv6.
void ApplyTTL(const TNetSocketHandle& ASocket, int32_t ATTL) {
    if (ASocket.IPVersion() == Id_IPv6) {
        GlobalStack->SetIntOption(ASocket.Handle(), IPPROTO_IPV6, IPV6_UNICAST_HOPS, ATTL);
    } else {
        GlobalStack->SetIntOption(ASocket.Handle(), IPPROTO_IP, IP_TTL, ATTL);
    }
}

} // namespace

void TNetRawBase::SetHost(std::string AValue) {
    FHost = std::move(AValue);
    FSocket.SetIPVersion(TNetStack::IPv6Literal(FHost) ? Id_IPv6 : Id_IPv4);
}

void TNetRawBase::SetTTL(int32_t AValue) {
    FTTL = AValue;
    ApplyTTL(GetSocket(), FTTL);
}

TNetSocketHandle& TNetRawBase::GetSocket() {
    if (!FSocket.HasSocket()) {
        FSocket.OpenHandle(SOCK_RAW, FProtocol);
        GlobalStack->EnableReceiveStamps(FSocket.Handle());
    }
    ApplyTTL(FSocket, FTTL);
    return FSocket;
}
