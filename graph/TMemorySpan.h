// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPingHistory.h"
#include "TPlotPoints.h"
#include "TRangeStatistics.h"

#include <cstddef>
#include <memory>

// The summary and the plot's points of a span of this run's pings, kept in
// step with them: new pings at the end of an unchanged span are added to what
// was computed before; anything else computes the span afresh.
class TMemorySpan {
public:
    void Update(const TPingHistory& History, qint64 FromMs, qint64 ToMs, int Columns);
    void Reset() { *this = TMemorySpan(); }

    TRangeSummary Summary() const { return FAccumulator.Result(); }
    TPlotPoints Points() const { return FThinner ? FThinner->Points() : TPlotPoints(); }

private:
    qint64 FFromMs = 0;
    qint64 FToMs = -1;
    int FColumns = 0;
    std::size_t FFirstAdded = 0; // Added() numbering of the span's first and end samples
    std::size_t FEndAdded = 0;
    std::size_t FSteps = 0; // the history's clock steps it was built after
    TRangeAccumulator FAccumulator;
    std::unique_ptr<TPlotThinner> FThinner;
    bool FThinned = false;
};
