// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTargetWatch.h"

#include "TClock.h"
#include "THistoryStore.h"
#include "TPingStatistics.h"
#include "TWatchRules.h"

#include <algorithm>
#include <arpa/inet.h>

namespace {

// A name is looked up in the family of the address it is sent from.
TTargetNetwork NetworkOf(const TTarget& ATarget) {
    if (ATarget.Source.empty() || ATarget.Network != TTargetNetwork::Any) {
        return ATarget.Network;
    }
    in_addr Four{};
    return ::inet_pton(AF_INET, ATarget.Source.c_str(), &Four) == 1 ? TTargetNetwork::Ip4
                                                                    : TTargetNetwork::Ip6;
}

// A token holds the generation, the target and the probe's sequence.
constexpr int TargetBits = 24;
constexpr int SequenceBits = 24;
constexpr uint64_t Mask(int Bits) {
    return (uint64_t{1} << Bits) - 1;
}

} // namespace

TTargetWatch::TTargetWatch(TProbePort& Port, const TClock& Clock, std::vector<TTarget> Targets)
    : FPort(Port), FClock(Clock) {
    FTargets.resize(Targets.size());
    for (size_t I = 0; I < Targets.size(); ++I) {
        FTargets[I].Target = std::move(Targets[I]);
        FTargets[I].Id = ++FLastId;
        FTargets[I].Slow.SetLimitUs(int64_t{FTargets[I].Target.LatencyLimitMs} * 1000);
    }
    FPort.OnAnswer = [this](const TProbePort::TAnswer& Answer) { Answered(Answer); };
    FPort.OnResolved = [this](TProbePort::TToken Token, const std::optional<std::string>& Address) {
        Resolved(Token, Address);
    };
}

TTargetWatch::~TTargetWatch() {
    FlushPings();
    FPort.OnAnswer = nullptr;
    FPort.OnResolved = nullptr;
}

void TTargetWatch::HoldHistory() {
    FHolding = true;
    FPeriods.Hold();
    for (TState& State : FTargets) {
        State.History.Hold();
    }
}

void TTargetWatch::SetHistory(THistoryStore* Store) {
    FlushPings();
    FStore = Store;
    FHolding = false;
    FPeriods.SetStore(Store);
    for (TState& State : FTargets) {
        const int64_t HeldOutageId = State.History.SetStore(Store);
        const auto& Current = State.Outages.Current();
        if (HeldOutageId != 0 && Current && Current->Id == 0) {
            State.Outages.SetCurrentId(HeldOutageId);
        }
        if (State.History.HeldSlowId() != 0 && State.Slow.Current() &&
            State.Slow.Current()->Id == 0) {
            State.Slow.SetCurrentId(State.History.HeldSlowId());
        }
    }
}

TProbePort::TToken TTargetWatch::TokenOf(size_t Index, uint32_t Sequence) const {
    return (uint64_t{FGeneration} << (TargetBits + SequenceBits)) |
           (uint64_t(Index) << SequenceBits) | (Sequence & Mask(SequenceBits));
}

TTargetWatch::TState* TTargetWatch::StateOf(TProbePort::TToken Token, uint32_t& Sequence) {
    const size_t Index = (Token >> SequenceBits) & Mask(TargetBits);
    if (!FActive || (Token >> (TargetBits + SequenceBits)) != FGeneration ||
        Index >= FTargets.size()) {
        return nullptr;
    }
    Sequence = uint32_t(Token & Mask(SequenceBits));
    return &FTargets[Index];
}

void TTargetWatch::Start() {
    Stop();
    ++FGeneration;
    FActive = true;
    FPeriods.Begin(THistoryPeriodKind::Run, FClock.WallMs());
    Spread(FClock.SteadyMs());
}

void TTargetWatch::Spread(int64_t NowMs) {
    FQueue = {};
    const size_t Count = FTargets.size();
    for (size_t I = 0; I < Count; ++I) {
        FTargets[I].Resolving = false;
        const int64_t Interval = FTargets[I].Target.IntervalMs;
        FQueue.push({NowMs + Interval * int64_t(I) / int64_t(Count), I});
    }
}

