// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetTraceRounds.h"

#include "TNetProbeEngine.h"

#include <algorithm>

void TNetTraceRounds::Start(const std::string& AAddress, const TSettings& ASettings) {
    FEngine.Open(AAddress);
    FSettings = ASettings;
    FSettings.MaxHops = std::clamp(FSettings.MaxHops, 1, 255);
    FRunning = true;
    FRounds = 0;
    FLastHop = 0;
    FNextRoundNs = FEngine.Context().Clock().SteadyNs();
}

void TNetTraceRounds::Stop() {
    FEngine.Close();
    FRunning = false;
}

bool TNetTraceRounds::Done() const {
    return FSettings.Rounds != 0 && FRounds >= FSettings.Rounds && FEngine.InFlight() == 0 &&
           FEngine.Waiting() == 0;
}

bool TNetTraceRounds::RoundsLeft() const {
    return FSettings.Rounds == 0 || FRounds < FSettings.Rounds;
}

std::optional<int64_t> TNetTraceRounds::NextDueNs() const {
    if (!FRunning) {
        return std::nullopt;
    }
    auto Due = FEngine.NextDueNs();
    if (RoundsLeft()) {
        Due = Due ? std::min(*Due, FNextRoundNs) : FNextRoundNs;
    }
    return Due;
}

std::vector<TNetProbeResult> TNetTraceRounds::Process() {
    if (!FRunning) {
        return {};
    }
    const int64_t Now = FEngine.Context().Clock().SteadyNs();
    if (RoundsLeft() && Now >= FNextRoundNs) {
        StartRound(Now);
    }
    auto Results = FEngine.Process();
    for (const TNetProbeResult& R : Results) {
        Follow(R);
    }
    return Results;
}

void TNetTraceRounds::StartRound(int64_t ANowNs) {
    const int Last = FLastHop != 0 ? FLastHop : FSettings.MaxHops;
    for (int Ttl = 1; Ttl <= Last; ++Ttl) {
        FEngine.Queue(Ttl, FRounds, FSettings.TimeoutMs);
    }
    ++FRounds;
    // On the interval's grid; a round that came late moves the grid rather than catch up.
    FNextRoundNs += FSettings.IntervalNs;
    if (FNextRoundNs <= ANowNs) {
        FNextRoundNs = ANowNs + FSettings.IntervalNs;
    }
}

void TNetTraceRounds::Follow(const TNetProbeResult& AResult) {
    const bool End = AResult.Kind == skEchoReply || AResult.Kind == skUnreachable;
    if (End && (FLastHop == 0 || AResult.Ttl < FLastHop)) {
        FLastHop = AResult.Ttl;
    } else if (AResult.Kind == skTtlExceeded && AResult.Ttl == FLastHop) {
        FLastHop = 0; // the path grew longer: look as far as the limit again
    }
}
