// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetSocketHandle.h"

#include "ENetExceptions.h"
#include "TNetIcmp6Socket.h"
#include "TNetPingSocket.h"
#include "TNetSocketHelper.h"
#include "TNetStack.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
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
        if (FIPVersion == Id_IPv6 && FKind == TNetSocketKind::Raw && !FRelayed) {
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
    // Where zirko-socket serves, the raw socket is its own and this handle sends through it;
    // its socket's failure reads as the window's own socket call would have failed.
    const auto Status = FHelper != nullptr
                            ? FHelper->FamilyStatus(TNetStack::AddressFamily(FIPVersion))
                            : std::nullopt;
    if (!Status) {
        return GlobalStack->OpenSocket(FIPVersion, SOCK_RAW, AProtocol, false);
    }
    if (*Status != 0) {
        errno = *Status;
        return GlobalStack->CheckSocketResult(-1);
    }
    FRelayed = true;
    return InvalidSocket;
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
    FHasSocket = AId != InvalidSocket || FRelayed;
    FReadList.reset();
    if (AId != InvalidSocket) {
        FReadList = std::make_unique<TNetSocketList>();
        FReadList->Add(AId);
    }
}

void TNetSocketHandle::ReleaseSocket() {
    if (FRelayed) {
        FHelper->Forget(FProbe);
        FRelayed = false;
        FProbe = 0;
        SetHandle(InvalidSocket);
    } else if (FHasSocket) {
        FHasSocket = false;
        GlobalStack->CloseSocketId(FHandle);
        SetHandle(InvalidSocket);
    }
}

void TNetSocketHandle::SetHopLimit(int32_t AValue) {
    FHopLimit = AValue;
    if (!FHasSocket || FRelayed) {
        return;
    }
    // The TTL of IPv4 is the unicast hop limit of IPv6.
    if (FIPVersion == Id_IPv6) {
        GlobalStack->SetIntOption(FHandle, IPPROTO_IPV6, IPV6_UNICAST_HOPS, AValue);
    } else {
        GlobalStack->SetIntOption(FHandle, IPPROTO_IP, IP_TTL, AValue);
    }
}

bool TNetSocketHandle::WaitReadable(int32_t AMilliseconds) {
    if (!FHasSocket) {
        throw ENetConnClosedGracefully();
    }
    if (FRelayed) {
        return FHelper->WaitFor(FProbe, AMilliseconds);
    }
    // The read list holds just this socket; the wait runs on a copy taken under its lock.
    const auto Ids = FReadList->Snapshot();
    return GlobalStack->WaitReadable(Ids.front(), AMilliseconds) > 0;
}

std::optional<int32_t> TNetSocketHandle::ReceiveInto(std::span<uint8_t> AArea) {
    FReceiveStamp.reset();
    if (FRelayed) {
        return ReceiveFromHelper(AArea);
    }
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
    FSendStamp.reset();
    if (FRelayed) {
        SendThroughHelper(AAddress, ABytes);
        return;
    }
    GlobalStack->SendDatagram(FHandle, ABytes, AAddress, APort);
}

void TNetSocketHandle::SendThroughHelper(const std::string& AAddress,
                                         std::span<const uint8_t> ABytes) {
    TProbeProtocol::TProbe Probe;
    Probe.Family = TNetStack::AddressFamily(FIPVersion);
    Probe.HopLimit = FHopLimit;
    Probe.WaitMs = static_cast<uint32_t>(
        std::clamp<int32_t>(FAnswerWait, 1, static_cast<int32_t>(TProbeProtocol::MaxWaitMs)));
    if (FIPVersion == Id_IPv6) {
        if (!TNetStack::Destination6(AAddress, Probe.Address, Probe.ScopeId)) {
            GlobalStack->ThrowSocketError(11001); // a zone that names no interface
        }
    } else {
        const auto Address = TNetStack::TextToAddress(AAddress);
        std::copy(Address.begin(), Address.end(), Probe.Address.begin());
    }
    Probe.Message.assign(ABytes.begin(), ABytes.end());
    FHelper->Forget(FProbe);
    const auto Sent = FHelper->Send(std::move(Probe));
    if (!Sent) {
        errno = ECONNRESET; // the helper is gone: the next socket is the process's own
        GlobalStack->ThrowSendError(GlobalStack->LastSocketError());
    }
    FProbe = Sent->Id;
    if (Sent->Error != 0) {
        errno = Sent->Error;
        GlobalStack->ThrowSendError(GlobalStack->LastSocketError());
    }
    FSendStamp = Sent->StampNs;
}

std::optional<int32_t> TNetSocketHandle::ReceiveFromHelper(std::span<uint8_t> AArea) {
    const auto Answer = FHelper->Take(FProbe);
    if (!Answer) {
        return std::nullopt;
    }
    FReceiveStamp = Answer->StampNs;
    if (FIPVersion == Id_IPv6) {
        TNetIcmp6Socket::TAddress Source{};
        std::copy(Answer->Source.begin(), Answer->Source.end(), Source.begin());
        return TNetIcmp6Socket::SynthesizeReply(AArea, Source,
                                                static_cast<uint8_t>(Answer->HopLimit),
                                                Answer->Bytes, Answer->Bytes.size());
    }
    std::copy_n(Answer->Bytes.begin(), std::min(Answer->Bytes.size(), AArea.size()), AArea.begin());
    return static_cast<int32_t>(Answer->Bytes.size());
}
