// SPDX-License-Identifier: GPL-3.0-or-later
#include "THistoryReader.h"

#include "HistoryStats.h"

#include <algorithm>
#include <limits>
#include <string>

namespace {

// Where no ping has been pruned yet, the pings are complete from the beginning of time.
constexpr int64_t NoStamp = std::numeric_limits<int64_t>::min();

std::string BucketColumns() {
    std::string Columns;
    for (int B = 0; B < HistoryBucketCount; ++B) {
        Columns += ", b" + std::to_string(B);
    }
    return Columns;
}

// Smallest multiple of Step at or above Value, for positive values.
int64_t CeilDiv(int64_t Value, int64_t Step) {
    return (Value + Step - 1) / Step;
}

// Fills the counts and round trips of Minute from columns From, From + 1, ...
void ReadMinute(const TSqlStatement& Row, int From, THistoryMinute& Minute) {
    Minute.Count = Row.Int(From);
    Minute.Lost = Row.Int(From + 1);
    Minute.MinUs = Row.Int(From + 2);
    Minute.MaxUs = Row.Int(From + 3);
    Minute.SumUs = Row.Int(From + 4);
    Minute.SumSqUs = Row.Int(From + 5);
    for (int B = 0; B < HistoryBucketCount; ++B) {
        Minute.Buckets[static_cast<size_t>(B)] = Row.Int(From + 6 + B);
    }
}

} // namespace

int64_t MinuteOf(int64_t UtcMs) {
    return UtcMs >= 0 ? UtcMs / THistoryReader::MsPerMinute
                      : -((-UtcMs + THistoryReader::MsPerMinute - 1) / THistoryReader::MsPerMinute);
}

int64_t HourOfMinute(int64_t Minute) {
    return Minute >= 0 ? Minute / 60 : -((59 - Minute) / 60);
}

int THistoryReader::Prepare(sqlite3* Db) {
    const std::string Aggregates = ", count, lost, coalesce(min_us, 0), coalesce(max_us, 0), "
                                   "sum_us, sumsq_us" +
                                   BucketColumns();
    // ?9 in every scoped read: the highest `listed` it returns (THistoryScope).
    const std::string Scoped = "target IN (SELECT id FROM target WHERE listed <= ?9)";
    const std::pair<TSqlStatement*, std::string> Statements[] = {
        // min() and max() each on their own, so each is one look-up in an index.
        {&FExtent, "SELECT (SELECT utc_ms FROM ping WHERE " + Scoped + " ORDER BY utc_ms LIMIT 1), "
                   "(SELECT utc_ms FROM ping WHERE " + Scoped + " ORDER BY utc_ms DESC LIMIT 1), "
                   "(SELECT minute FROM minute WHERE " + Scoped + " ORDER BY minute LIMIT 1), "
                   "(SELECT minute FROM minute WHERE " + Scoped + " ORDER BY minute DESC LIMIT 1), "
                   "(SELECT min(start_ms) FROM period WHERE listed <= ?9), "
                   "(SELECT coalesce(end_ms, start_ms) FROM period WHERE listed <= ?9 "
                   "ORDER BY start_ms DESC LIMIT 1)"},
        {&FPings, "SELECT p.id, p.utc_ms, t.host, t.address, t.family, p.kind, p.rtt_us, "
                  "p.ttl, p.bytes FROM ping p JOIN target t ON t.id = p.target "
                  "WHERE p.utc_ms >= ?1 AND p.utc_ms < ?2 AND t.listed <= ?9 "
                  "ORDER BY p.utc_ms, p.id"},
        {&FRawRange,
         "SELECT utc_ms, rtt_us FROM ping WHERE utc_ms >= ?1 AND utc_ms < ?2 AND " + Scoped},
        {&FRawInOrder,
         "SELECT id, rtt_us FROM ping WHERE utc_ms >= ?1 AND utc_ms < ?2 AND " + Scoped},
        {&FMinuteRange, "SELECT minute" + Aggregates + " FROM minute WHERE minute >= ?1 AND " +
                            "minute < ?2 AND " + Scoped + " ORDER BY minute"},
        {&FHourRange, "SELECT hour" + Aggregates + " FROM hour WHERE hour >= ?1 AND hour < ?2 AND " +
                          Scoped + " ORDER BY hour"},
        // A closed period that overlaps the range began at most ?3 before it;
        // an open one may have begun at any time, and has an index of its own.
        {&FPeriods, "SELECT id, kind, start_ms, end_ms FROM period WHERE start_ms >= ?1 - ?3 "
                    "AND start_ms < ?2 AND (end_ms IS NULL OR end_ms >= ?1) AND listed <= ?9 "
                    "UNION ALL SELECT id, kind, start_ms, end_ms FROM period INDEXED BY "
                    "period_open WHERE end_ms IS NULL AND start_ms < ?1 - ?3 AND listed <= ?9 "
                    "ORDER BY 3, 1"},
        {&FLongest, "SELECT coalesce(max(end_ms - start_ms), 0) FROM period"},
        {&FMinutes, "SELECT minute, t.host, t.address, t.family, t.listed" + Aggregates +
                        " FROM minute JOIN target t ON t.id = minute.target "
                        "WHERE minute >= ?1 AND minute < ?2 ORDER BY minute, target"},
        {&FRawFrom, "SELECT value FROM meta WHERE key = 'raw_from_ms'"},
    };
    for (const auto& [Statement, Sql] : Statements) {
        if (const int Rc = Statement->Prepare(Db, Sql); Rc != SQLITE_OK) {
            return Rc;
        }
    }
    return SQLITE_OK;
}

