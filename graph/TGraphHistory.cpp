// SPDX-License-Identifier: GPL-3.0-or-later
#include "TGraphHistory.h"

#include "TCsvExport.h"
#include "THistoryStore.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>

namespace TGraphHistory {

namespace {

constexpr qint64 MsPerMinute = 60 * 1000;

TPingSample SampleOf(const THistoryPing& Ping) {
    TPingSample s;
    s.WhenMs = s.AxisMs = Ping.UtcMs;
    // The plot counts a ping lost by its missing bytes; a stored one by its missing round trip.
    s.ReplyBytes = Ping.RoundTripUs ? std::max(Ping.Bytes, 1) : 0;
    s.RoundTripMs = uint32_t(Ping.RoundTripUs.value_or(0) / 1000);
    return s;
}

// Each ping, as the in-memory plot draws them, but with the stored microseconds.
void PingPoints(THistoryStore& Store, qint64 FromMs, qint64 ToMs, int Columns, TPlotPoints& Out) {
    const std::vector<THistoryPing> Pings = Store.Pings(FromMs, ToMs, THistoryScope::PingPage);
    if (TPlotBuilder::Thinned(Pings.size(), Columns)) {
        TPlotThinner Thinner(FromMs, ToMs, Columns, true);
        for (const THistoryPing& Ping : Pings) {
            Thinner.Add(SampleOf(Ping));
        }
        Out = Thinner.Points();
        return;
    }
    bool Open = false;
    for (const THistoryPing& Ping : Pings) {
        if (!Ping.RoundTripUs) {
            Out.LossTimes.push_back(qreal(Ping.UtcMs));
            Open = false;
            continue;
        }
        if (!Open) {
            Out.Segments.emplace_back();
            Open = true;
        }
        Out.Segments.back().emplace_back(qreal(Ping.UtcMs), *Ping.RoundTripUs / 1000.0);
    }
}

// A min-max band and the median per column; the median line breaks where a
// column is missing or lost every ping, as the ping line breaks at a loss.
void SeriesPoints(THistoryStore& Store, qint64 FromMs, qint64 ToMs, int Columns, TPlotPoints& Out) {
    qint64 PreviousEnd = -1;
    for (const THistoryColumn& c : Store.Series(FromMs, ToMs, Columns, THistoryScope::PingPage)) {
        const qreal Middle = (c.FromMs + c.ToMs) / 2.0;
        if (c.Lost > 0) {
            Out.LossTimes.push_back(Middle);
        }
        if (c.Count == c.Lost) {
            PreviousEnd = -1;
            continue;
        }
        Out.Bands.push_back({qreal(c.FromMs), qreal(c.ToMs), c.MinUs / 1000.0, c.MaxUs / 1000.0});
        if (c.FromMs != PreviousEnd) {
            Out.Segments.emplace_back();
        }
        Out.Segments.back().emplace_back(Middle, c.MedianUs / 1000.0);
        PreviousEnd = c.ToMs;
    }
}

} // namespace

QString StatusText(THistoryStatus Status) {
    const QString Only =
        QCoreApplication::translate("TGraphHistory", " Si vedono solo i ping di questa sessione.");
    switch (Status) {
    case THistoryStatus::Available:
        return {};
    case THistoryStatus::Closed:
        return QCoreApplication::translate("TGraphHistory",
                                           "Cronologia non salvata: il file non è aperto.") +
               Only;
    case THistoryStatus::Held:
        return QCoreApplication::translate(
                   "TGraphHistory",
                   "Cronologia non salvata: il file è in uso da un altro programma "
                   "o da un'altra copia di Zirko.") +
               Only;
    case THistoryStatus::ReadOnly:
        return QCoreApplication::translate(
                   "TGraphHistory", "Cronologia non salvata: il file o la sua cartella non si "
                                    "possono scrivere.") +
               Only;
    case THistoryStatus::DiskFull:
        return QCoreApplication::translate("TGraphHistory",
                                           "Cronologia non salvata: il disco è pieno.") +
               Only;
    case THistoryStatus::Corrupt:
        return QCoreApplication::translate("TGraphHistory",
                                           "Cronologia non salvata: il file è danneggiato.") +
               Only;
    case THistoryStatus::NewerSchema:
        return QCoreApplication::translate(
                   "TGraphHistory", "Cronologia non salvata: il file è di una versione più recente "
                                    "di Zirko.") +
               Only;
    case THistoryStatus::IoError:
        break;
    }
    return QCoreApplication::translate(
               "TGraphHistory", "Cronologia non salvata: errore di lettura o scrittura del file.") +
           Only;
}

QString PutAsideText(const QString& Path) {
    return QCoreApplication::translate(
               "TGraphHistory", "Il file della cronologia era danneggiato: è stato messo da parte "
                                "come %1 e ne è iniziato uno nuovo.")
        .arg(QDir::toNativeSeparators(Path));
}

TPlotPoints Plot(THistoryStore& Store, qint64 FromMs, qint64 ToMs, int Columns) {
    TPlotPoints Out;
    if (ToMs - FromMs <= PingByPingMs) {
        PingPoints(Store, FromMs, ToMs, Columns, Out);
    } else {
        SeriesPoints(Store, FromMs, ToMs, Columns, Out);
    }
    return Out;
}

std::vector<std::pair<qreal, qreal>> Unmonitored(const std::vector<THistoryPeriod>& Periods,
                                                 qint64 FromMs, qint64 ToMs, qint64 NowMs) {
    std::vector<std::pair<qreal, qreal>> Out;
    qint64 Covered = FromMs; // monitored up to here
    for (const THistoryPeriod& p : Periods) {
        if (p.Kind == THistoryPeriodKind::Rest) {
            continue;
        }
        const qint64 End =
            std::min<qint64>(p.EndMs.value_or(std::max<qint64>(NowMs, p.StartMs)), ToMs);
        if (p.StartMs > Covered) {
            Out.emplace_back(qreal(Covered), qreal(std::min<qint64>(p.StartMs, ToMs)));
        }
        Covered = std::max(Covered, End);
        if (Covered >= ToMs) {
            return Out;
        }
    }
    // The future is not shaded: nothing could have been monitored there yet.
    const qint64 Until = std::min(ToMs, NowMs);
    if (Covered < Until) {
        Out.emplace_back(qreal(Covered), qreal(Until));
    }
    return Out;
}

TRangeSummary Summary(THistoryStore& Store, qint64 FromMs, qint64 ToMs) {
    const THistorySummary s = Store.Summary(FromMs, ToMs, THistoryScope::PingPage);
    TRangeSummary Out;
    Out.Pings = int(s.Count);
    Out.Lost = int(s.Lost);
    Out.Exact = s.Exact;
    if (s.Answered() > 0) {
        Out.MinMs = s.MinUs / 1000.0;
        Out.MaxMs = s.MaxUs / 1000.0;
        Out.MeanMs = s.MeanUs / 1000.0;
        Out.MedianMs = s.MedianUs / 1000.0;
        Out.P95Ms = s.P95Us / 1000.0;
        Out.StdDevMs = s.StdDevUs / 1000.0;
        Out.JitterMs = s.JitterUs.value_or(0.0) / 1000.0;
        Out.Exact = s.Exact && (s.JitterUs || s.Answered() < 2);
    }
    return Out;
}

QByteArray Csv(THistoryStore& Store, qint64 FromMs, qint64 ToMs) {
    const std::vector<THistoryPing> Pings = Store.Pings(FromMs, ToMs, THistoryScope::PingPage);
    // Pruning takes the oldest pings first: the minutes before the first one
    // kept are known only as aggregates.
    const qint64 RawFrom = Pings.empty() ? ToMs : Pings.front().UtcMs;
    const qint64 AggregatesTo = RawFrom - (RawFrom % MsPerMinute + MsPerMinute) % MsPerMinute;
    QByteArray Out;
    if (AggregatesTo > FromMs) {
        std::vector<THistoryMinute> Minutes = Store.Minutes(FromMs, AggregatesTo);
        // The targets list's minutes are not the Ping page's.
        std::erase_if(Minutes, [](const THistoryMinute& m) { return m.Listed; });
        if (!Minutes.empty()) {
            Out += TCsvExport::MinuteHeader();
            for (const THistoryMinute& m : Minutes) {
                Out += TCsvExport::Row(m);
            }
            Out += "\r\n";
        }
    }
    Out += TCsvExport::Header();
    Out.reserve(Out.size() + qsizetype(Pings.size()) * 64);
    for (const THistoryPing& Ping : Pings) {
        Out += TCsvExport::Row(Ping);
    }
    return Out;
}

} // namespace TGraphHistory
