// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPlotPoints.h"

#include <QChartView>
#include <QColor>
#include <QPixmap>

#include <optional>
#include <vector>

class QDateTimeAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

// A target drawn over the plot in a colour of its own, named in the legend.
struct TPlotOverlay {
    QString Name;
    QColor Colour;
    TPlotPoints Points;
};

// The plot: wall-clock time across, round trip in ms up. Qt Charts draws the
// axes, the grid, the dashed limit line and the legend; the
// round-trip line and the loss marks are drawn here over the plot area: a
// chart series cannot leave the gaps that lost pings make, and a scatter
// series of a day's losses (an item per mark) costs more than a ping may.
class TLatencyView : public QChartView {
    Q_OBJECT

public:
    explicit TLatencyView(QWidget* Parent = nullptr);

    // Shows Points over [FromMs, ToMs] with the limit line at LimitMs; the
    // vertical axis reaches past the slowest answer and the limit.
    void Show(TPlotPoints Points, qint64 FromMs, qint64 ToMs, double MaxMs, int LimitMs,
              const QString& TimeFormat);
    // Moves the limit line (and the top edge, if the limit sets it).
    void SetLimit(int LimitMs);
    // Drawn with the next Show; the legend gains an entry for each.
    void SetOverlays(std::vector<TPlotOverlay> Overlays);
    const std::vector<TPlotOverlay>& Overlays() const { return FOverlays; }

    const TPlotPoints& Points() const { return FPoints; }
    // The plot area in viewport pixels, and the time at a pixel column of it.
    QRectF PlotArea() const;
    qint64 TimeAt(qreal X) const;
    qint64 FromMs() const { return FFromMs; }
    qint64 ToMs() const { return FToMs; }
    double TopMs() const { return FTopMs; }

signals:
    // Factor < 1 zooms in about AtMs; a wheel notch is one step.
    void ZoomRequested(double Factor, qint64 AtMs);
    // A drag: positive moves the view towards later times.
    void PanRequested(qint64 DeltaMs);
    void LiveRequested();

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
