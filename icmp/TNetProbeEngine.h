// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TIcmpWire.h"
#include "TNetComponent.h"
#include "TNetProbeBook.h"
#include "TNetProbeResult.h"
#include "TNetSocketHandle.h"
#include "TSendRate.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

struct TNetFamily;
class TNetSocketHelper;

// Echo requests with chosen hop limits and destinations, many in flight at once, to any number
// of destinations of both families, without ever blocking: an event loop watches Descriptors
// and calls Process when one is readable or when NextDueNs comes. Each family has one
// transport, opened when its first probe leaves: the one the synchronous ping would get, the
// helper where it serves (one channel for both families), else the process's own raw socket,
// else the datagram socket, whose time-exceeded reports come through its error queue. Round
// trips end at the kernel's receive stamp, so a late Process does not lengthen them. The
// caller spreads its sends: a probe leaves with the first Process after its Queue.
class TNetProbeEngine : public TNetComponent {
public:
    // The helper accepts TProbeServer::MaxWaiting (4,096) waiting probes from the whole
    // program; the last 16 are the Ping page's. The bound holds for all engines of a context
    // together.
    static constexpr std::size_t HelperInFlightLimit = 4096 - 16;

    explicit TNetProbeEngine(TNetContext& AContext);
    ~TNetProbeEngine() override;

    // One destination: opens the transport for the family of AAddress, a resolved address
    // text, now, and makes it the destination of Queue without one. Throws what opening the
    // synchronous ping's socket throws.
    void Open(const std::string& AAddress);
    // Drops every probe, queued or in flight, and the sockets.
    void Close();
    // The transport of the destination Open gave; without one, of the first family opened.
    TNetProbeTransport Transport() const;
    const std::string& Address() const { return FAddress; }

    // The payload Queue accepts beside 0, which keeps the engine's own 52-byte request: what
    // one request to the helper carries.
    static constexpr int MinPayload = 8, MaxPayload = 504;

    // One probe to AAddress, a resolved address text, with hop limit ATtl; it leaves with the
    // next Process, over the helper at its pace. An address that is none, or a family whose
    // transport cannot be opened, ends the probe with skError. APayload bytes follow the
    // echo header (0: the engine's own request); ASource, an address of this machine of the
    // destination's family, is where it leaves from ("" lets the kernel choose). Each source
    // has sockets of its own, bound to it; one that cannot be bound ends the probe with
    // skError.
    void Queue(const std::string& AAddress, int ATtl, uint32_t ARound, int32_t ATimeoutMs,
               int APayload = 0, const std::string& ASource = {});
    // One probe to the destination Open gave.
    void Queue(int ATtl, uint32_t ARound, int32_t ATimeoutMs);
    // What to watch for readability: the helper's channel or each family's socket opened;
    // a family opens with its first probe, so ask again after each Process.
    std::vector<int> Descriptors() const;
    // The first of them; -1 when none is open.
    int Descriptor() const;
    // When Process is due even without input (steady clock): an expiry or a paced send.
    std::optional<int64_t> NextDueNs() const;
    // Sends what is due, reads what arrived, expires what waited too long. An answer that
    // took longer than its probe's timeout counts as timed out, however soon it was read.
    std::vector<TNetProbeResult> Process();

    std::size_t InFlight() const;
    uint16_t Identifier() const { return FIdentifier; }
    std::size_t Waiting() const { return FQueue.size(); }

private:
    struct TQueued {
        std::string Address;
        int Ttl;
        uint32_t Round;
        int32_t TimeoutMs;
        int Payload = 0;
        std::string Source{};
    };
    // One family's transport from one source, and its probes in flight.
    struct TLane {
        TLane(TNetContext& AContext, const TNetFamily& AFamily, std::string ASource)
            : Socket(AContext), Family(&AFamily), Source(std::move(ASource)) {}
        TNetSocketHandle Socket;
        TNetProbeTransport Transport = TNetProbeTransport::None;
        const TNetFamily* Family;
        const std::string Source; // "" when the kernel chooses
        // Answers carry the transport's identifier (see TNetSocketHandle::AnswerIdentifier),
        // known once a probe has left.
        std::optional<uint16_t> AnswerIdentifier;
        std::optional<int> HopLimit; // as last set on the socket
        TNetProbeBook Book;
    };
    using TArea = std::array<uint8_t, TIcmpWire::AreaSize>;

    void OpenLane(TLane& ALane);
    // Binds a lane of the process's own to its source; throws, the lane closed, when the
    // source is not of the lane's family or not this machine's.
    void BindSource(TLane& ALane);
    void CloseLane(TLane& ALane);
    TLane& LaneOf(const TNetFamily& AFamily, const std::string& ASource = {});
    uint16_t NextSequence(const TLane& ALane);
    std::size_t BuildEcho(TArea& AEcho, const TLane& ALane, uint16_t ASequence, int APayload);
    void SendDue(std::vector<TNetProbeResult>& AOut);
    bool MaySend();
    void SendOne(const TQueued& AProbe, std::vector<TNetProbeResult>& AOut);
    int32_t SendOwn(TLane& ALane, const TQueued& AProbe, std::span<const uint8_t> ABytes,
                    TNetInFlight& AEntry);
    int32_t SendRelayed(TLane& ALane, const TQueued& AProbe, std::span<const uint8_t> ABytes,
                        TNetInFlight& AEntry);
    void ReadOwn(TLane& ALane, std::vector<TNetProbeResult>& AOut);
    void ReadRelayed(TLane& ALane, std::vector<TNetProbeResult>& AOut);
    void Accept(TLane& ALane, const TArea& AArea, int32_t AN, std::optional<int64_t> AStampNs,
                std::vector<TNetProbeResult>& AOut);
    void ExpireDue(TLane& ALane, std::vector<TNetProbeResult>& AOut);
    void ApplyReports(std::vector<TNetProbeResult>& AOut);
    // AAnswered: the helper forgot it itself when it forwarded the answer.
    void Forget(const TNetInFlight& AProbe, bool AAnswered = false);
    uint16_t AnswerIdentifier(TLane& ALane);
    int32_t ErrnoCode(int AErrno) const;

    TNetSocketHelper* FHelper = nullptr; // set while a lane goes through it
    std::string FAddress;                // Open's destination
    const TLane* FOpened = nullptr;      // Open's lane
    // Picked at random when the engine is made, for both families.
    const uint16_t FIdentifier;
    // One per family and source, made with their first probe; a deque, so that lanes stay
    // where they are. The raw sockets of all see every answer: a sequence shared by all of
    // them keeps one lane's answer from matching another's probe.
    std::deque<TLane> FLanes;
    uint16_t FSequence;
    std::deque<TQueued> FQueue;
    // Probes posted to the helper whose send reports are still to come: lane and sequence.
    std::unordered_map<uint32_t, std::pair<std::size_t, uint16_t>> FUnreported;
};
