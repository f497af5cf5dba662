// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "THistoryTypes.h"
#include "TPlotPoints.h"
#include "TRangeStatistics.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

class THistoryStore;

// What the page reads from the history for a span, and how it words the
// history's state. Reads go through an Available store only.
namespace TGraphHistory {

// Spans up to this long draw each ping; wider ones a band per pixel column.
constexpr qint64 PingByPingMs = 60 * 60 * 1000;

// The one line under the range when the history is not kept; empty when it is.
QString StatusText(THistoryStatus Status);
QString PutAsideText(const QString& Path);

// The plot of [FromMs, ToMs) in Columns pixel columns, with the stretches no
// run or burst covered.
TPlotPoints Plot(THistoryStore& Store, qint64 FromMs, qint64 ToMs, int Columns);
// Ranges of [FromMs, ToMs) outside every run and burst; an open period lasts
// until NowMs.
std::vector<std::pair<qreal, qreal>> Unmonitored(const std::vector<THistoryPeriod>& Periods,
                                                 qint64 FromMs, qint64 ToMs, qint64 NowMs);
TRangeSummary Summary(THistoryStore& Store, qint64 FromMs, qint64 ToMs);
// The stored pings of the span in the page's CSV format, led by the minute
// aggregates of the older part whose pings are no longer kept.
QByteArray Csv(THistoryStore& Store, qint64 FromMs, qint64 ToMs);

} // namespace TGraphHistory
