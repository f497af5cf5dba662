// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TOutage.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

// When answers count as slow: the average of the last Answers answers past
// LimitUs, for HoldMs, both ways.
struct TSlowRules {
    static constexpr int DefaultAnswers = 10;
    static constexpr int64_t DefaultHoldMs = 60'000;
    int64_t LimitUs = 250'000;
    int Answers = DefaultAnswers;
    int64_t HoldMs = DefaultHoldMs;
};

// Follows the answers of one target and says when a slow period begins, goes
// on and ends: it begins once the average of the last Answers answers has
// stayed past the limit for HoldMs, and ends once it has stayed at or under it
// for as long. Lost pings do not move the average (outages are the outage
// tracker's). A period is a TOutage of kind Slow: its start lies between the
// last answer still under the limit and the first one past it, its end between
// the last answer past it and the first one under it for good; Lost counts the
// pings lost while it lasted. Pure: the caller hands each ping's stamps.
class TSlowTracker {
public:
    using TRules = TSlowRules;
    enum class TChange : uint8_t { None, Began, Lasts, Ended };
    struct TEvent {
        TChange Change = TChange::None;
        TOutage Period; // as it stands after the change
    };

    explicit TSlowTracker(TRules Rules = {}) : FRules(Rules) {}

    // The limit as set now; the periods already begun keep going by it.
    void SetLimitUs(int64_t LimitUs) { FRules.LimitUs = LimitUs; }
    const TRules& Rules() const { return FRules; }

    // One ping: its round trip, none when lost.
    TEvent Ping(const std::string& Host, int64_t WallMs, int64_t SteadyMs,
                std::optional<int64_t> RoundTripUs);
    // Nobody watches from now on: an open period ends with an unknown end, and
    // the next run starts with no answers counted.
    TEvent Unmonitored(int64_t WallMs, int64_t SteadyMs);

    const std::optional<TOutage>& Current() const { return FPeriod; }
    void SetCurrentId(int64_t Id);

private:
    struct TStamp {
        int64_t WallMs = 0;
        int64_t SteadyMs = 0;
    };
    TEvent Answer(const TStamp& Now, bool Above);
    TEvent Finish(TOutageEnd End, const TStamp& EndTo, const TStamp& LastSeen);
    void Measure(TOutage& Period, const TStamp& EndFrom, const TStamp& EndTo) const;
    void Reset();

    TRules FRules;
    std::string FHost;
    std::deque<int64_t> FLast; // the last Answers round trips
    int64_t FSumUs = 0;
    std::optional<TStamp> FLastSide;  // the last answer on the period's side before the switch
    std::optional<TStamp> FSwitched;  // the first answer on the other side, while it holds
    std::optional<TStamp> FStartFrom; // of the open period
    TStamp FStartTo, FLastAbove;
    std::optional<TOutage> FPeriod;
};
