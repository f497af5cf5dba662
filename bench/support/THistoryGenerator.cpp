// SPDX-License-Identifier: GPL-3.0-or-later
#include "THistoryGenerator.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

using TSteady = std::chrono::steady_clock;

} // namespace

THistoryGenerator::THistoryGenerator(THistoryStore& Store, THistoryShape Shape)
    : FStore(Store), FShape(std::move(Shape)), FRtt(std::log(FShape.MedianRoundTripUs), 0.6),
      FNextMs(FShape.StartMs) {}

bool THistoryGenerator::Within(const std::vector<THistoryShape::TSpan>& Spans, int64_t AtMs) {
    return std::any_of(Spans.begin(), Spans.end(), [AtMs](const auto& Span) {
        return Span.first <= AtMs && AtMs < Span.second;
    });
}

bool THistoryGenerator::Run(int64_t EndMs, const TRunOptions& Options) {
    const int64_t Total = (EndMs - FNextMs) / FShape.IntervalMs;
    for (int64_t I = 0; FNextMs < EndMs; ++I, FNextMs += FShape.IntervalMs) {
        if (!Period()) {
            return false;
        }
        if (!FPeriodOpen) {
            continue; // a gap: nothing was sent
        }
        const bool InOutage = Within(FShape.Outages, FNextMs);
        const THistoryPing Ping = Next(InOutage);
        const auto Start = TSteady::now();
        if (!FStore.AddPing(Ping)) {
            return false;
        }
        if (Options.AddUs && I >= Total - Options.Timed) {
            Options.AddUs->push_back(
                std::chrono::duration<double, std::micro>(TSteady::now() - Start).count());
        }
        ++FWritten;
        if ((InOutage || FInOutage) && !Outage()) {
            return false;
        }
        if (Ping.RoundTripUs) {
            FLastAnsweredMs = FNextMs;
        }
        if (Options.Prune && FWritten % 1000 == 0) {
            while (FStore.PruneStep(FNextMs)) {
            }
        }
    }
    return FStore.Available();
}

bool THistoryGenerator::Finish() {
    if (FInOutage && !EndOutage(TOutageEnd::Unknown)) {
        return false;
    }
    if (FPeriodOpen) {
        FPeriodOpen = false;
        return FStore.EndPeriod(FNextMs);
    }
    return true;
}

// The schedule's periods as the automatic monitoring makes them; a gap ends
// the one open, and the next run begins where the gap does.
bool THistoryGenerator::Period() {
    if (Within(FShape.Gaps, FNextMs)) {
        return Finish();
    }
    if (FShape.CycleMs <= 0) {
        if (FPeriodOpen) {
            return true;
        }
        FPeriodOpen = true;
        return FStore.BeginPeriod(THistoryPeriodKind::Run, FNextMs);
    }
    const int64_t InCycle = (FNextMs - FShape.StartMs) % FShape.CycleMs;
    if (FPeriodOpen && InCycle != 0 && InCycle != FShape.RunMs) {
        return true;
    }
    FPeriodOpen = true;
    const auto Kind = InCycle < FShape.RunMs ? THistoryPeriodKind::Run : THistoryPeriodKind::Rest;
    return FStore.BeginPeriod(Kind, FNextMs);
}

// After a ping of an outage's stretch, or the first answer after it: the
// outage begins, goes on, or ends as the Ping page records it.
bool THistoryGenerator::Outage() {
    if (!FInOutage) {
        FInOutage = true;
        FOutage = TOutage{};
        FOutage.Host = FShape.Host;
        FOutage.StartFromMs = FLastAnsweredMs;
        FOutage.StartToMs = FOutage.EndFromMs = FNextMs;
        FOutage.Lost = 1;
        return FStore.AddOutage(FOutage);
    }
    if (Within(FShape.Outages, FNextMs)) {
        FOutage.EndFromMs = FNextMs;
        ++FOutage.Lost;
        return true;
    }
    return EndOutage(TOutageEnd::Recovered);
}

// With an answer now, or when watching stops now: both brackets are known.
bool THistoryGenerator::EndOutage(TOutageEnd End) {
    FInOutage = false;
    FOutage.EndToMs = FNextMs;
    FOutage.End = End;
    const int64_t StartFrom = FOutage.StartFromMs.value_or(FOutage.StartToMs);
    FOutage.DurationMs = (FOutage.EndFromMs + FNextMs) / 2 - (StartFrom + FOutage.StartToMs) / 2;
    FOutage.UncertaintyMs = (FOutage.StartToMs - StartFrom + FNextMs - FOutage.EndFromMs) / 2;
    return FStore.UpdateOutage(FOutage);
}

// Mostly answered in a few to some tens of ms, with a long tail; the share of
// lost pings drawn at random, besides those of an outage.
THistoryPing THistoryGenerator::Next(bool Lost) {
    THistoryPing Ping;
    Ping.UtcMs = FNextMs;
    Ping.Host = FShape.Host;
    Ping.Address = FShape.Address;
    Ping.Ttl = 57;
    Ping.Bytes = 32;
    if (Lost || FLost(FRng) < FShape.LostShare) {
        Ping.Kind = skTimedOut;
        return Ping;
    }
    const double Us = std::clamp(FRtt(FRng), 800.0, 400'000.0);
    Ping.RoundTripUs = static_cast<int64_t>(Us);
    return Ping;
}
