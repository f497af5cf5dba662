// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TMetricsAnswer.h"
#include "TOutage.h"
#include "TReplyStatus.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Who is pinged: the labels every series carries.
struct TMetricsTarget {
    std::string Host;   // as typed in the field or on the command line
    std::string Ip;     // the address it resolved to; "" before it resolved
    std::string Source; // the bound source address; "" when none is bound

    bool operator==(const TMetricsTarget&) const = default;
};

// A watched target's own labels beside host, ip and source (its group's, such as name).
using TMetricsLabels = std::map<std::string, std::string>;

// The measurements and Zirko's state in the Prometheus exposition formats.
// Series stay under the labels they were counted with (a counter never goes
// back), so a host typed anew or resolved elsewhere starts series of its own;
// Zirko's own gauges describe the current target only.
// Many targets watched at once are kept apart by a key of the caller's instead: each has
// its series and Zirko's gauges from Watch, before its first answer, until Unwatch. In
// every family the current target's series come first, then the watched ones by key.
// Not thread-safe: fed and read from the GUI (main) thread only, as the
// monitor, the endpoint and the textfile all live there.
class TMetricsRegistry {
public:
    enum class TFormat : uint8_t {
        Prometheus,  // text format 0.0.4
        OpenMetrics, // OpenMetrics 1.0 text
    };
    // Upper bounds of the round-trip buckets in seconds: 5e-05 doubled 20 times
    // up to 26.2144 (+Inf comes on top).
    static constexpr std::size_t BucketCount = 20;
    static const std::array<double, BucketCount>& BucketBounds();
    // Targets kept at most; the one current longest ago is dropped first.
    static constexpr std::size_t MaxTargets = 16;

    // The target the following pings and Zirko's gauges belong to. Cheap when
    // unchanged, so it may be called before every ping. Pings before the first
    // call count under empty labels; Zirko's gauges appear with the first target.
    void SetTarget(const TMetricsTarget& Target);

    // One ping whose outcome was handled, each a request (smokeping_requests_total).
    // An echo reply is observed in the round-trip histogram (RoundTripUs, else
    // RoundTripMs) and sets the TTL gauge; timeouts, unreachables and TTL
    // exceeded are requests without an answer.
    void AddReply(const TReplyStatus& Reply);
    // The request could not be sent: a request, a send error, no answer.
    void AddSendError();
    // The answer could not be read: a request, a receive error, no answer.
    void AddReceiveError();

    // Zirko's state: a run of the schedule or a burst is going on (false in the
    // rest between runs and when stopped).
    void SetMonitoringActive(bool Active);
    // Lost pings in a row now (n_persi_consecutivi).
    void SetConsecutiveLost(int64_t Lost);
    // The open outage, or none: zirko_outage_active 1 from the alarm to the
    // first answer; the start stamp is its first lost ping (0 when none).
    void SetOutage(const std::optional<TOutage>& Current);
    // A slow period is open: zirko_slow_active 1 while it lasts.
    void SetSlowActive(bool Active) { FState.SlowActive = Active; }
    // The spinners: losses in a row that raise the alarm, the average limit.
    void SetAlarmThreshold(int64_t Losses);
    void SetAverageLimitMs(int64_t LimitMs);

    // Many targets: the series of AKey from now on, under ATarget and ALabels (names other
    // than host, ip and source). Labels that change (an address resolved anew) start its
    // series afresh, as a counter under new labels starts from zero anyway.
    using TKey = uint64_t;
    void Watch(TKey AKey, const TMetricsTarget& ATarget, const TMetricsLabels& ALabels = {});
    // Its series go from the exposition.
    void Unwatch(TKey AKey);
    std::size_t Watched() const { return FWatched.size(); }
    // As above, for a watched target; a key not watched is ignored.
    void AddReply(TKey AKey, const TReplyStatus& Reply);
    void AddSendError(TKey AKey);
    void AddReceiveError(TKey AKey);
    void SetMonitoringActive(TKey AKey, bool Active);
    void SetConsecutiveLost(TKey AKey, int64_t Lost);
    void SetOutage(TKey AKey, const std::optional<TOutage>& Current);
    void SetSlowActive(TKey AKey, bool Active);
    void SetAlarmThreshold(TKey AKey, int64_t Losses);
    void SetAverageLimitMs(TKey AKey, int64_t LimitMs);

    // The whole exposition, ready to serve or to write.
    std::string Text(TFormat Format) const;
    // The format an HTTP Accept header asks for: OpenMetrics only when it is
    // preferred over the text format (a missing or empty header gets the text format).
    static TFormat Negotiate(std::string_view Accept);
    static const char* ContentType(TFormat Format);
    // What the endpoint answers a request with this Accept header.
    TMetricsAnswer Answer(std::string_view Accept) const;

private:
    struct TSeries {
        TMetricsTarget Target;
        uint64_t LastCurrent = 0; // when it was last made the current target
        uint64_t Requests = 0, SendErrors = 0, ReceiveErrors = 0;
        std::array<uint64_t, BucketCount> Buckets{}; // each bucket's own, not cumulative
        uint64_t Answered = 0;                       // the +Inf bucket and _count
        double SumSeconds = 0;
        std::optional<int> Ttl;
    };
    // Zirko's gauges of one target.
    struct TState {
        bool Active = false;
        int64_t ConsecutiveLost = 0;
        bool OutageActive = false;
        int64_t OutageStartMs = 0;
        bool SlowActive = false;
        int64_t AlarmThreshold = 0;
        int64_t AverageLimitMs = 0;
    };
    struct TWatched {
        TMetricsTarget Target;
        TMetricsLabels Labels;
        std::string LabelText; // made once, as every scrape writes it some 30 times
        TSeries Series;
        TState State;
    };
    // One target's samples to write: its labels, series and gauges.
    struct TSampled {
        const std::string* Labels;
        const TSeries* Series;
        const TState* State; // null: no gauges (an earlier target of the page's)
    };
    TSeries& Current();
    static void AddReply(TSeries& Series, const TReplyStatus& Reply);
    static void SetOutage(TState& State, const std::optional<TOutage>& Current);
    TWatched* Find(TKey AKey);
    void WriteTargetFamilies(std::string& Out, TFormat Format,
                             const std::vector<TSampled>& All) const;
    void WriteHistogram(std::string& Out, const TSeries& Series, const std::string& Labels) const;
    void WriteStateFamilies(std::string& Out, TFormat Format,
                            const std::vector<TSampled>& All) const;

    std::vector<TSeries> FSeries; // in the order they began
    std::size_t FCurrent = 0;     // index into FSeries, valid when FHasCurrent
    bool FHasCurrent = false;
    uint64_t FChanges = 0;
    TState FState; // the current target's
    std::map<TKey, TWatched> FWatched;
};
