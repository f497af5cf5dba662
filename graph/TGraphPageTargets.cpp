// SPDX-License-Identifier: GPL-3.0-or-later
// The page's targets: one shown in place of the Ping page's host, others drawn over it.
#include "TGraphPage.h"

#include "TGraphSpan.h"
#include "TGraphTargets.h"
#include "TMemorySpan.h"
#include "TPlotView.h"

#include <algorithm>

void TGraphPage::ShowTarget(size_t Index, qint64 FromMs, qint64 ToMs, int Columns) {
    // A target's ten minutes are a few hundred pings: read afresh at every redraw.
    TMemorySpan Span;
    Span.Update(FTargets->History(Index), FromMs, ToMs, Columns);
    FSummary = Span.Summary();
    ShowSummary();
    if (FView != nullptr) {
        Draw(Span.Points(), FromMs, ToMs, FSummary.MaxMs, Columns);
    }
}

int TGraphPage::PlotColumns() const {
    if (FView == nullptr) {
        return 0;
    }
    const int Area = int(FView->PlotArea().width());
    return std::max(Area >= 100 ? Area : FView->Widget()->width(), 100);
}

void TGraphPage::Draw(TPlotPoints Points, qint64 FromMs, qint64 ToMs, double MaxMs, int Columns) {
    FView->SetOverlays(FTargets->Overlays(FromMs, ToMs, Columns));
    FView->Show(std::move(Points), FromMs, ToMs, MaxMs, FLimitMs,
                TGraphSpan::AxisFormat(ToMs - FromMs));
}

void TGraphPage::SetTargets(const QStringList& Names) {
    FTargets->SetTargets(Names);
}

void TGraphPage::SelectTarget(size_t Index) {
    FTargets->Select(Index);
}

void TGraphPage::TargetsUpdated() {
    if (!isVisible() || FView == nullptr || !FTargets->Any()) {
        return;
    }
    if (FTargets->Selected()) {
        ScheduleRedraw(); // a target's line is read from memory
        return;
    }
    // Twice a second: the plot's own line, perhaps a month read from the history, stays.
    FView->SetOverlays(FTargets->Overlays(FView->FromMs(), FView->ToMs(), PlotColumns()));
}