int THistoryReader::Extent(std::optional<THistoryExtent>& Out) {
    const TSqlReset Reset(FExtent);
    FExtent.Bind(9, FMaxListed);
    const int Rc = FExtent.Step();
    if (Rc != SQLITE_ROW) {
        return Rc;
    }
    const auto At = [&](int Column, int64_t Scale = 1, int64_t Add = 0) {
        const std::optional<int64_t> Value = FExtent.OptionalInt(Column);
        return Value ? std::optional(*Value * Scale + Add) : std::nullopt;
    };
    // The newest minute reaches past the newest ping: it counts only once no ping is left.
    const std::optional<int64_t> LastPing = At(1);
    const std::optional<int64_t> Firsts[] = {At(0), At(2, MsPerMinute), At(4)};
    const std::optional<int64_t> Lasts[] = {
        LastPing ? LastPing : At(3, MsPerMinute, MsPerMinute - 1), At(5)};
    Out.reset();
    for (const std::optional<int64_t>& First : Firsts) {
        if (First) {
            Out =
                Out ? THistoryExtent{std::min(Out->FirstMs, *First), std::max(Out->LastMs, *First)}
                    : THistoryExtent{*First, *First};
        }
    }
    for (const std::optional<int64_t>& Last : Lasts) {
        if (Out && Last) {
            Out->LastMs = std::max(Out->LastMs, *Last);
        }
    }
    return SQLITE_OK;
}

int THistoryReader::Pings(int64_t FromMs, int64_t ToMs, std::vector<THistoryPing>& Out) {
    const TSqlReset Reset(FPings);
    FPings.Bind(1, FromMs);
    FPings.Bind(2, ToMs);
    FPings.Bind(9, FMaxListed);
    int Rc = SQLITE_ROW;
    while ((Rc = FPings.Step()) == SQLITE_ROW) {
        THistoryPing& Ping = Out.emplace_back();
        Ping.Id = FPings.Int(0);
        Ping.UtcMs = FPings.Int(1);
        Ping.Host = FPings.Text(2);
        Ping.Address = FPings.Text(3);
        Ping.Family = static_cast<uint8_t>(FPings.Int(4));
        Ping.Kind = static_cast<TReplyStatusKind>(FPings.Int(5));
        Ping.RoundTripUs = FPings.OptionalInt(6);
        Ping.Ttl = static_cast<uint8_t>(FPings.Int(7));
        Ping.Bytes = static_cast<int32_t>(FPings.Int(8));
    }
    return Rc == SQLITE_DONE ? SQLITE_OK : Rc;
}

int THistoryReader::Series(int64_t FromMs, int64_t ToMs, int Columns,
                           std::vector<THistoryColumn>& Out) {
    if (ToMs <= FromMs || Columns <= 0) {
        return SQLITE_OK;
    }
    int64_t RawFromMs = 0;
    if (const int Rc = RawFrom(RawFromMs); Rc != SQLITE_OK) {
        return Rc;
    }
    const int64_t Width = CeilDiv(ToMs - FromMs, Columns);
    if (FromMs >= RawFromMs && Width < MsPerMinute && ToMs - FromMs <= MaxRawSeriesMs) {
        return RawSeries(FromMs, ToMs, Width, Out);
    }
    return MinuteSeries(FromMs, ToMs, Columns, Out);
}

