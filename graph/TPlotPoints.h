// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPingHistory.h"

#include <QPointF>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

// The fastest and slowest answer of one column of a wide view.
struct TPlotBand {
    qreal FromMs = 0;
    qreal ToMs = 0;
    qreal MinMs = 0;
    qreal MaxMs = 0;
};

// What the plot draws for a range: runs of answered pings as line segments
// (x in UTC milliseconds, y in ms) and the times of the lost ones. A lost ping
// ends a segment, so the line has a gap there. A wide view adds a band per
// column and its segments join the columns' medians. Unmonitored holds the
// stretches no run or burst covered, which are neither up nor down; Outages
// those from an outage's start to its end, Slow those of the slow periods.
struct TPlotPoints {
    std::vector<std::vector<QPointF>> Segments;
    std::vector<qreal> LossTimes;
    std::vector<TPlotBand> Bands;
    std::vector<std::pair<qreal, qreal>> Unmonitored;
    std::vector<std::pair<qreal, qreal>> Outages;
    std::vector<std::pair<qreal, qreal>> Slow; // slow periods, start to end

    std::size_t PointCount() const;
    // The slowest answer drawn, by line or band. Inline: the chart module uses it too.
    qreal HighestMs() const {
        qreal Highest = 0;
        for (const auto& Segment : Segments) {
            for (const QPointF& p : Segment) {
                Highest = std::max(Highest, p.y());
            }
        }
        for (const TPlotBand& b : Bands) {
            Highest = std::max(Highest, b.MaxMs);
        }
        return Highest;
    }
};

// Builds the points of one span sample by sample, so a new ping costs only
// itself: the slice still open is flushed into a copy when points are asked.
class TPlotThinner {
public:
    // Thin: one pair of answers per column instead of every sample.
    TPlotThinner(qint64 FromMs, qint64 ToMs, int Columns, bool Thin);
    ~TPlotThinner();
    TPlotThinner(const TPlotThinner&) = delete;
    TPlotThinner& operator=(const TPlotThinner&) = delete;

    void Add(const TPingSample& Sample);
    TPlotPoints Points() const;

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

namespace TPlotBuilder {

// Samples [First, Last) of History over the time span [FromMs, ToMs]. Up to
// 2 x Columns samples are drawn one by one; more are thinned to the fastest
// and the slowest answer of each of Columns time slices (so no spike is lost)
// and one loss mark per slice that lost any.
TPlotPoints Build(const TPingHistory& History, std::size_t First, std::size_t Last, qint64 FromMs,
                  qint64 ToMs, int Columns);
bool Thinned(std::size_t Count, int Columns);

} // namespace TPlotBuilder