void TTargetWatch::SetTargets(std::vector<TTarget> Targets) {
    std::vector<TState> Next(Targets.size());
    std::vector<bool> Kept(FTargets.size(), false);
    for (size_t I = 0; I < Targets.size(); ++I) {
        size_t J = 0;
        while (J < FTargets.size() && (Kept[J] || !(FTargets[J].Target == Targets[I]))) {
            ++J;
        }
        if (J < FTargets.size()) {
            Kept[J] = true;
            Next[I] = std::move(FTargets[J]);
            continue;
        }
        Next[I].Target = std::move(Targets[I]);
        Next[I].Id = ++FLastId;
        Next[I].Slow.SetLimitUs(int64_t{Next[I].Target.LatencyLimitMs} * 1000);
        if (FHolding) {
            Next[I].History.Hold();
        } else {
            Next[I].History.SetStore(FStore);
        }
    }
    for (size_t J = 0; J < FTargets.size(); ++J) {
        if (!Kept[J] && FActive) {
            Announce(FTargets[J],
                     FTargets[J].Outages.Unmonitored(FClock.WallMs(), FClock.SteadyMs()));
            AnnounceSlow(FTargets[J],
                         FTargets[J].Slow.Unmonitored(FClock.WallMs(), FClock.SteadyMs()));
        }
    }
    FTargets = std::move(Next);
    if (FActive) {
        // Tokens name targets by place in the list: those of the old list must not match.
        ++FGeneration;
        Spread(FClock.SteadyMs());
    }
}

void TTargetWatch::Stop() {
    if (!FActive) {
        return;
    }
    FActive = false;
    FQueue = {};
    for (TState& State : FTargets) {
        Announce(State, State.Outages.Unmonitored(FClock.WallMs(), FClock.SteadyMs()));
        AnnounceSlow(State, State.Slow.Unmonitored(FClock.WallMs(), FClock.SteadyMs()));
    }
    FlushPings(); // the period's end comes after its pings
    FPeriods.End(FClock.WallMs());
}

int64_t TTargetWatch::Step() {
    const int64_t Now = FClock.SteadyMs();
    if (!FPendingPings.empty() && Now - FPendingSinceMs >= HistoryBatchMs) {
        FlushPings();
    }
    while (FActive && !FQueue.empty() && FQueue.top().AtMs <= Now) {
        const TDue Next = FQueue.top();
        FQueue.pop();
        Due(Next.Index, Now);
        // A late step sends each target once, then keeps to its own pace.
        const int64_t Interval = std::max<int64_t>(1, FTargets[Next.Index].Target.IntervalMs);
        int64_t At = Next.AtMs + Interval;
        if (At <= Now) {
            At += (Now - At) / Interval * Interval + Interval;
        }
        FQueue.push({At, Next.Index});
    }
    const int64_t Due = FQueue.empty() ? INT64_MAX : FQueue.top().AtMs;
    return FPendingPings.empty() ? Due : std::min(Due, FPendingSinceMs + HistoryBatchMs);
}

void TTargetWatch::FlushPings() {
    if (FPendingPings.empty()) {
        return;
    }
    // A store that failed meanwhile drops them, as it would have one at a time.
    if (FStore != nullptr && FStore->Available()) {
        FStore->AddPings(FPendingPings);
    }
    FPendingPings.clear();
}

