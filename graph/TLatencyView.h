// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPlotView.h"

#include <QChartView>
#include <QPixmap>

#include <optional>
#include <vector>

class QDateTimeAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

// The plot: wall-clock time across, round trip in ms up. Qt Charts draws the
// axes, the grid, the dashed limit line and the legend; the
// round-trip line and the loss marks are drawn here over the plot area: a
// chart series cannot leave the gaps that lost pings make, and a scatter
// series of a day's losses (an item per mark) costs more than a ping may.
// Built into the zirko_chart module (see TPlotView).
class TLatencyView : public QChartView, public TPlotView {
    Q_OBJECT

public:
    explicit TLatencyView(QWidget* Parent = nullptr);

    QWidget* Widget() override { return this; }
    void Show(TPlotPoints Points, qint64 FromMs, qint64 ToMs, double MaxMs, int LimitMs,
              const QString& TimeFormat) override;
    void SetLimit(int LimitMs) override;
    void SetOverlays(std::vector<TPlotOverlay> Overlays) override;
    const std::vector<TPlotOverlay>& Overlays() const { return FOverlays; }

    const TPlotPoints& Points() const { return FPoints; }
    QRectF PlotArea() const override;
    // The time at a pixel column of the plot area.
    qint64 TimeAt(qreal X) const;
    qint64 FromMs() const override { return FFromMs; }
    qint64 ToMs() const override { return FToMs; }
    double TopMs() const { return FTopMs; }

protected:
    void paintEvent(QPaintEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;

private:
    void DrawData(QPainter* Painter);
    void DrawBackground(QPainter* Painter, const QRectF& Area) const;
    void DrawLine(QPainter* Painter, const QRectF& Area, const TPlotPoints& Points, QPen Pen,
                  const QColor& Marks) const;

    QPixmap FChartImage;
    bool FChartDirty = true;
    QChart* FChart;
    QDateTimeAxis* FTime;
    QValueAxis* FMs;
    QLineSeries* FRoundTrip; // legend entry and pen of the line drawn here
    QScatterSeries* FLosses; // legend entry and colour of the marks drawn here
    QLineSeries* FLimit;
    TPlotPoints FPoints;
    std::vector<TPlotOverlay> FOverlays;
    std::vector<QLineSeries*> FOverlayEntries; // legend entries of the overlays
    qint64 FFromMs = 0;
    qint64 FToMs = 1;
    double FMaxMs = 0.0;
    double FOverlayMaxMs = 0.0;
    int FLimitMs = -1;
    double FAskedTopMs = 0.0;
    double FTopMs = 10.0;
    std::optional<qreal> FDragX; // while the left button drags the view
};
