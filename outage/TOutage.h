// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How an outage ended: not yet, with an answer, or when nobody watched any more
// (a rest, the schedule stopped, the program ended), which is no recovery.
enum class TOutageEnd : uint8_t { Open = 0, Recovered = 1, Unknown = 2 };

// What a row of "Interruzioni" is: the host did not answer, or answered slowly
// (the average of its last answers past the latency limit; see TSlowTracker).
enum class TOutageKind : uint8_t { Down = 0, Slow = 1 };

// One outage: from the consecutive-loss alarm to the first answer. Its start and
// its end are each known only between two pings, and both brackets are kept.
// Stamps are UTC ms of the wall clock, for showing; the duration comes from the
// monotonic clock, so a clock set while the host is down does not change it.
struct TOutage {
    int64_t Id = 0;   // the history's row; 0 where it is not stored
    std::string Host; // as typed
    // The last answered ping before the run of losses; none where the run began
    // with the monitoring, so the host may have been down before.
    std::optional<int64_t> StartFromMs;
    int64_t StartToMs = 0;          // the first lost ping of the run
    int64_t EndFromMs = 0;          // the last lost ping so far
    std::optional<int64_t> EndToMs; // the answer, or when watching stopped
    TOutageEnd End = TOutageEnd::Open;
    int64_t Lost = 0; // lost pings of the run, those before the alarm included
    // Midpoint of the start bracket to midpoint of the end bracket, and half the
    // two brackets' widths; while open, up to the last lost ping.
    int64_t DurationMs = 0;
    int64_t UncertaintyMs = 0;
    // Where the path broke: the verdict of a short trace run when it began;
    // empty until one has finished.
    std::string Path;
    TOutageKind Kind = TOutageKind::Down;

    bool operator==(const TOutage&) const = default;
};

// One address at one hop of that trace.
struct TOutageHop {
    int Hop = 0;
    std::string Address; // empty for a hop where nothing answered
    int Sent = 0;
    int Received = 0;
    std::optional<int64_t> AverageUs; // none without an answer
    std::optional<int64_t> WorstUs;

    bool operator==(const TOutageHop&) const = default;
};

// The trace kept with an outage: its verdict sentence and its hops in order.
struct TOutageTrace {
    std::string Verdict;
    std::vector<TOutageHop> Hops;

    bool operator==(const TOutageTrace&) const = default;
};
