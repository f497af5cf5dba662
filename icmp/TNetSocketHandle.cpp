// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetSocketHandle.h"

#include "ENetExceptions.h"
#include "TNetIcmp6Socket.h"
#include "TNetPingSocket.h"
#include "TNetSocketHelper.h"
#include "TNetStack.h"

#include <atomic>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {
std::atomic<TNetIcmpSocketPolicy> GPolicy{TNetIcmpSocketPolicy::RawThenDatagram};
constexpr int32_t AccessDenied = 10013;
} // namespace

void TNetSocketHandle::SetIcmpSocketPolicy(TNetIcmpSocketPolicy APolicy) {
    GPolicy = APolicy;
}

TNetIcmpSocketPolicy TNetSocketHandle::IcmpSocketPolicy() {
    return GPolicy;
}

TNetSocketHandle::~TNetSocketHandle() {
    TNetSocketHandle::ReleaseSocket();
}

void TNetSocketHandle::SetIPVersion(TIPVersion AIPVersion) {
    if (AIPVersion != FIPVersion) {
        ReleaseSocket();
        FIPVersion = AIPVersion;
    }
}

void TNetSocketHandle::OpenHandle(int AType, int AProtocol) {
    ReleaseSocket();
    if (AType == SOCK_RAW && AProtocol == IPPROTO_ICMP) {
        SetHandle(OpenIcmp(FIPVersion == Id_IPv6 ? IPPROTO_ICMPV6 : AProtocol));
        if (FIPVersion == Id_IPv6 && FKind == TNetSocketKind::Raw) {
            try {
                TNetIcmp6Socket::PrepareRaw(FHandle);
            } catch (...) {
                ReleaseSocket();
                throw;
            }
        }
        return;
    }
    SetHandle(GlobalStack->OpenSocket(FIPVersion, AType, AProtocol, FOverlapped));
    FKind = TNetSocketKind::Raw;
}

TSocketId TNetSocketHandle::OpenIcmp(int AProtocol) {
    const auto Policy = IcmpSocketPolicy();
    if (Policy != TNetIcmpSocketPolicy::DatagramOnly) {
        try {
            const TSocketId Id = OpenRaw(AProtocol);
            FKind = TNetSocketKind::Raw;
            return Id;
        } catch (const ENetSocketError& E) {
            // Only a missing privilege makes the datagram socket worth a try; when that is
            // refused too, the raw socket's "Access denied." is the answer.
            if (E.ErrorCode() != AccessDenied || Policy == TNetIcmpSocketPolicy::RawOnly) {
                throw;
            }
            try {
                return OpenDatagram(AProtocol);
            } catch (const ENetSocketError&) {
                throw E;
            }
        }
    }
    return OpenDatagram(AProtocol);
}

TSocketId TNetSocketHandle::OpenRaw(int AProtocol) {
    // Where zirko-socket serves, the raw socket comes from it; its refusal reads as the
    // window's own socket call would have failed.
    const auto Answer =
        TNetSocketHelper::Open(TNetStack::AddressFamily(FIPVersion), SOCK_RAW, AProtocol);
    if (!Answer) {
        return GlobalStack->OpenSocket(FIPVersion, SOCK_RAW, AProtocol, false);
    }
    errno = Answer->Error;
    return GlobalStack->CheckSocketResult(Answer->Id);
}

TSocketId TNetSocketHandle::OpenDatagram(int AProtocol) {
    const TSocketId Id = GlobalStack->OpenSocket(FIPVersion, SOCK_DGRAM, AProtocol, false);
    try {
        if (FIPVersion == Id_IPv6) {
            TNetIcmp6Socket::PrepareDatagram(Id);
        } else {
            TNetPingSocket::Prepare(Id);
        }
    } catch (...) {
        GlobalStack->CloseSocketId(Id);
        throw;
    }
    FKind = TNetSocketKind::Datagram;
    return Id;
}

void TNetSocketHandle::SetHandle(TSocketId AId) {
    FHandle = AId;
    FHasSocket = AId != InvalidSocket;
    FReadList.reset();
    if (FHasSocket) {
        FReadList = std::make_unique<TNetSocketList>();
        FReadList->Add(AId);
    }
}

void TNetSocketHandle::ReleaseSocket() {
    if (FHasSocket) {
        FHasSocket = false;
        GlobalStack->CloseSocketId(FHandle);
        SetHandle(InvalidSocket);
    }
}

bool TNetSocketHandle::WaitReadable(int32_t AMilliseconds) {
    if (!FHasSocket) {
        throw ENetConnClosedGracefully();
    }
    // The read list holds just this socket; the wait runs on a copy taken under its lock.
    const auto Ids = FReadList->Snapshot();
    return GlobalStack->WaitReadable(Ids.front(), AMilliseconds) > 0;
}

std::optional<int32_t> TNetSocketHandle::ReceiveInto(std::span<uint8_t> AArea) {
    FReceiveStamp.reset();
    if (FIPVersion == Id_IPv6) {
        return TNetIcmp6Socket::Receive(FHandle, AArea, FKind == TNetSocketKind::Datagram,
                                        &FReceiveStamp);
    }
    if (FKind == TNetSocketKind::Datagram) {
        return TNetPingSocket::Receive(FHandle, AArea, &FReceiveStamp);
    }
    return GlobalStack->ReceiveStamped(FHandle, AArea, FReceiveStamp);
}

void TNetSocketHandle::SendToAddress(const std::string& AAddress, int32_t APort,
                                     std::span<const uint8_t> ABytes) {
    GlobalStack->SendDatagram(FHandle, ABytes, AAddress, APort);
}
