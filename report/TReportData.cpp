// SPDX-License-Identifier: GPL-3.0-or-later
#include "TReportData.h"

#include "HistoryStats.h"
#include "THistoryStore.h"

#include <QDateTime>

#include <algorithm>

namespace {

constexpr int64_t MsPerMinute = 60'000;
constexpr int64_t MsPerHour = 60 * MsPerMinute;
// Plots of up to this span draw each ping, as the page does.
constexpr int64_t PingByPingMs = 3 * MsPerHour;
constexpr int PlotColumns = 480;

// Row starts: local midnights, or whole hours, from the range's start.
std::vector<TReportRow> RowsOf(int64_t FromMs, int64_t ToMs, bool Hourly) {
    std::vector<TReportRow> Rows;
    QDateTime At = QDateTime::fromMSecsSinceEpoch(FromMs);
    while (At.toMSecsSinceEpoch() < ToMs) {
        QDateTime Next;
        if (Hourly) {
            Next = QDateTime::fromMSecsSinceEpoch((At.toMSecsSinceEpoch() / MsPerHour + 1) *
                                                  MsPerHour);
        } else {
            Next = QDateTime(At.date().addDays(1), QTime(0, 0));
        }
        Rows.push_back({At.toMSecsSinceEpoch(), std::min<int64_t>(Next.toMSecsSinceEpoch(), ToMs), {}});
        At = Next;
    }
    return Rows;
}

// The stretches of [FromMs, Until) no run or burst covered.
std::vector<TReportSpan> UnmonitoredOf(const std::vector<THistoryPeriod>& Periods, int64_t FromMs,
                                       int64_t Until, int64_t NowMs) {
    std::vector<TReportSpan> Out;
    int64_t Covered = FromMs;
    for (const THistoryPeriod& p : Periods) {
        if (p.Kind == THistoryPeriodKind::Rest) {
            continue;
        }
        if (p.StartMs > Covered) {
            Out.emplace_back(Covered, std::min(p.StartMs, Until));
        }
        Covered = std::max(Covered, p.EndMs.value_or(std::max(NowMs, p.StartMs)));
        if (Covered >= Until) {
            return Out;
        }
    }
    if (Covered < Until) {
        Out.emplace_back(Covered, Until);
    }
    return Out;
}

int64_t Overlap(TReportSpan A, TReportSpan B) {
    return std::max<int64_t>(0, std::min(A.second, B.second) - std::max(A.first, B.first));
}

void FillPlot(THistoryStore& Store, TReportData& Data, const std::vector<THistoryMinute>& Minutes) {
    const TReportRequest& r = Data.Request;
    if (r.ToMs - r.FromMs <= PingByPingMs) {
        for (const THistoryPing& Ping : Store.Pings(r.FromMs, r.ToMs)) {
            if (Ping.Host == r.Host) {
                const int64_t Us = Ping.RoundTripUs.value_or(0);
                Data.Plot.push_back(
                    {Ping.UtcMs, Ping.UtcMs, 1, Ping.RoundTripUs ? 0 : 1, Us, Us, Us, Us, true});
            }
        }
        return;
    }
    const int64_t Width =
        std::max<int64_t>(MsPerMinute, (r.ToMs - r.FromMs + PlotColumns - 1) / PlotColumns);
    std::vector<THistoryTally> Tallies(size_t((r.ToMs - r.FromMs) / Width + 1));
    for (const THistoryMinute& m : Minutes) {
        const int64_t At = std::clamp<int64_t>(m.Minute * MsPerMinute, r.FromMs, r.ToMs - 1);
        Tallies[size_t((At - r.FromMs) / Width)].Add(m);
    }
    for (size_t i = 0; i < Tallies.size(); ++i) {
        if (Tallies[i].Count > 0) {
            THistoryColumn c;
            c.FromMs = r.FromMs + int64_t(i) * Width;
            c.ToMs = std::min(c.FromMs + Width, r.ToMs);
            FillColumn(c, Tallies[i]);
            Data.Plot.push_back(c);
        }
    }
}

void FillMonitored(THistoryStore& Store, TReportData& Data) {
    const TReportRequest& r = Data.Request;
    const int64_t Until = std::min(r.ToMs, std::max(r.NowMs, r.FromMs));
    Data.Unmonitored = UnmonitoredOf(Store.Periods(r.FromMs, r.ToMs), r.FromMs, Until, r.NowMs);
    Data.MonitoredMs = Until - r.FromMs;
    for (const TReportSpan& s : Data.Unmonitored) {
        Data.MonitoredMs -= s.second - s.first;
    }
    for (const TReportOutage& o : Data.Outages) {
        const TReportSpan Down = DownSpanOf(o.Outage, r.NowMs);
        int64_t Ms = Overlap(Down, {r.FromMs, Until});
        for (const TReportSpan& s : Data.Unmonitored) {
            Ms -= Overlap(Down, s);
        }
        Data.DownMs += std::max<int64_t>(0, Ms);
    }
    Data.DownMs = std::min(Data.DownMs, Data.MonitoredMs);
}

} // namespace

