// SPDX-License-Identifier: GPL-3.0-or-later
#include "TLatencyView.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsScene>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScatterSeries>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// Head room above the slowest answer or the limit, whichever is higher, so
// the loss marks on the top edge stand clear of the line.
constexpr double HeadRoom = 1.15;
constexpr double LowestTopMs = 10.0;
constexpr double LossMarkSize = 6.0;
// One wheel notch shows a fifth less (or a quarter more) of the span.
constexpr double ZoomPerNotch = 0.8;
constexpr int DegreesPerNotch = 120; // in eighths of a degree, as Qt counts them

template <typename TRequest, typename... TArgs>
void Ask(const TRequest& Request, TArgs... Args) {
    if (Request) {
        Request(Args...);
    }
}

} // namespace

extern "C" Q_DECL_EXPORT TPlotView* ZirkoMakePlotView(QWidget* Parent) {
    return new TLatencyView(Parent);
}

TLatencyView::TLatencyView(QWidget* Parent)
    : QChartView(Parent), FChart(new QChart), FTime(new QDateTimeAxis), FMs(new QValueAxis),
      FRoundTrip(new QLineSeries), FLosses(new QScatterSeries), FLimit(new QLineSeries) {
    setObjectName(QStringLiteral("lv_grafico"));
    setAccessibleName(tr("Grafico tempi di risposta"));
    setRenderHint(QPainter::Antialiasing);
    FChart->setMargins(QMargins(4, 4, 4, 4));
    FChart->setBackgroundRoundness(0);
    FChart->legend()->setAlignment(Qt::AlignTop);

    FRoundTrip->setName(tr("Tempo di risposta (ms)"));
    QPen Line(QColor(0x20, 0x6a, 0xc8));
    Line.setWidthF(1.0);
    FRoundTrip->setPen(Line);
    FLimit->setName(tr("Limite ms media"));
    QPen Dashed(QColor(0x60, 0x60, 0x60));
    Dashed.setStyle(Qt::DashLine);
    Dashed.setWidthF(1.2);
    FLimit->setPen(Dashed);
    FLosses->setName(tr("Persi"));
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
    // Any change of the chart's own items (axes after a new range, legend,
    // limit line) renders the chart image again.
    connect(scene(), &QGraphicsScene::changed, this, [this] {
        FChartDirty = true;
        viewport()->update();
    });
}

void TLatencyView::Show(TPlotPoints Points, qint64 FromMs, qint64 ToMs, double MaxMs, int LimitMs,
                        const QString& TimeFormat) {
    FPoints = std::move(Points);
    FFromMs = FromMs;
    FToMs = std::max(ToMs, FromMs + 1);
    FMaxMs = MaxMs;
    if (FTime->format() != TimeFormat) {
        FTime->setFormat(TimeFormat);
    }
    const bool Moved =
        FTime->min().toMSecsSinceEpoch() != FFromMs || FTime->max().toMSecsSinceEpoch() != FToMs;
    if (Moved) {
        FTime->setRange(QDateTime::fromMSecsSinceEpoch(FFromMs),
                        QDateTime::fromMSecsSinceEpoch(FToMs));
        FLimitMs = -1; // the limit line follows the span
    }
    SetLimit(LimitMs);
}

void TLatencyView::SetLimit(int LimitMs) {
    if (LimitMs != FLimitMs) {
        FLimitMs = LimitMs;
        // Across the shown span only: Qt Charts draws a line whose ends lie
        // far outside the axes at the wrong height.
        FLimit->replace(
            QList<QPointF>{{double(FFromMs), double(FLimitMs)}, {double(FToMs), double(FLimitMs)}});
    }
    double Top = LowestTopMs;
    Top = std::max(Top, std::ceil(std::max({FMaxMs, FOverlayMaxMs, double(FLimitMs)}) * HeadRoom));
    if (Top != FAskedTopMs) {
        FAskedTopMs = Top;
        FMs->setRange(0.0, Top);
        // Round steps; the top edge, where the loss marks sit, moves with them.
        FMs->applyNiceNumbers();
        FTopMs = FMs->max();
    }
    viewport()->update();
}

