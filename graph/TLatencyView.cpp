// SPDX-License-Identifier: GPL-3.0-or-later
#include "TLatencyView.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

// Head room above the slowest answer or the limit, whichever is higher, so
// the loss marks on the top edge stand clear of the line.
constexpr double HeadRoom = 1.15;
constexpr double LowestTopMs = 10.0;

} // namespace

TLatencyView::TLatencyView(QWidget* Parent)
    : QChartView(Parent), FChart(new QChart), FTime(new QDateTimeAxis), FMs(new QValueAxis),
      FRoundTrip(new QLineSeries), FLimit(new QLineSeries), FLosses(new QScatterSeries) {
    setObjectName(QStringLiteral("lv_grafico"));
    setAccessibleName(QStringLiteral("Grafico tempi di risposta"));
    setRenderHint(QPainter::Antialiasing);
    FChart->setMargins(QMargins(4, 4, 4, 4));
    FChart->setBackgroundRoundness(0);
    FChart->legend()->setAlignment(Qt::AlignTop);

    FRoundTrip->setName(QStringLiteral("Tempo di risposta (ms)"));
    QPen Line(QColor(0x20, 0x6a, 0xc8));
    Line.setWidthF(1.5);
    FRoundTrip->setPen(Line);
    FLimit->setName(QStringLiteral("Limite ms media"));
    QPen Dashed(QColor(0x60, 0x60, 0x60));
    Dashed.setStyle(Qt::DashLine);
    Dashed.setWidthF(1.2);
    FLimit->setPen(Dashed);
    FLosses->setName(QStringLiteral("Persi"));
    FLosses->setColor(Qt::red);
    FLosses->setBorderColor(Qt::red);
    FLosses->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    FLosses->setMarkerSize(6.0);
    for (QAbstractSeries* Series :
         {static_cast<QAbstractSeries*>(FRoundTrip), static_cast<QAbstractSeries*>(FLimit),
          static_cast<QAbstractSeries*>(FLosses)}) {
        FChart->addSeries(Series);
    }

    FTime->setTickCount(6);
    FMs->setLabelFormat(QStringLiteral("%.0f"));
    FMs->setTickCount(6);
    FChart->addAxis(FTime, Qt::AlignBottom);
    FChart->addAxis(FMs, Qt::AlignLeft);
    for (QAbstractSeries* Series : FChart->series()) {
        Series->attachAxis(FTime);
        Series->attachAxis(FMs);
    }
    setChart(FChart);
}

void TLatencyView::Show(TPlotPoints Points, qint64 FromMs, qint64 ToMs, double MaxMs, int LimitMs,
                        const QString& TimeFormat) {
    FPoints = std::move(Points);
    FFromMs = FromMs;
    FToMs = std::max(ToMs, FromMs + 1);
    FMaxMs = MaxMs;
    FLimitMs = LimitMs;
    if (FTime->format() != TimeFormat) {
        FTime->setFormat(TimeFormat);
    }
    FTime->setRange(QDateTime::fromMSecsSinceEpoch(FFromMs), QDateTime::fromMSecsSinceEpoch(FToMs));
    ApplyVerticalRange();
}

void TLatencyView::SetLimit(int LimitMs) {
    FLimitMs = LimitMs;
    ApplyVerticalRange();
}

void TLatencyView::ApplyVerticalRange() {
    FTopMs = std::max(LowestTopMs, std::ceil(std::max(FMaxMs, double(FLimitMs)) * HeadRoom));
    FMs->setRange(0.0, FTopMs);
    // Round steps; the top edge, where the loss marks sit, moves with them.
    FMs->applyNiceNumbers();
    FTopMs = FMs->max();
    FLimit->replace(
        QList<QPointF>{{double(FFromMs), double(FLimitMs)}, {double(FToMs), double(FLimitMs)}});
    QList<QPointF> Marks;
    Marks.reserve(static_cast<qsizetype>(FPoints.LossTimes.size()));
    for (const qreal When : FPoints.LossTimes) {
        Marks.append({When, FTopMs});
    }
    FLosses->replace(Marks);
    viewport()->update();
}

void TLatencyView::drawForeground(QPainter* Painter, const QRectF& Rect) {
    QChartView::drawForeground(Painter, Rect);
    if (FPoints.Segments.empty()) {
        return;
    }
    // Both axes are linear, so one scale maps every point of the plot area.
    const QRectF Area = FChart->mapRectToScene(FChart->plotArea());
    const double XScale = Area.width() / double(FToMs - FFromMs);
    const double YScale = Area.height() / FTopMs;
    const auto Map = [&](const QPointF& p) {
        return QPointF(Area.left() + (p.x() - FFromMs) * XScale, Area.bottom() - p.y() * YScale);
    };
    Painter->save();
    Painter->setClipRect(Area);
    Painter->setRenderHint(QPainter::Antialiasing);
    QPen Pen = FRoundTrip->pen();
    Painter->setPen(Pen);
    QPolygonF Line;
    for (const auto& Segment : FPoints.Segments) {
        Line.clear();
        Line.reserve(static_cast<qsizetype>(Segment.size()));
        for (const QPointF& p : Segment) {
            Line.append(Map(p));
        }
        if (Line.size() == 1) {
            // A lone answer between two losses is still a point of the line.
            Pen.setWidthF(3.0);
            Painter->setPen(Pen);
            Painter->drawPoint(Line.front());
            Pen.setWidthF(FRoundTrip->pen().widthF());
            Painter->setPen(Pen);
        } else {
            Painter->drawPolyline(Line);
        }
    }
    Painter->restore();
}