std::optional<double> TReportData::AvailabilityPercent() const {
    if (MonitoredMs <= 0) {
        return std::nullopt;
    }
    return 100.0 * double(MonitoredMs - DownMs) / double(MonitoredMs);
}

TReportSpan DownSpanOf(const TOutage& Outage, int64_t NowMs) {
    const int64_t Start =
        Outage.StartFromMs ? (*Outage.StartFromMs + Outage.StartToMs) / 2 : Outage.StartToMs;
    int64_t End = Outage.EndFromMs;
    if (Outage.End == TOutageEnd::Open) {
        End = std::max(NowMs, Outage.EndFromMs);
    } else if (Outage.EndToMs) {
        End = (Outage.EndFromMs + *Outage.EndToMs) / 2;
    }
    return {Start, std::max(Start, End)};
}

std::optional<TReportData> GatherReport(THistoryStore& Store, const TReportRequest& Request) {
    if (Request.ToMs <= Request.FromMs) {
        return std::nullopt;
    }
    TReportData Data;
    Data.Request = Request;
    std::vector<THistoryMinute> Minutes = Store.Minutes(Request.FromMs, Request.ToMs);
    std::erase_if(Minutes, [&](const THistoryMinute& m) { return m.Host != Request.Host; });
    if (Minutes.empty()) {
        return std::nullopt;
    }
    Data.Hourly = Request.ToMs - Request.FromMs < TReportData::HourlyBelowMs;
    Data.Rows = RowsOf(Request.FromMs, Request.ToMs, Data.Hourly);
    std::vector<THistoryTally> Tallies(Data.Rows.size());
    THistoryTally Total;
    for (const THistoryMinute& m : Minutes) {
        const int64_t At = m.Minute * MsPerMinute;
        const auto Row = std::upper_bound(Data.Rows.begin(), Data.Rows.end(), At,
                                          [](int64_t Ms, const TReportRow& r) { return Ms < r.FromMs; });
        Tallies[size_t(std::max<ptrdiff_t>(0, Row - Data.Rows.begin() - 1))].Add(m);
        Total.Add(m);
        if (std::find(Data.Addresses.begin(), Data.Addresses.end(), m.Address) ==
            Data.Addresses.end()) {
            Data.Addresses.push_back(m.Address);
        }
    }
    for (size_t i = 0; i < Data.Rows.size(); ++i) {
        Data.Rows[i].Figures.FromMs = Data.Rows[i].FromMs;
        Data.Rows[i].Figures.ToMs = Data.Rows[i].ToMs;
        FillColumn(Data.Rows[i].Figures, Tallies[i]);
    }
    FillColumn(Data.Total, Total);
    for (TOutage& o : Store.Outages(Request.FromMs, Request.ToMs)) {
        if (o.Host != Request.Host) {
            continue;
        }
        if (o.Kind == TOutageKind::Slow) {
            Data.SlowPeriods.push_back(std::move(o));
        } else {
            const int64_t Id = o.Id;
            Data.Outages.push_back({std::move(o), Store.OutageTrace(Id)});
        }
    }
    std::reverse(Data.Outages.begin(), Data.Outages.end());
    std::reverse(Data.SlowPeriods.begin(), Data.SlowPeriods.end());
    FillMonitored(Store, Data);
    FillPlot(Store, Data, Minutes);
    return Data;
}