void TLatencyView::paintEvent(QPaintEvent* Event) {
    // The chart (axes, grid, legend, limit line) changes far less often than
    // the pings come: it is rendered once into an image and only the data is
    // drawn anew over it.
    const qreal Ratio = devicePixelRatioF();
    const QSize Pixels = viewport()->size() * Ratio;
    if (FChartDirty || FChartImage.size() != Pixels) {
        FChartImage = QPixmap(Pixels);
        FChartImage.setDevicePixelRatio(Ratio);
        FChartImage.fill(palette().color(QPalette::Window));
        QPainter Image(&FChartImage);
        Image.setRenderHint(QPainter::Antialiasing);
        const QRect Visible = viewport()->rect();
        scene()->render(&Image, QRectF(Visible), mapToScene(Visible).boundingRect());
        FChartDirty = false;
    }
    QPainter Painter(viewport());
    Painter.setClipRegion(Event->region());
    Painter.drawPixmap(0, 0, FChartImage);
    DrawData(&Painter);
}

QRectF TLatencyView::PlotArea() const {
    return QRectF(mapFromScene(FChart->mapRectToScene(FChart->plotArea())).boundingRect());
}

qint64 TLatencyView::TimeAt(qreal X) const {
    const QRectF Area = PlotArea();
    const double Share = Area.width() > 0 ? (X - Area.left()) / Area.width() : 0.5;
    return FFromMs + qint64(std::llround(std::clamp(Share, 0.0, 1.0) * double(FToMs - FFromMs)));
}

void TLatencyView::wheelEvent(QWheelEvent* Event) {
    const int Delta = Event->angleDelta().y();
    if (Delta == 0) {
        Event->ignore();
        return;
    }
    Ask(ZoomRequested, std::pow(ZoomPerNotch, double(Delta) / DegreesPerNotch),
                       TimeAt(Event->position().x()));
    Event->accept();
}

void TLatencyView::mousePressEvent(QMouseEvent* Event) {
    if (Event->button() != Qt::LeftButton) {
        QChartView::mousePressEvent(Event);
        return;
    }
    FDragX = Event->position().x();
    Event->accept();
}

void TLatencyView::mouseMoveEvent(QMouseEvent* Event) {
    if (!FDragX) {
        QChartView::mouseMoveEvent(Event);
        return;
    }
    const qreal Width = PlotArea().width();
    const qreal Moved = Event->position().x() - *FDragX;
    FDragX = Event->position().x();
    if (Width > 0 && Moved != 0) {
        // The data follows the pointer: a drag to the right shows earlier times.
        Ask(PanRequested, -qint64(std::llround(Moved / Width * double(FToMs - FFromMs))));
    }
    Event->accept();
}

void TLatencyView::mouseReleaseEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton && FDragX) {
        FDragX.reset();
        Event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(Event);
}

void TLatencyView::mouseDoubleClickEvent(QMouseEvent* Event) {
    FDragX.reset();
    Ask(LiveRequested);
    Event->accept();
}

void TLatencyView::DrawBackground(QPainter* Painter, const QRectF& Area) const {
    const double XScale = Area.width() / double(FToMs - FFromMs);
    const double YScale = Area.height() / FTopMs;
    const auto X = [&](qreal Ms) { return Area.left() + (Ms - FFromMs) * XScale; };
    Painter->setPen(Qt::NoPen);
    // Pale red from an outage's start to its end, behind everything else.
    Painter->setBrush(QColor(0xe0, 0x30, 0x30, 0x30));
    for (const auto& [From, To] : FPoints.Outages) {
        Painter->drawRect(QRectF(QPointF(X(From), Area.top()),
                                 QPointF(std::max(X(To), X(From) + 1.0), Area.bottom())));
    }
    // Pale yellow over a slow period: the host answered, past the latency limit.
    Painter->setBrush(QColor(0xf0, 0xd0, 0x30, 0x38));
    for (const auto& [From, To] : FPoints.Slow) {
        Painter->drawRect(QRectF(QPointF(X(From), Area.top()),
                                 QPointF(std::max(X(To), X(From) + 1.0), Area.bottom())));
    }
    // Hatched grey: no run or burst was on, so nothing there was up or down.
    Painter->setBrush(QBrush(QColor(0x80, 0x80, 0x80, 0x40), Qt::BDiagPattern));
    for (const auto& [From, To] : FPoints.Unmonitored) {
        Painter->drawRect(QRectF(QPointF(X(From), Area.top()), QPointF(X(To), Area.bottom())));
    }
    Painter->setBrush(QColor(0x20, 0x6a, 0xc8, 0x50));
    QList<QRectF> Bands;
    Bands.reserve(qsizetype(FPoints.Bands.size()));
    for (const TPlotBand& b : FPoints.Bands) {
        // At least a pixel either way, so a column of equal answers still shows.
        const qreal Left = X(b.FromMs);
        const qreal Top = Area.bottom() - b.MaxMs * YScale;
        Bands.append(QRectF(Left, Top - 0.5, std::max(X(b.ToMs) - Left, 1.0),
                            std::max((b.MaxMs - b.MinMs) * YScale, 0.0) + 1.0));
    }
    Painter->drawRects(Bands.constData(), int(Bands.size()));
}

