// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPlotPoints.h"

#include <QColor>
#include <QRectF>
#include <QString>

#include <functional>
#include <vector>

class QWidget;

// A target drawn over the plot in a colour of its own, named in the legend.
struct TPlotOverlay {
    QString Name;
    QColor Colour;
    TPlotPoints Points;
};

// What the "Grafico" page asks of its plot. The plot draws with Qt Charts, which
// lives in a module of its own (zirko_chart) loaded the first time a plot is made:
// a start that never shows the page maps none of it. Virtual, so the page reaches
// the plot without linking it.
class TPlotView {
public:
    virtual ~TPlotView() = default;
    virtual QWidget* Widget() = 0;
    // Shows Points over [FromMs, ToMs] with the limit line at LimitMs; the
    // vertical axis reaches past the slowest answer and the limit.
    virtual void Show(TPlotPoints Points, qint64 FromMs, qint64 ToMs, double MaxMs, int LimitMs,
                      const QString& TimeFormat) = 0;
    // Moves the limit line (and the top edge, if the limit sets it).
    virtual void SetLimit(int LimitMs) = 0;
    // Drawn with the next Show; the legend gains an entry for each.
    virtual void SetOverlays(std::vector<TPlotOverlay> Overlays) = 0;
    // The plot area in viewport pixels.
    virtual QRectF PlotArea() const = 0;
    virtual qint64 FromMs() const = 0;
    virtual qint64 ToMs() const = 0;

    // What the mouse asks for: Factor < 1 zooms in about AtMs (a wheel notch is
    // one step); a drag's positive delta moves towards later times; a double
    // click goes back to the live span.
    std::function<void(double Factor, qint64 AtMs)> ZoomRequested;
    std::function<void(qint64 DeltaMs)> PanRequested;
    std::function<void()> LiveRequested;

    // The module's plot, or nullptr (with the reason on stderr) where the module
    // cannot be loaded. Parent owns the widget, and with it the plot.
    static TPlotView* Make(QWidget* Parent);
};

// The one symbol the module exports for Make.
extern "C" {
using TMakePlotView = TPlotView* (*)(QWidget* Parent);
}
