// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPlotPoints.h"

#include <QChartView>

class QDateTimeAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

// The plot: wall-clock time across, round trip in ms up. Qt Charts draws the
// axes, the grid, the dashed limit line, the loss marks and the legend; the
// round-trip line is drawn here over the plot area, because a chart series
// cannot leave the gaps that lost pings make.
class TLatencyView : public QChartView {
    Q_OBJECT

public:
    explicit TLatencyView(QWidget* Parent = nullptr);

    // Shows Points over [FromMs, ToMs] with the limit line at LimitMs; the
    // vertical axis reaches past the slowest answer and the limit.
    void Show(TPlotPoints Points, qint64 FromMs, qint64 ToMs, double MaxMs, int LimitMs,
              const QString& TimeFormat);
    // Moves only the limit line (and the top edge, if the limit sets it).
    void SetLimit(int LimitMs);

    const TPlotPoints& Points() const { return FPoints; }
    double TopMs() const { return FTopMs; }

protected:
    void drawForeground(QPainter* Painter, const QRectF& Rect) override;

private:
    void ApplyVerticalRange();

    QChart* FChart;
    QDateTimeAxis* FTime;
    QValueAxis* FMs;
    QLineSeries* FRoundTrip; // legend entry and pen of the line drawn here
    QLineSeries* FLimit;
    QScatterSeries* FLosses;
    TPlotPoints FPoints;
    qint64 FFromMs = 0;
    qint64 FToMs = 1;
    double FMaxMs = 0.0;
    int FLimitMs = 0;
    double FTopMs = 10.0;
};