void TLatencyView::SetOverlays(std::vector<TPlotOverlay> Overlays) {
    bool SameEntries = Overlays.size() == FOverlayEntries.size();
    for (size_t I = 0; SameEntries && I < Overlays.size(); ++I) {
        SameEntries = FOverlayEntries[I]->name() == Overlays[I].Name &&
                      FOverlayEntries[I]->pen().color() == Overlays[I].Colour;
    }
    // The legend changes only when the set does: a new entry renders the chart again.
    if (!SameEntries) {
        for (QLineSeries* Entry : FOverlayEntries) {
            FChart->removeSeries(Entry);
            delete Entry;
        }
        FOverlayEntries.clear();
        for (const TPlotOverlay& Overlay : Overlays) {
            auto* Entry = new QLineSeries;
            Entry->setName(Overlay.Name);
            Entry->setPen(QPen(Overlay.Colour, 1.5));
            FChart->addSeries(Entry);
            Entry->attachAxis(FTime);
            Entry->attachAxis(FMs);
            FOverlayEntries.push_back(Entry);
        }
    }
    FOverlays = std::move(Overlays);
    FOverlayMaxMs = 0.0;
    for (const TPlotOverlay& Overlay : FOverlays) {
        FOverlayMaxMs = std::max(FOverlayMaxMs, double(Overlay.Points.HighestMs()));
    }
    SetLimit(FLimitMs); // the top edge reaches the slowest overlay too
}

void TLatencyView::DrawData(QPainter* Painter) {
    if (FPoints.Segments.empty() && FPoints.LossTimes.empty() && FPoints.Unmonitored.empty() &&
        FPoints.Outages.empty() && FPoints.Slow.empty() && FOverlays.empty()) {
        return;
    }
    // Both axes are linear, so one scale maps every point of the plot area.
    const QRectF Area = PlotArea();
    Painter->save();
    Painter->setClipRect(Area);
    DrawBackground(Painter, Area);
    Painter->restore();
    DrawLine(Painter, Area, FPoints, FRoundTrip->pen(), FLosses->color());
    for (const TPlotOverlay& Overlay : FOverlays) {
        DrawLine(Painter, Area, Overlay.Points, QPen(Overlay.Colour, 1.5), Overlay.Colour);
    }
}

void TLatencyView::DrawLine(QPainter* Painter, const QRectF& Area, const TPlotPoints& Points,
                            QPen Pen, const QColor& Marks) const {
    const double XScale = Area.width() / double(FToMs - FFromMs);
    const double YScale = Area.height() / FTopMs;
    const auto Map = [&](const QPointF& p) {
        return QPointF(Area.left() + (p.x() - FFromMs) * XScale, Area.bottom() - p.y() * YScale);
    };
    // One call per kind: a day of pings with a loss every few minutes makes
    // hundreds of segments, and a call per segment cost milliseconds.
    QList<QLineF> Lines;
    QList<QPointF> Lone; // an answer between two losses is still a point of the line
    for (const auto& Segment : Points.Segments) {
        if (Segment.size() == 1) {
            Lone.append(Map(Segment.front()));
        }
        for (std::size_t i = 1; i < Segment.size(); ++i) {
            Lines.append(QLineF(Map(Segment[i - 1]), Map(Segment[i])));
        }
    }
    QList<QRectF> Losses; // on the top edge, half inside the plot area
    for (const qreal When : Points.LossTimes) {
        const QPointF Centre = Map({When, FTopMs});
        Losses.append(QRectF(Centre.x() - LossMarkSize / 2, Centre.y() - LossMarkSize / 2,
                            LossMarkSize, LossMarkSize));
    }
    Painter->save();
    Painter->setClipRect(Area);
    Painter->setPen(Pen);
    Painter->drawLines(Lines);
    Pen.setWidthF(3.0);
    Painter->setPen(Pen);
    Painter->drawPoints(Lone.constData(), int(Lone.size()));
    Painter->setClipping(false);
    Painter->setPen(Qt::NoPen);
    Painter->setBrush(Marks);
    Painter->drawRects(Losses.constData(), int(Losses.size()));
    Painter->restore();
}
