// SPDX-License-Identifier: GPL-3.0-or-later
#include "TGraphReport.h"

#include "THistoryStore.h"
#include "TReportData.h"
#include "TReportPdf.h"

#include <QCoreApplication>

#include <algorithm>

namespace TGraphReport {

namespace {

constexpr qint64 OutageMarginMs = 60 * 60 * 1000;

} // namespace

std::pair<qint64, qint64> OutageSpan(const TOutage& Outage, qint64 NowMs) {
    const qint64 From = Outage.StartFromMs.value_or(Outage.StartToMs);
    const qint64 To = Outage.End == TOutageEnd::Open ? std::max<qint64>(NowMs, Outage.EndFromMs)
                                                     : Outage.EndToMs.value_or(Outage.EndFromMs);
    return {From - OutageMarginMs, To + OutageMarginMs};
}

std::string NewestHost(THistoryStore& Store, qint64 FromMs, qint64 ToMs) {
    const std::vector<THistoryMinute> Minutes = Store.Minutes(FromMs, ToMs);
    // The Ping page's host: the graph draws no target's pings.
    const auto Last = std::find_if(Minutes.rbegin(), Minutes.rend(),
                                   [](const THistoryMinute& m) { return !m.Listed; });
    return Last == Minutes.rend() ? std::string() : Last->Host;
}

bool Write(THistoryStore& Store, const std::string& Host, qint64 FromMs, qint64 ToMs,
           qint64 NowMs, const QString& Path, QString& Error) {
    const auto Data = GatherReport(Store, {Host, FromMs, ToMs, NowMs});
    if (!Data) {
        Error = QCoreApplication::translate(
                    "TGraphReport", "nessun ping di %1 nella cronologia per questo intervallo.")
                    .arg(QString::fromStdString(Host));
        return false;
    }
    return WriteReportPdf(*Data, Path, QCoreApplication::applicationVersion(), NowMs, Error);
}

} // namespace TGraphReport
