// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetProbeResult.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TNetProbeEngine;

// The rounds of a continuous trace over a probe engine: each round probes every hop up to the
// limit, all of them in flight together, and a round starts every interval. Once the
// destination answers (or a router reports it unreachable) at some hop, later rounds stop
// there, until a router answers at that hop instead.
class TNetTraceRounds {
public:
    struct TSettings {
        int MaxHops = 30;
        int64_t IntervalNs = 1'000'000'000;
        int32_t TimeoutMs = 1000;
        uint32_t Rounds = 0; // 0: until stopped
    };

    explicit TNetTraceRounds(TNetProbeEngine& AEngine) : FEngine(AEngine) {}

    // Opens the engine for AAddress (a resolved address text); the first round is due at once.
    void Start(const std::string& AAddress, const TSettings& ASettings);
    void Stop();
    bool Running() const { return FRunning; }
    uint32_t Rounds() const { return FRounds; }
    // Every round of a bounded trace has started and none of its probes is left.
    bool Done() const;
    // The hop the destination answered at, or was reported unreachable at; 0 while none.
    int LastHop() const { return FLastHop; }

    std::optional<int64_t> NextDueNs() const;
    // Starts a round when one is due, then lets the engine work.
    std::vector<TNetProbeResult> Process();

private:
    bool RoundsLeft() const;
    void StartRound(int64_t ANowNs);
    void Follow(const TNetProbeResult& AResult);

    TNetProbeEngine& FEngine;
    TSettings FSettings;
    bool FRunning = false;
    uint32_t FRounds = 0;
    int64_t FNextRoundNs = 0;
    int FLastHop = 0;
};
