// SPDX-License-Identifier: GPL-3.0-or-later
#include "TSlowTracker.h"

#include <algorithm>

void TSlowTracker::SetCurrentId(int64_t Id) {
    if (FPeriod) {
        FPeriod->Id = Id;
    }
}

void TSlowTracker::Reset() {
    FLast.clear();
    FSumUs = 0;
    FLastSide.reset();
    FSwitched.reset();
}

// Midpoints of the two brackets on the monotonic clock, as an outage's.
void TSlowTracker::Measure(TOutage& Period, const TStamp& EndFrom, const TStamp& EndTo) const {
    const int64_t StartWidth = FStartFrom ? FStartTo.SteadyMs - FStartFrom->SteadyMs : 0;
    const int64_t EndWidth = EndTo.SteadyMs - EndFrom.SteadyMs;
    const int64_t StartTwice = FStartTo.SteadyMs * 2 - StartWidth;
    const int64_t EndTwice = EndFrom.SteadyMs * 2 + EndWidth;
    Period.DurationMs = std::max<int64_t>(0, (EndTwice - StartTwice) / 2);
    Period.UncertaintyMs = (StartWidth + EndWidth + 1) / 2;
}

TSlowTracker::TEvent TSlowTracker::Finish(TOutageEnd End, const TStamp& EndTo,
                                          const TStamp& LastSeen) {
    TEvent Event{TChange::Ended, *FPeriod};
    Event.Period.End = End;
    Event.Period.EndFromMs = FLastAbove.WallMs;
    Event.Period.EndToMs = EndTo.WallMs;
    Measure(Event.Period, FLastAbove, End == TOutageEnd::Recovered ? EndTo : LastSeen);
    FPeriod.reset();
    return Event;
}

TSlowTracker::TEvent TSlowTracker::Answer(const TStamp& Now, bool Above) {
    const bool Slow = FPeriod.has_value();
    if (Above) {
        FLastAbove = Now;
    }
    if (Above != Slow) {
        // On the other side: the switch counts once it has held for HoldMs.
        if (!FSwitched) {
            FSwitched = Now;
        }
        if (Now.SteadyMs - FSwitched->SteadyMs < FRules.HoldMs) {
            return {};
        }
        if (Slow) {
            const TStamp EndTo = *FSwitched;
            FLastSide = Now;
            FSwitched.reset();
            return Finish(TOutageEnd::Recovered, EndTo, EndTo);
        }
        FStartFrom = FLastSide;
        FStartTo = *FSwitched;
        FSwitched.reset();
        FPeriod.emplace();
        FPeriod->Kind = TOutageKind::Slow;
        FPeriod->Host = FHost;
        FPeriod->StartFromMs =
            FStartFrom ? std::optional<int64_t>(FStartFrom->WallMs) : std::nullopt;
        FPeriod->StartToMs = FStartTo.WallMs;
        FPeriod->EndFromMs = Now.WallMs;
        Measure(*FPeriod, Now, Now);
        return {TChange::Began, *FPeriod};
    }
    // Back on its side before the switch held: the switch never happened.
    FSwitched.reset();
    FLastSide = Now;
    if (!Slow) {
        return {};
    }
    FPeriod->EndFromMs = Now.WallMs;
    Measure(*FPeriod, Now, Now);
    return {TChange::Lasts, *FPeriod};
}

TSlowTracker::TEvent TSlowTracker::Ping(const std::string& Host, int64_t WallMs,
                                        int64_t SteadyMs, std::optional<int64_t> RoundTripUs) {
    TEvent Event;
    if (Host != FHost) {
        Event = Unmonitored(WallMs, SteadyMs);
        FHost = Host;
    }
    if (!RoundTripUs) {
        if (FPeriod) {
            ++FPeriod->Lost;
        }
        return Event;
    }
    FLast.push_back(*RoundTripUs);
    FSumUs += *RoundTripUs;
    if (FLast.size() > size_t(std::max(FRules.Answers, 1))) {
        FSumUs -= FLast.front();
        FLast.pop_front();
    }
    if (FLast.size() < size_t(std::max(FRules.Answers, 1))) {
        return Event;
    }
    const bool Above = FSumUs > FRules.LimitUs * int64_t(FLast.size());
    const TEvent Changed = Answer({WallMs, SteadyMs}, Above);
    return Changed.Change == TChange::None ? Event : Changed;
}

TSlowTracker::TEvent TSlowTracker::Unmonitored(int64_t WallMs, int64_t SteadyMs) {
    TEvent Event;
    if (FPeriod) {
        // Last seen slow at its last answer past the limit.
        Event = Finish(TOutageEnd::Unknown, {WallMs, SteadyMs}, FLastAbove);
    }
    Reset();
    return Event;
}