int THistoryReader::RawSeries(int64_t FromMs, int64_t ToMs, int64_t Width,
                              std::vector<THistoryColumn>& Out) {
    const size_t Count = static_cast<size_t>(CeilDiv(ToMs - FromMs, Width));
    std::vector<std::vector<int64_t>> RoundTrips(Count);
    std::vector<int64_t> Pings(Count, 0);
    {
        const TSqlReset Reset(FRawRange);
        FRawRange.Bind(1, FromMs);
        FRawRange.Bind(2, ToMs);
        FRawRange.Bind(9, FMaxListed);
        int Rc = SQLITE_ROW;
        while ((Rc = FRawRange.Step()) == SQLITE_ROW) {
            const size_t Column = static_cast<size_t>((FRawRange.Int(0) - FromMs) / Width);
            ++Pings[Column];
            if (const auto RoundTrip = FRawRange.OptionalInt(1)) {
                RoundTrips[Column].push_back(*RoundTrip);
            }
        }
        if (Rc != SQLITE_DONE) {
            return Rc;
        }
    }
    for (size_t C = 0; C < Count; ++C) {
        if (Pings[C] > 0) {
            THistoryColumn& Column = Out.emplace_back();
            Column.FromMs = FromMs + static_cast<int64_t>(C) * Width;
            Column.ToMs = std::min(ToMs, Column.FromMs + Width);
            FillColumn(Column, RoundTrips[C], Pings[C]);
        }
    }
    return SQLITE_OK;
}

template <typename TUse>
int THistoryReader::EachRow(TSqlStatement& Range, int64_t First, int64_t End, int64_t Scale,
                            TUse Use) {
    const TSqlReset Reset(Range);
    Range.Bind(1, First);
    Range.Bind(2, End);
    Range.Bind(9, FMaxListed);
    int Rc = SQLITE_ROW;
    THistoryMinute Minute;
    while ((Rc = Range.Step()) == SQLITE_ROW) {
        Minute.Minute = Range.Int(0) * Scale;
        ReadMinute(Range, 1, Minute);
        Use(Minute);
    }
    return Rc == SQLITE_DONE ? SQLITE_OK : Rc;
}

template <typename TUse> int THistoryReader::EachAggregate(int64_t First, int64_t End, TUse Use) {
    // The whole hours inside from the hours' table, the minutes at either edge
    // from the minutes': the same sums, from a sixtieth of the rows.
    const int64_t FirstHour = HourOfMinute(First + MinutesPerHour - 1);
    const int64_t EndHour = HourOfMinute(End);
    if (EndHour - FirstHour < 2) {
        return EachRow(FMinuteRange, First, End, 1, Use);
    }
    int Rc = EachRow(FMinuteRange, First, FirstHour * MinutesPerHour, 1, Use);
    if (Rc == SQLITE_OK) {
        Rc = EachRow(FHourRange, FirstHour, EndHour, MinutesPerHour, Use);
    }
    if (Rc == SQLITE_OK) {
        Rc = EachRow(FMinuteRange, EndHour * MinutesPerHour, End, 1, Use);
    }
    return Rc;
}

int THistoryReader::MinuteSeries(int64_t FromMs, int64_t ToMs, int Columns,
                                 std::vector<THistoryColumn>& Out) {
    const int64_t First = MinuteOf(FromMs);
    const int64_t End = MinuteOf(ToMs - 1) + 1;
    int64_t Grid = First;
    int64_t Width = CeilDiv(End - First, Columns);
    const bool Hours = Width >= MinutesPerHour;
    if (Hours) {
        // Columns of whole hours on the hour, so each hour's row falls in one.
        Grid = HourOfMinute(First) * MinutesPerHour;
        Width = CeilDiv(CeilDiv(End - Grid, Columns), MinutesPerHour) * MinutesPerHour;
    }
    std::vector<THistoryTally> Tallies(static_cast<size_t>(CeilDiv(End - Grid, Width)));
    const auto Add = [&](const THistoryMinute& Minute) {
        Tallies[static_cast<size_t>((Minute.Minute - Grid) / Width)].Add(Minute);
    };
    const int Rc =
        Hours ? EachAggregate(First, End, Add) : EachRow(FMinuteRange, First, End, 1, Add);
    if (Rc != SQLITE_OK) {
        return Rc;
    }
    for (size_t C = 0; C < Tallies.size(); ++C) {
        if (Tallies[C].Count > 0) {
            THistoryColumn& Column = Out.emplace_back();
            const int64_t Start = Grid + static_cast<int64_t>(C) * Width;
            Column.FromMs = std::max(First, Start) * MsPerMinute;
            Column.ToMs = std::min(End, Start + Width) * MsPerMinute;
            FillColumn(Column, Tallies[C]);
        }
    }
    return SQLITE_OK;
}

