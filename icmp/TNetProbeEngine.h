// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TIcmpWire.h"
#include "TNetComponent.h"
#include "TNetProbeBook.h"
#include "TNetProbeResult.h"
#include "TNetSocketHandle.h"
#include "TSendRate.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct TNetFamily;
class TNetSocketHelper;

// Echo requests with chosen hop limits, many in flight at once, to one destination, without
// ever blocking: an event loop watches Descriptor and calls Process when it is readable or
// when NextDueNs comes. The transport is the one the synchronous ping would get: the helper
// where it serves, else the process's own raw socket, else the datagram socket, whose
// time-exceeded reports come through its error queue. Round trips end at the kernel's
// receive stamp, so a late Process does not lengthen them.
class TNetProbeEngine : public TNetComponent {
public:
    // The helper accepts 64 waiting probes from the whole program; the rest is the Ping
    // page's. The bound holds for all engines of a context together.
    static constexpr std::size_t HelperInFlightLimit = 48;

    explicit TNetProbeEngine(TNetContext& AContext);
    ~TNetProbeEngine() override;

    // Opens the transport for the family of AAddress, a resolved address text. Throws what
    // opening the synchronous ping's socket throws.
    void Open(const std::string& AAddress);
    // Drops every probe, queued or in flight, and the socket.
    void Close();
    TNetProbeTransport Transport() const { return FTransport; }
    const std::string& Address() const { return FAddress; }

    // One probe with hop limit ATtl; it leaves with the next Process, over the helper at its pace.
    void Queue(int ATtl, uint32_t ARound, int32_t ATimeoutMs);
    // What to watch for readability; -1 when closed.
    int Descriptor() const;
    // When Process is due even without input (steady clock): an expiry or a paced send.
    std::optional<int64_t> NextDueNs() const;
    // Sends what is due, reads what arrived, expires what waited too long. An answer that
    // took longer than its probe's timeout counts as timed out, however soon it was read.
    std::vector<TNetProbeResult> Process();

    std::size_t InFlight() const { return FBook.Count(); }
    uint16_t Identifier() const { return FIdentifier; }
    std::size_t Waiting() const { return FQueue.size(); }

private:
    struct TQueued {
        int Ttl;
        uint32_t Round;
        int32_t TimeoutMs;
    };
    using TArea = std::array<uint8_t, TIcmpWire::AreaSize>;

    void SendDue(std::vector<TNetProbeResult>& AOut);
    bool MaySend();
    void SendOne(const TQueued& AProbe, std::vector<TNetProbeResult>& AOut);
    int32_t SendOwn(int ATtl, std::span<const uint8_t> ABytes, TNetInFlight& AProbe);
    int32_t SendRelayed(const TQueued& AProbe, std::span<const uint8_t> ABytes,
                        TNetInFlight& AEntry);
    void ReadOwn(std::vector<TNetProbeResult>& AOut);
    void ReadRelayed(std::vector<TNetProbeResult>& AOut);
    void Accept(const TArea& AArea, int32_t AN, std::optional<int64_t> AStampNs,
                std::vector<TNetProbeResult>& AOut);
    void ExpireDue(std::vector<TNetProbeResult>& AOut);
    void Forget(const TNetInFlight& AProbe);
    uint16_t AnswerIdentifier();
    int32_t ErrnoCode(int AErrno) const;

    TNetSocketHandle FSocket;
    TNetSocketHelper* FHelper = nullptr;
    TNetProbeTransport FTransport = TNetProbeTransport::None;
    const TNetFamily* FFamily = nullptr;
    std::string FAddress;
    // Picked at random when the engine is made; answers carry FAnswerIdentifier, the
    // transport's (see TNetSocketHandle::AnswerIdentifier), known once a probe has left.
    const uint16_t FIdentifier;
    std::optional<uint16_t> FAnswerIdentifier;
    std::array<uint8_t, 16> FDestination{};
    TNetProbeBook FBook;
    std::deque<TQueued> FQueue;
};
