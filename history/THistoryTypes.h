// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HistoryBuckets.h"
#include "TReplyStatus.h"

#include <cstdint>
#include <optional>
#include <string>

// Whether the history can be used, and if not, why. Every fault leaves the
// store in one of these; the program goes on without its history.
enum class THistoryStatus : uint8_t {
    Closed = 0,  // not opened yet, or closed
    Available,   // open, writable, locked for this process
    Held,        // another program or another copy of Zirko has the file
    ReadOnly,    // the file or its folder cannot be written
    DiskFull,    // no room left; opening again later retries
    Corrupt,     // damaged: found in use, or it could not be put aside at open
    NewerSchema, // written by a newer Zirko: left untouched
    IoError,     // any other failure of the file system or the database
};

// What a store keeps of an answered ping. Full: its own row, as the Ping page's graph reads
// at full zoom. PerMinute, for a store of many targets: only its minute's and hour's
// aggregates, which every reader falls back on; a ping lost or answered by an error keeps
// its row either way, the evidence an outage is read from.
enum class THistoryResolution : uint8_t { Full = 0, PerMinute = 1 };

// What the automatic monitoring was doing: a period with no end is still open.
enum class THistoryPeriodKind : uint8_t { Run = 0, Rest = 1, Burst = 2 };

// Whose records a read returns: the Ping page's alone (what its graph draws),
// or also those of the targets list, which share the file.
enum class THistoryScope : uint8_t { PingPage = 0, All = 1 };

// One ping as the statistics count it. A ping without a round trip is lost.
struct THistoryPing {
    // Insertion order, given by the store: only grows, unlike UtcMs, which
    // follows the wall clock.
    int64_t Id = 0;
    int64_t UtcMs = 0;
    std::string Host; // as the user typed it
    std::string Address;
    uint8_t Family = 4; // 4 or 6
    TReplyStatusKind Kind = skEchoReply;
    std::optional<int64_t> RoundTripUs;
    uint8_t Ttl = 0;
    int32_t Bytes = 0;
    bool Listed = false; // watched from the targets list, not the Ping page

    bool operator==(const THistoryPing&) const = default;
};

struct THistoryPeriod {
    int64_t Id = 0;
    THistoryPeriodKind Kind = THistoryPeriodKind::Run;
    int64_t StartMs = 0;
    std::optional<int64_t> EndMs; // none while the period is open

    bool operator==(const THistoryPeriod&) const = default;
};

// The first and last UTC stamp of anything stored (to the minute where only
// aggregates are left).
struct THistoryExtent {
    int64_t FirstMs = 0;
    int64_t LastMs = 0;
};

// One column of a downsampled series: the pings stamped in [FromMs, ToMs).
// Round trips in microseconds, of the answered pings; zero when none answered.
struct THistoryColumn {
    int64_t FromMs = 0;
    int64_t ToMs = 0;
    int64_t Count = 0;
    int64_t Lost = 0;
    int64_t MinUs = 0;
    int64_t MaxUs = 0;
    int64_t MedianUs = 0;
    int64_t P95Us = 0;
    // False where the column comes from minute aggregates: count, lost, min and
    // max are still exact, median and p95 lie within one bucket's width.
    bool Exact = true;
};

// What a range says about the line. Exact when computed from the stored pings;
// from minute aggregates (older than full resolution) median and p95 lie within
// one bucket's width and jitter is not known.
struct THistorySummary {
    int64_t Count = 0;
    int64_t Lost = 0;
    int64_t MinUs = 0;
    int64_t MaxUs = 0;
    int64_t MedianUs = 0;
    int64_t P95Us = 0;
    double MeanUs = 0.0;
    double StdDevUs = 0.0; // of the answered pings, population form
    // Mean absolute difference between consecutive answered round trips in
    // storage order; none from aggregates or with fewer than two answered.
    std::optional<double> JitterUs;
    bool Exact = true;

    int64_t Answered() const { return Count - Lost; }
};

// One minute's aggregate as kept beyond full resolution (and for wide views).
struct THistoryMinute {
    int64_t Minute = 0; // UTC minutes since the epoch
    std::string Host;
    std::string Address;
    uint8_t Family = 4;
    bool Listed = false;
    int64_t Count = 0;
    int64_t Lost = 0;
    int64_t MinUs = 0; // of the answered pings; zero when none answered
    int64_t MaxUs = 0;
    int64_t SumUs = 0;
    int64_t SumSqUs = 0; // sum of squares, in square microseconds
    THistoryBuckets Buckets{};
};
