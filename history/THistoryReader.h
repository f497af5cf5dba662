// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "THistoryTypes.h"
#include "TSqlStatement.h"

#include <cstdint>
#include <optional>
#include <vector>

// The queries the graph and the export need, on an open history. Every call
// returns SQLITE_OK or the error, which the store turns into its status.
// Ranges are [FromMs, ToMs) in UTC milliseconds.
class THistoryReader {
public:
    static constexpr int64_t MsPerMinute = 60'000;
    static constexpr int64_t MinutesPerHour = 60;
    // A series comes from the pings themselves when its range lies within full
    // resolution, spans at most this and its columns are narrower than a
    // minute; else from the minute aggregates, whatever their age. So a zoom
    // step reads at most some 20,000 pings, or some thousands of minutes and hours.
    static constexpr int64_t MaxRawSeriesMs = 12LL * 60 * MsPerMinute;

    int Prepare(sqlite3* Db);
    // Whose records the reads after it return; the report's minutes are never scoped.
    THistoryReader& SetScope(THistoryScope Scope) {
        FMaxListed = static_cast<int64_t>(Scope);
        return *this;
    }

    int Extent(std::optional<THistoryExtent>& Out);
    int Pings(int64_t FromMs, int64_t ToMs, std::vector<THistoryPing>& Out);
    // At most Columns columns of equal width, only those holding pings. From
    // aggregates the width is a whole number of minutes and the columns start
    // on the minute; from an hour on, whole hours on the hour.
    int Series(int64_t FromMs, int64_t ToMs, int Columns, std::vector<THistoryColumn>& Out);
    // The periods that overlap the range, an open one included. LongestMs is
    // at least the length of every closed period: it bounds the index search.
    int Periods(int64_t FromMs, int64_t ToMs, int64_t LongestMs, std::vector<THistoryPeriod>& Out);
    // The length of the longest closed period (a full scan: once per open).
    int LongestPeriod(int64_t& Out);
    // Exact, from every ping of the range, while the range lies within full
    // resolution; else from the whole minutes that overlap it.
    int Summary(int64_t FromMs, int64_t ToMs, THistorySummary& Out);
    // The aggregates of the minutes that overlap the range, in minute order.
    int Minutes(int64_t FromMs, int64_t ToMs, std::vector<THistoryMinute>& Out);
    // The stamp from which no ping has been pruned: before it, only aggregates.
    int RawFrom(int64_t& Out);

private:
    int RawSeries(int64_t FromMs, int64_t ToMs, int64_t Width, std::vector<THistoryColumn>& Out);
    int MinuteSeries(int64_t FromMs, int64_t ToMs, int Columns, std::vector<THistoryColumn>& Out);
    // Steps Range over its rows [First, End), handing each to Use as a minute
    // stamped Scale times its key.
    template <typename TUse>
    int EachRow(TSqlStatement& Range, int64_t First, int64_t End, int64_t Scale, TUse Use);
    // The aggregates of the minutes [First, End), whole hours as one row each.
    template <typename TUse> int EachAggregate(int64_t First, int64_t End, TUse Use);

    int64_t FMaxListed = 1;
    TSqlStatement FExtent, FPings, FRawRange, FRawInOrder, FMinuteRange, FHourRange, FPeriods,
        FMinutes;
    TSqlStatement FLongest, FRawFrom;
};

// UTC minute of a stamp, rounding down also before the epoch.
int64_t MinuteOf(int64_t UtcMs);
// UTC hour of a minute, rounding down likewise.
int64_t HourOfMinute(int64_t Minute);