void TTargetWatch::Due(size_t Index, int64_t NowMs) {
    TState& State = FTargets[Index];
    if (!State.Address) {
        // One lookup at a time, then one every retry span: a dead name costs nothing more.
        if (!State.Resolving && NowMs >= State.NextLookupMs) {
            State.Resolving = true;
            FPort.ResolveIn(State.Target.Host, NetworkOf(State.Target), TokenOf(Index, 0));
        }
        if (!State.Address) {
            return; // a port that answered at once has the address already
        }
    }
    ++State.Sequence;
    ++State.Sent;
    const int Timeout = int(std::clamp<int64_t>(State.Target.IntervalMs, 1, 60'000));
    FPort.SendAs(*State.Address, TokenOf(Index, State.Sequence), Timeout, State.Target.Size,
                 State.Target.Source);
}

void TTargetWatch::Resolved(TProbePort::TToken Token, const std::optional<std::string>& Address) {
    uint32_t Sequence = 0;
    TState* State = StateOf(Token, Sequence);
    if (State == nullptr) {
        return;
    }
    State->Resolving = false;
    State->Address = Address;
    if (!Address) {
        ++State->FailedLookups;
        State->NextLookupMs = FClock.SteadyMs() + FResolveRetryMs;
    }
    if (OnLookedUp) {
        OnLookedUp(*State);
    }
}

void TTargetWatch::Answered(const TProbePort::TAnswer& Answer) {
    uint32_t Sequence = 0;
    TState* State = StateOf(Answer.Token, Sequence);
    if (State == nullptr || !State->Address || Answer.Address != *State->Address) {
        return;
    }
    const TReplyStatus& Reply = Answer.Reply;
    State->Counters = TPingStatistics::CountPing(State->Counters, Reply.RoundTripMs);
    const auto [Next, Outcome] =
        TPingStatistics::CountLoss(State->Counters, Reply.ReplyBytes, State->Target.AlarmAfterLost);
    State->Counters = Next;
    const int64_t When = FClock.WallMs();
    const int64_t Steady = FClock.SteadyMs();
    THistoryPing Ping = THistoryRecorder::PingOf(State->Target.Host, Answer.Address, Reply, When);
    Ping.Listed = true; // kept apart from the Ping page's pings
    const std::optional<int64_t> RoundTripUs = Ping.RoundTripUs;
    if (State->History.Writes() && State->History.Store() == FStore) {
        if (FPendingPings.empty()) {
            FPendingSinceMs = Steady;
        }
        FPendingPings.push_back(std::move(Ping));
    } else {
        State->History.Ping(std::move(Ping)); // held until the store is open
    }
    Announce(*State, State->Outages.Ping(State->Target.Host, When, Steady, Reply.ReplyBytes > 0,
                                         Outcome.Alarm));
    AnnounceSlow(*State, State->Slow.Ping(State->Target.Host, When, Steady, RoundTripUs));
    if (OnCounted) {
        OnCounted(*State, Reply);
    }
}

void TTargetWatch::Announce(TState& State, TOutageTracker::TEvent Event) {
    using TChange = TOutageTracker::TChange;
    if (Event.Change == TChange::None) {
        return;
    }
    const int64_t Now = FClock.SteadyMs();
    if (Event.Change != TChange::Lasts ||
        Now - State.OutageWrittenMs >= TWatchRules::OutageWriteMs) {
        State.History.Outage(Event.Outage, Event.Change == TChange::Began);
        State.OutageWrittenMs = Now;
    }
    if (Event.Change == TChange::Began) {
        State.Outages.SetCurrentId(Event.Outage.Id);
    }
    if (OnOutage) {
        OnOutage(State, Event);
    }
}

void TTargetWatch::AnnounceSlow(TState& State, TSlowTracker::TEvent Event) {
    using TChange = TSlowTracker::TChange;
    if (Event.Change == TChange::None) {
        return;
    }
    const int64_t Now = FClock.SteadyMs();
    if (Event.Change != TChange::Lasts || Now - State.SlowWrittenMs >= TWatchRules::OutageWriteMs) {
        State.History.Outage(Event.Period, Event.Change == TChange::Began);
        State.SlowWrittenMs = Now;
    }
    if (Event.Change == TChange::Began) {
        State.Slow.SetCurrentId(Event.Period.Id);
    }
    if (OnSlow && !State.Outages.Current()) {
        OnSlow(State, Event);
    }
}
