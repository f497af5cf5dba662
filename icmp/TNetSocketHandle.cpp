// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetSocketHandle.h"

#include "ENetExceptions.h"
#include "TNetContext.h"
#include "TNetMessage.h"
#include "TNetSocketHelper.h"
#include "TNetStack.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {
constexpr int32_t AccessDenied = 10013;
} // namespace

TNetStack& TNetSocketHandle::Stack() const {
    return FContext.Stack();
}

TNetSocketHandle::~TNetSocketHandle() {
    TNetSocketHandle::ReleaseSocket();
}

void TNetSocketHandle::SetFamily(const TNetFamily& AFamily) {
    if (&AFamily != FFamily) {
        ReleaseSocket();
        FFamily = &AFamily;
    }
}

void TNetSocketHandle::OpenHandle(int AType, int AProtocol) {
    ReleaseSocket();
    if (AType == SOCK_RAW && AProtocol == IPPROTO_ICMP) {
        SetHandle(OpenIcmp(FFamily->IcmpProtocol));
        if (FKind == TNetSocketKind::Raw && !FRelayed) {
            try {
                FFamily->PrepareRaw(Stack(), FHandle);
            } catch (...) {
                ReleaseSocket();
                throw;
            }
        }
        return;
    }
    SetHandle(Stack().OpenSocket(FFamily->Version, AType, AProtocol, FOverlapped));
    FKind = TNetSocketKind::Raw;
}

TSocketId TNetSocketHandle::OpenIcmp(int AProtocol) {
    const auto Policy = FContext.IcmpSocketPolicy();
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
    TNetSocketHelper* Helper = FContext.Helper();
    const auto Status =
        Helper != nullptr ? Helper->FamilyStatus(FFamily->AddressFamily) : std::nullopt;
    if (!Status) {
        return Stack().OpenSocket(FFamily->Version, SOCK_RAW, AProtocol, false);
    }
    if (*Status != 0) {
        errno = *Status;
        return Stack().CheckSocketResult(-1);
    }
    FHelper = Helper;
    FRelayed = true;
    return InvalidSocket;
}

TSocketId TNetSocketHandle::OpenDatagram(int AProtocol) {
    const TSocketId Id = Stack().OpenSocket(FFamily->Version, SOCK_DGRAM, AProtocol, false);
    try {
        // Reports on the error queue, and the hop limit of what arrives.
        Stack().SetIntOption(Id, FFamily->Level, FFamily->ErrorOption, 1);
        Stack().SetIntOption(Id, FFamily->Level, FFamily->ReceiveHopLimit, 1);
    } catch (...) {
        Stack().CloseSocketId(Id);
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
        Stack().CloseSocketId(FHandle);
        SetHandle(InvalidSocket);
    }
}

void TNetSocketHandle::SetHopLimit(int32_t AValue) {
    FHopLimit = AValue;
    if (!FHasSocket || FRelayed) {
        return;
    }
    Stack().SetIntOption(FHandle, FFamily->Level, FFamily->HopLimitOption, AValue);
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
    return Stack().WaitReadable(Ids.front(), AMilliseconds) > 0;
}

std::optional<int32_t> TNetSocketHandle::ReceiveInto(std::span<uint8_t> AArea) {
    FReceiveStamp.reset();
    if (FRelayed) {
        return ReceiveFromHelper(AArea);
    }
    if (FKind == TNetSocketKind::Raw && FFamily->RawKeepsHeader) {
        return Stack().ReceiveStamped(FHandle, AArea, FReceiveStamp);
    }
    return TNetMessage::ReceiveIcmp(*FFamily, Stack(), FHandle, AArea,
                                    FKind == TNetSocketKind::Datagram, &FReceiveStamp);
}

void TNetSocketHandle::SendToAddress(const std::string& AAddress, int32_t APort,
                                     std::span<const uint8_t> ABytes) {
    FSendStamp.reset();
    if (FRelayed) {
        SendThroughHelper(AAddress, ABytes);
        return;
    }
    Stack().SendDatagram(FHandle, ABytes, AAddress, APort);
}

uint16_t TNetSocketHandle::AnswerIdentifier(uint16_t AOwn) const {
    if (FRelayed) {
        return FHelper->Identifier();
    }
    if (!FHasSocket || FKind != TNetSocketKind::Datagram) {
        return AOwn;
    }
    // Bound by the first send; the port's bytes, in network order, are the identifier's.
    sockaddr_storage Local{};
    socklen_t Length = sizeof(Local);
    if (::getsockname(FHandle, reinterpret_cast<sockaddr*>(&Local), &Length) != 0) {
        return AOwn;
    }
    const auto* Port = reinterpret_cast<const uint8_t*>(&Local) +
                       (FFamily->AddressFamily == AF_INET6 ? offsetof(sockaddr_in6, sin6_port)
                                                           : offsetof(sockaddr_in, sin_port));
    return static_cast<uint16_t>(Port[0] | (Port[1] << 8));
}

void TNetSocketHandle::SendThroughHelper(const std::string& AAddress,
                                         std::span<const uint8_t> ABytes) {
    TProbeProtocol::TProbe Probe;
    Probe.Family = FFamily->AddressFamily;
    Probe.HopLimit = FHopLimit;
    Probe.WaitMs = static_cast<uint32_t>(
        std::clamp<int32_t>(FAnswerWait, 1, static_cast<int32_t>(TProbeProtocol::MaxWaitMs)));
    if (!FFamily->Destination(AAddress, Probe.Address, Probe.ScopeId)) {
        Stack().ThrowSocketError(11001); // a zone that names no interface
    }
    Probe.Message.assign(ABytes.begin(), ABytes.end());
    FHelper->Forget(FProbe);
    const auto Sent = FHelper->Send(std::move(Probe));
    if (!Sent) {
        errno = ECONNRESET; // the helper is gone: the next socket is the process's own
        Stack().ThrowSendError(Stack().LastSocketError());
    }
    FProbe = Sent->Id;
    if (Sent->Error != 0) {
        errno = Sent->Error;
        Stack().ThrowSendError(Stack().LastSocketError());
    }
    FSendStamp = Sent->StampNs;
}

std::optional<int32_t> TNetSocketHandle::ReceiveFromHelper(std::span<uint8_t> AArea) {
    const auto Answer = FHelper->Take(FProbe);
    if (!Answer) {
        return std::nullopt;
    }
    FReceiveStamp = Answer->StampNs;
    if (!FFamily->RawKeepsHeader) {
        return FFamily->SynthesizeReply(AArea, Answer->Source.data(),
                                        static_cast<uint8_t>(Answer->HopLimit), Answer->Bytes,
                                        Answer->Bytes.size());
    }
    std::copy_n(Answer->Bytes.begin(), std::min(Answer->Bytes.size(), AArea.size()), AArea.begin());
    return static_cast<int32_t>(Answer->Bytes.size());
}
