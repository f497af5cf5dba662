// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetFamily.h"
#include "TNetSocketList.h"
#include "TNetTypes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

class TNetContext;
class TNetSocketHelper;
class TNetStack;

// Owns one operating-system socket of its context's stack. For ICMP it is the one place
// that picks a raw socket or, without the right to one, an unprivileged ICMP datagram socket
// whose traffic is reshaped so that readers see the datagrams a raw socket would have given
// them. Where the context's helper serves, the raw socket is the helper's: the handle then
// holds one probe of it instead of a descriptor, and reads the same datagrams.
class TNetSocketHandle {
public:
    explicit TNetSocketHandle(TNetContext& AContext) : FContext(AContext) {}
    virtual ~TNetSocketHandle();
    TNetSocketHandle(const TNetSocketHandle&) = delete;
    TNetSocketHandle& operator=(const TNetSocketHandle&) = delete;

    void OpenHandle(int AType, int AProtocol);
    virtual void ReleaseSocket();
    // 0 polls once, -2 waits without limit.
    bool WaitReadable(int32_t AMilliseconds);
    // The datagram's full length, or nothing when what was read is not worth decoding.
    std::optional<int32_t> ReceiveInto(std::span<uint8_t> AArea);
    // The kernel's receive stamp of what ReceiveInto read last, when it had one.
    std::optional<int64_t> ReceiveStamp() const { return FReceiveStamp; }
    void SendToAddress(const std::string& AAddress, int32_t APort, std::span<const uint8_t> ABytes);
    // CLOCK_REALTIME right before the last send, where the helper sent it.
    std::optional<int64_t> SendStamp() const { return FSendStamp; }
    // The TTL (IPv6: unicast hop limit) of what is sent from now on.
    void SetHopLimit(int32_t AValue);
    // How long the helper waits for answers to what is sent next (ms).
    void SetAnswerWait(int32_t AMilliseconds) { FAnswerWait = AMilliseconds; }
    bool Relayed() const { return FRelayed; }
    // The identifier answers to what was sent last carry: the datagram socket's kernel puts
    // its local port there, the helper its own number; else the sender's own, AOwn.
    uint16_t AnswerIdentifier(uint16_t AOwn) const;

    bool HasSocket() const { return FHasSocket; }
    TSocketId Handle() const { return FHandle; }
    const TNetFamily& Family() const { return *FFamily; }
    TIPVersion IPVersion() const { return FFamily->Version; }
    // The family of the sockets opened from now on; a socket of the other one is closed.
    void SetFamily(const TNetFamily& AFamily);
    void SetIPVersion(TIPVersion AIPVersion) { SetFamily(TNetFamily::Of(AIPVersion)); }
    bool Overlapped() const { return FOverlapped; }
    // The kind of the socket held, or of the last one held.
    TNetSocketKind Kind() const { return FKind; }

private:
    TNetStack& Stack() const;
    void SetHandle(TSocketId AId);
    TSocketId OpenIcmp(int AProtocol);
    TSocketId OpenRaw(int AProtocol);
    TSocketId OpenDatagram(int AProtocol);
    void SendThroughHelper(const std::string& AAddress, std::span<const uint8_t> ABytes);
    std::optional<int32_t> ReceiveFromHelper(std::span<uint8_t> AArea);

    TNetContext& FContext;
    TSocketId FHandle = InvalidSocket;
    bool FHasSocket = false;
    bool FOverlapped = false;
    const TNetFamily* FFamily = &TNetFamily::Of(Id_IPv4);
    std::unique_ptr<TNetSocketList> FReadList;
    TNetSocketKind FKind = TNetSocketKind::None;
    std::optional<int64_t> FReceiveStamp;
    TNetSocketHelper* FHelper = nullptr; // the context's, while a probe of it is held
    bool FRelayed = false;
    uint32_t FProbe = 0;
    int32_t FHopLimit = 128;
    int32_t FAnswerWait = 5000;
    std::optional<int64_t> FSendStamp;
};
