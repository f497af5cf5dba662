// SPDX-License-Identifier: GPL-3.0-or-later
#include "TMemorySpan.h"

void TMemorySpan::Update(const TPingHistory& History, qint64 FromMs, qint64 ToMs, int Columns) {
    const auto [First, Last] = History.Range(FromMs, ToMs);
    const std::size_t Base = History.Added() - History.Size();
    const bool Thinned = TPlotBuilder::Thinned(Last - First, Columns);
    const bool Growing = FFromMs == FromMs && FToMs == ToMs && FColumns == Columns &&
                         FThinned == Thinned && FSteps == History.Steps() &&
                         FFirstAdded == Base + First && FEndAdded <= Base + Last &&
                         FEndAdded >= Base + First && FThinner != nullptr;
    std::size_t From = First;
    if (Growing) {
        From = FEndAdded - Base;
    } else {
        FFromMs = FromMs;
        FToMs = ToMs;
        FColumns = Columns;
        FThinned = Thinned;
        FSteps = History.Steps();
        FFirstAdded = Base + First;
        FAccumulator = TRangeAccumulator();
        FThinner = std::make_unique<TPlotThinner>(FromMs, ToMs, Columns, Thinned);
    }
    for (auto it = History.begin() + From; it != History.begin() + Last; ++it) {
        FAccumulator.Add(*it);
        FThinner->Add(*it);
    }
    FEndAdded = Base + Last;
}
