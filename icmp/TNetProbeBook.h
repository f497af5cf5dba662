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
    // Where it went (IPv4: the first 4 bytes): an answer must come from, or quote, this.
    std::array<uint8_t, 16> Destination{};
    std::string Address{}; // the same as its caller wrote it, to hand back with the result
};

// The probes in flight of one engine, one family: a reply is matched by the sequence number it
// answers or quotes, and the entry holds the hop limit it left with. Sequence numbers come
// from the upper half of the range, away from the synchronous ping's counter (which starts
// low and counts one a ping), and none is handed out while a probe still carries it.
class TNetProbeBook {
public:
    static constexpr uint16_t FirstSequence = 0x8000;

    explicit TNetProbeBook(uint16_t AStart = FirstSequence);

    uint16_t NextSequence();
    void Add(const TNetInFlight& AProbe);
    std::optional<TNetInFlight> Take(uint16_t ASequence);
    // The probe carrying ASequence, left in the book; null when none does.
    const TNetInFlight* Find(uint16_t ASequence) const;
    // Those whose deadline is at or before ANowNs, removed, earliest first.
    std::vector<TNetInFlight> Expire(int64_t ANowNs);
    std::optional<int64_t> NextDeadline() const;
    const std::vector<TNetInFlight>& Probes() const { return FProbes; }
    std::size_t Count() const { return FProbes.size(); }

private:
    bool InFlight(uint16_t ASequence) const;

    uint16_t FNext;
    std::vector<TNetInFlight> FProbes;
};
