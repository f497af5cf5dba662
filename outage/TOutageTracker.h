// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TOutage.h"

#include <cstdint>
#include <optional>
#include <string>

// Follows the pings the statistics count and says when an outage begins, goes
// on and ends. Pure: the caller hands each ping's wall and monotonic stamps.
class TOutageTracker {
public:
    enum class TChange : uint8_t { None, Began, Lasts, Ended };
    struct TEvent {
        TChange Change = TChange::None;
        TOutage Outage; // as it stands after the change
    };

    // One ping. Alarm is the consecutive-loss alarm's decision for this ping, with
    // the threshold as set now; it begins an outage, the first answer ends it.
    TEvent Ping(const std::string& Host, int64_t WallMs, int64_t SteadyMs, bool Answered,
                bool Alarm);
    // Nobody watches from now on: an open outage ends with an unknown end, and
    // the next run starts without a known last answer.
    TEvent Unmonitored(int64_t WallMs, int64_t SteadyMs);

    const std::optional<TOutage>& Current() const { return FOutage; }
    // The history's row of the open outage, once stored.
    void SetCurrentId(int64_t Id);

private:
    struct TStamp {
        int64_t WallMs = 0;
        int64_t SteadyMs = 0;
    };
    void Measure(TOutage& Outage, const TStamp& EndTo) const;
    TEvent Finish(TOutageEnd End, const TStamp& At);

    std::string FHost;
    std::optional<TStamp> FLastAnswer;           // of this run
    std::optional<TStamp> FFirstLost, FLastLost; // of the current run of losses
    int64_t FLostInRun = 0;
    std::optional<TOutage> FOutage;
};