int THistoryReader::Periods(int64_t FromMs, int64_t ToMs, int64_t LongestMs,
                            std::vector<THistoryPeriod>& Out) {
    const TSqlReset Reset(FPeriods);
    FPeriods.Bind(1, FromMs);
    FPeriods.Bind(2, ToMs);
    FPeriods.Bind(3, LongestMs);
    FPeriods.Bind(9, FMaxListed);
    int Rc = SQLITE_ROW;
    while ((Rc = FPeriods.Step()) == SQLITE_ROW) {
        Out.push_back({FPeriods.Int(0), static_cast<THistoryPeriodKind>(FPeriods.Int(1)),
                       FPeriods.Int(2), FPeriods.OptionalInt(3)});
    }
    return Rc == SQLITE_DONE ? SQLITE_OK : Rc;
}

int THistoryReader::Summary(int64_t FromMs, int64_t ToMs, THistorySummary& Out) {
    Out = {};
    if (ToMs <= FromMs) {
        return SQLITE_OK;
    }
    int64_t RawFromMs = 0;
    if (const int Rc = RawFrom(RawFromMs); Rc != SQLITE_OK) {
        return Rc;
    }
    if (FromMs < RawFromMs) {
        THistoryTally Tally;
        const int Rc = EachAggregate(MinuteOf(FromMs), MinuteOf(ToMs - 1) + 1,
                                     [&](const THistoryMinute& Minute) { Tally.Add(Minute); });
        Out = SummaryOf(Tally);
        return Rc;
    }
    // Read in stamp order through the index, then put in storage order: only
    // a wall clock set back leaves anything to sort.
    const TSqlReset Reset(FRawInOrder);
    FRawInOrder.Bind(1, FromMs);
    FRawInOrder.Bind(2, ToMs);
    FRawInOrder.Bind(9, FMaxListed);
    std::vector<std::pair<int64_t, int64_t>> Answered; // id, round trip
    int64_t Count = 0;
    int Rc = SQLITE_ROW;
    while ((Rc = FRawInOrder.Step()) == SQLITE_ROW) {
        ++Count;
        if (const auto RoundTrip = FRawInOrder.OptionalInt(1)) {
            Answered.emplace_back(FRawInOrder.Int(0), *RoundTrip);
        }
    }
    if (!std::is_sorted(Answered.begin(), Answered.end())) {
        std::sort(Answered.begin(), Answered.end());
    }
    std::vector<int64_t> RoundTrips(Answered.size());
    std::transform(Answered.begin(), Answered.end(), RoundTrips.begin(),
                   [](const auto& Ping) { return Ping.second; });
    Out = SummaryOf(RoundTrips, Count);
    return Rc == SQLITE_DONE ? SQLITE_OK : Rc;
}

int THistoryReader::Minutes(int64_t FromMs, int64_t ToMs, std::vector<THistoryMinute>& Out) {
    const TSqlReset Reset(FMinutes);
    FMinutes.Bind(1, MinuteOf(FromMs));
    FMinutes.Bind(2, ToMs > FromMs ? MinuteOf(ToMs - 1) + 1 : MinuteOf(FromMs));
    int Rc = SQLITE_ROW;
    while ((Rc = FMinutes.Step()) == SQLITE_ROW) {
        THistoryMinute& Minute = Out.emplace_back();
        Minute.Minute = FMinutes.Int(0);
        Minute.Host = FMinutes.Text(1);
        Minute.Address = FMinutes.Text(2);
        Minute.Family = static_cast<uint8_t>(FMinutes.Int(3));
        Minute.Listed = FMinutes.Int(4) != 0;
        ReadMinute(FMinutes, 5, Minute);
    }
    return Rc == SQLITE_DONE ? SQLITE_OK : Rc;
}

int THistoryReader::LongestPeriod(int64_t& Out) {
    const TSqlReset Reset(FLongest);
    const int Rc = FLongest.Step();
    Out = Rc == SQLITE_ROW ? FLongest.Int(0) : 0;
    return Rc == SQLITE_ROW ? SQLITE_OK : Rc;
}

int THistoryReader::RawFrom(int64_t& Out) {
    const TSqlReset Reset(FRawFrom);
    const int Rc = FRawFrom.Step();
    Out = Rc == SQLITE_ROW ? FRawFrom.Int(0) : NoStamp;
    return Rc == SQLITE_ROW || Rc == SQLITE_DONE ? SQLITE_OK : Rc;
}
