// SPDX-License-Identifier: GPL-3.0-or-later
#include "TOutageTracker.h"

#include <algorithm>

void TOutageTracker::SetCurrentId(int64_t Id) {
    if (FOutage) {
        FOutage->Id = Id;
    }
}

// Midpoints of the two brackets on the monotonic clock. Without a last answer the
// start is the first lost ping, and the duration a lower bound.
void TOutageTracker::Measure(TOutage& Outage, const TStamp& EndTo) const {
    const TStamp& Lost = *FFirstLost;
    const int64_t StartWidth = FLastAnswer ? Lost.SteadyMs - FLastAnswer->SteadyMs : 0;
    const int64_t EndWidth = EndTo.SteadyMs - FLastLost->SteadyMs;
    // Twice each midpoint, so odd widths lose nothing to rounding.
    const int64_t StartTwice = Lost.SteadyMs * 2 - StartWidth;
    const int64_t EndTwice = FLastLost->SteadyMs * 2 + EndWidth;
    Outage.DurationMs = std::max<int64_t>(0, (EndTwice - StartTwice) / 2);
    Outage.UncertaintyMs = (StartWidth + EndWidth + 1) / 2;
}

TOutageTracker::TEvent TOutageTracker::Finish(TOutageEnd End, const TStamp& At) {
    TEvent Event{TChange::Ended, *FOutage};
    Event.Outage.End = End;
    Event.Outage.EndToMs = At.WallMs;
    // Where watching stopped, the host was last seen down at the last lost ping.
    Measure(Event.Outage, End == TOutageEnd::Recovered ? At : *FLastLost);
    FOutage.reset();
    return Event;
}

TOutageTracker::TEvent TOutageTracker::Ping(const std::string& Host, int64_t WallMs,
                                            int64_t SteadyMs, bool Answered, bool Alarm) {
    TEvent Event;
    const TStamp Now{WallMs, SteadyMs};
    // Another host typed in the field: nothing is known of it before this ping.
    if (Host != FHost) {
        Event = Unmonitored(WallMs, SteadyMs);
        FHost = Host;
    }
    if (Answered) {
        if (FOutage) {
            Event = Finish(TOutageEnd::Recovered, Now);
        }
        FLastAnswer = Now;
        FFirstLost.reset();
        FLastLost.reset();
        FLostInRun = 0;
        return Event;
    }
    if (!FFirstLost) {
        FFirstLost = Now;
    }
    FLastLost = Now;
    ++FLostInRun;
    if (!FOutage && !Alarm) {
        return Event;
    }
    const bool Began = !FOutage;
    if (Began) {
        FOutage.emplace();
        FOutage->Host = Host;
        FOutage->StartFromMs =
            FLastAnswer ? std::optional<int64_t>(FLastAnswer->WallMs) : std::nullopt;
        FOutage->StartToMs = FFirstLost->WallMs;
    }
    FOutage->EndFromMs = WallMs;
    FOutage->Lost = FLostInRun;
    Measure(*FOutage, Now);
    return {Began ? TChange::Began : TChange::Lasts, *FOutage};
}

TOutageTracker::TEvent TOutageTracker::Unmonitored(int64_t WallMs, int64_t SteadyMs) {
    TEvent Event;
    if (FOutage) {
        Event = Finish(TOutageEnd::Unknown, {WallMs, SteadyMs});
    }
    FLastAnswer.reset();
    FFirstLost.reset();
    FLastLost.reset();
    FLostInRun = 0;
    return Event;
}
