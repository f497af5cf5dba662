// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetRawBase.h"

#include "TNetStack.h"

#include <algorithm>
#include <sys/socket.h>

TNetRawBase::TNetRawBase(TNetContext& AContext)
    : TNetComponent(AContext), FSocket(AContext), FBuffer(8192) {}

TNetRawBase::~TNetRawBase() {
    FSocket.ReleaseSocket();
}

void TNetRawBase::SetBufferSize(int32_t AValue) {
    FBuffer.assign(static_cast<std::size_t>(std::max(AValue, 0)), 0);
}

void TNetRawBase::SetHost(std::string AValue) {
    FHost = std::move(AValue);
    FSocket.SetIPVersion(TNetStack::IPv6Literal(FHost) ? Id_IPv6 : Id_IPv4);
}

void TNetRawBase::SetTTL(int32_t AValue) {
    FTTL = AValue;
    GetSocket().SetHopLimit(FTTL);
}

TNetSocketHandle& TNetRawBase::GetSocket() {
    if (!FSocket.HasSocket()) {
        FSocket.OpenHandle(SOCK_RAW, FProtocol);
        if (!FSocket.Relayed()) {
            Stack().EnableReceiveStamps(FSocket.Handle());
        }
    }
    FSocket.SetHopLimit(FTTL);
    return FSocket;
}
