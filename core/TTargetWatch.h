// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "THistoryRecorder.h"
#include "TOutageTracker.h"
#include "TSlowTracker.h"
#include "TPingCounters.h"
#include "TProbePort.h"
#include "TTarget.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <queue>
#include <string>
#include <vector>

class TClock;
class THistoryStore;

// Watches any number of targets through one probe port, without a thread of its
// own: Step sends what is due on the steady clock and says when the next thing is
// due. Each target's sends are spread evenly over its interval (the n-th of N
// targets starts n/N of an interval in), each has its own statistics, outages and
// history rows. A name that does not resolve is tried again every ResolveRetryMs
// and counted, while the others go on.
class TTargetWatch {
public:
    struct TState {
        TTarget Target;
        uint64_t Id = 0; // the watch's own, kept while the target is: a key for its metrics
        std::optional<std::string> Address;
        TPingCounters Counters;
        TOutageTracker Outages;
        THistoryRecorder History{true};
        int64_t FailedLookups = 0;
        int64_t Sent = 0;
        bool Resolving = false;
        uint32_t Sequence = 0;       // of the probe in flight or last sent
        int64_t NextLookupMs = 0;    // steady; a failed lookup waits until then
        int64_t OutageWrittenMs = 0; // steady
        TSlowTracker Slow;           // by the target's LimitMs
        int64_t SlowWrittenMs = 0;   // steady
    };

    TTargetWatch(TProbePort& Port, const TClock& Clock, std::vector<TTarget> Targets);
    ~TTargetWatch();
    TTargetWatch(const TTargetWatch&) = delete;
    TTargetWatch& operator=(const TTargetWatch&) = delete;

    // Where pings, outages and the watching period are kept; held until then.
    void HoldHistory();
    void SetHistory(THistoryStore* Store);

    // Watching begins now; the first sends (or lookups) are spread from here.
    void Start();
    // Watching ends: open outages end unknown, answers still on their way are dropped.
    void Stop();
    // Sends (or looks up) what is due now and stores the pings of the last
    // HistoryBatchMs; returns the steady time the next is due.
    int64_t Step();

    // The list read again: targets equal in every setting keep their state and
    // counters, removed ones end their outages, new ones start; while watching, the
    // sends are spread afresh from now and answers still on their way are dropped.
    void SetTargets(std::vector<TTarget> Targets);

    const std::vector<TState>& Targets() const { return FTargets; }
    void SetResolveRetryMs(int64_t Ms) { FResolveRetryMs = Ms; }

    // After each counted answer of a target, with its state as it left it.
    std::function<void(const TState&, const TReplyStatus&)> OnCounted;
    // A lookup of a target ended: its address, or none (FailedLookups counted).
    std::function<void(const TState&)> OnLookedUp;
    // An outage of a target began, lasts or ended (after the history has it).
    std::function<void(const TState&, const TOutageTracker::TEvent&)> OnOutage;
    // A slow period of a target began, lasts or ended (after the history has it);
    // not told while the target has an outage open.
    std::function<void(const TState&, const TSlowTracker::TEvent&)> OnSlow;

    static constexpr int64_t DefaultResolveRetryMs = 30'000;
    // Answered pings go to the store together at most this long after the first of them:
    // a commit per ping of a thousand targets would cost more than the probes, and a
    // target's pings of a batch update its minute's aggregate once.
    static constexpr int64_t HistoryBatchMs = 5000;

private:
    struct TDue {
        int64_t AtMs;
        size_t Index;
        // Ties go in the list's order, so a schedule is the same every time.
        bool operator>(const TDue& Other) const {
            return AtMs != Other.AtMs ? AtMs > Other.AtMs : Index > Other.Index;
        }
    };
    TProbePort::TToken TokenOf(size_t Index, uint32_t Sequence) const;
    TState* StateOf(TProbePort::TToken Token, uint32_t& Sequence);
    void Spread(int64_t NowMs);
    void Due(size_t Index, int64_t NowMs);
    void Answered(const TProbePort::TAnswer& Answer);
    void Resolved(TProbePort::TToken Token, const std::optional<std::string>& Address);
    void Announce(TState& State, TOutageTracker::TEvent Event);
    void AnnounceSlow(TState& State, TSlowTracker::TEvent Event);
    void FlushPings();

    TProbePort& FPort;
    const TClock& FClock;
    std::vector<TState> FTargets;
    std::priority_queue<TDue, std::vector<TDue>, std::greater<>> FQueue;
    THistoryRecorder FPeriods{true};
    int64_t FResolveRetryMs = DefaultResolveRetryMs;
    THistoryStore* FStore = nullptr;
    bool FHolding = false;
    uint64_t FLastId = 0;
    uint32_t FGeneration = 0; // of the current Start: older answers are dropped
    bool FActive = false;
    std::vector<THistoryPing> FPendingPings; // for FStore, in the order they came
    int64_t FPendingSinceMs = 0;             // steady
};
