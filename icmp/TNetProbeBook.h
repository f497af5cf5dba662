// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetRoundTrip.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One probe on its way: what it was sent with and until when an answer counts.
struct TNetInFlight {
    uint16_t Sequence = 0;
    int Ttl = 0;
    uint32_t Round = 0;
    int64_t DeadlineNs = 0; // steady clock
    int64_t TimeoutNs = 0;
    TNetRoundTrip Trip{0, 0};
    uint32_t HelperId = 0; // the helper's number for it, when relayed
    uint16_t Size = 0;     // its payload as queued; 0 for the engine's own
    // Where it went (IPv4: the first 4 bytes): an answer must come from, or quote, this.
    std::array<uint8_t, 16> Destination{};
    std::string Address{}; // the same as its caller wrote it, to hand back with the result
};

// The probes in flight of one engine, one family: a reply is looked up by the sequence number
// it answers or quotes, then held to the rule against the entry's own destination; the entry
// holds the hop limit it left with. Sequence numbers come
// from the upper half of the range, away from the synchronous ping's counter (which starts
// low and counts one a ping), and none is handed out while a probe still carries it.
// Thousands of targets keep thousands of probes in flight, so every step costs the same
// however many there are: probes are found by sequence through an index, and expire from a
// queue ordered by deadline.
class TNetProbeBook {
public:
    static constexpr uint16_t FirstSequence = 0x8000;

    explicit TNetProbeBook(uint16_t AStart = FirstSequence);

    uint16_t NextSequence();
    // AProbe's sequence is one NextSequence gave and not in flight; std::logic_error else.
    void Add(const TNetInFlight& AProbe);
    std::optional<TNetInFlight> Take(uint16_t ASequence);
    // The probe carrying ASequence, left in the book; null when none does.
    const TNetInFlight* Find(uint16_t ASequence) const;
    // The same, to mend what the send's report tells later (its stamp).
    TNetInFlight* Find(uint16_t ASequence) { return const_cast<TNetInFlight*>(Entry(ASequence)); }
    // Those whose deadline is at or before ANowNs, removed, earliest first.
    std::vector<TNetInFlight> Expire(int64_t ANowNs);
    std::optional<int64_t> NextDeadline() const;
    // In no particular order.
    const std::vector<TNetInFlight>& Probes() const { return FProbes; }
    std::size_t Count() const { return FProbes.size(); }

private:
    // A deadline to look at; stale once its probe was answered (the probe under that
    // sequence then is none, or one with a deadline of its own).
    struct TDue {
        int64_t DeadlineNs;
        uint64_t Order; // equal deadlines expire in the order they were added
        uint16_t Sequence;
        bool operator>(const TDue& AOther) const {
            return DeadlineNs != AOther.DeadlineNs ? DeadlineNs > AOther.DeadlineNs
                                                   : Order > AOther.Order;
        }
    };
    const TNetInFlight* Entry(uint16_t ASequence) const;
    TNetInFlight Remove(std::size_t APosition);
    bool Current(const TDue& ADue) const;
    void DropStale();

    uint16_t FNext;
    std::vector<TNetInFlight> FProbes;
    // Per sequence of the upper half, its position in FProbes plus one; 0 when free.
    std::vector<uint16_t> FPositions;
    std::vector<TDue> FDue; // a min-heap
    uint64_t FAdded = 0;
};
