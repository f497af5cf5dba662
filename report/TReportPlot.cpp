// SPDX-License-Identifier: GPL-3.0-or-later
#include "TReportPlot.h"

#include <QDateTime>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

const QColor LineColour(32, 74, 135);
const QColor BandColour(114, 159, 207, 110);
const QColor LossColour(204, 0, 0);
const QColor OutageColour(239, 41, 41, 45);
const QColor UnmonitoredColour(136, 138, 133, 60);
const QColor SlowColour(240, 208, 48, 70);
constexpr int TimeTicks = 6;
constexpr int MsTicks = 5;

// A "nice" top for the vertical axis: 1, 2 or 5 times a power of ten.
double TopOf(double MaxMs) {
    const double Power = std::pow(10.0, std::floor(std::log10(std::max(MaxMs, 1.0))));
    for (const double Step : {1.0, 2.0, 5.0, 10.0}) {
        if (Step * Power >= MaxMs) {
            return Step * Power;
        }
    }
    return 10.0 * Power;
}

class TAxes {
public:
    TAxes(const QRectF& Plot, const TReportRequest& r, double TopMs)
        : FPlot(Plot), FFrom(r.FromMs), FTo(r.ToMs), FTop(TopMs) {}
    qreal X(int64_t Ms) const {
        const int64_t At = std::clamp<int64_t>(Ms, FFrom, FTo);
        return FPlot.left() + FPlot.width() * qreal(At - FFrom) / qreal(FTo - FFrom);
    }
    qreal Y(int64_t Us) const {
        return FPlot.bottom() - FPlot.height() * std::min(1.0, Us / 1000.0 / FTop);
    }
    QRectF Span(int64_t FromMs, int64_t ToMs) const {
        return QRectF(QPointF(X(FromMs), FPlot.top()), QPointF(X(ToMs), FPlot.bottom()));
    }

private:
    QRectF FPlot;
    int64_t FFrom, FTo;
    double FTop;
};

void DrawGrid(QPainter& p, const QRectF& Plot, const TAxes& Axes, const TReportData& Data,
              double TopMs) {
    p.setPen(QPen(QColor(200, 200, 200), 0.4));
    QFont Small = p.font();
    Small.setPointSizeF(6.5);
    p.setFont(Small);
    for (int i = 0; i <= MsTicks; ++i) {
        const double Ms = TopMs * i / MsTicks;
        const qreal Y = Axes.Y(int64_t(Ms * 1000.0));
        p.setPen(QPen(QColor(210, 210, 210), 0.4));
        p.drawLine(QPointF(Plot.left(), Y), QPointF(Plot.right(), Y));
        p.setPen(Qt::black);
        p.drawText(QRectF(Plot.left() - 34, Y - 5, 30, 10), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(Ms, 'g', 4));
    }
    const int64_t Span = Data.Request.ToMs - Data.Request.FromMs;
    const QString Format = Span > 2 * 24 * 3600'000LL ? QStringLiteral("dd/MM")
                                                        : QStringLiteral("dd/MM HH:mm");
    for (int i = 0; i <= TimeTicks; ++i) {
        const int64_t Ms = Data.Request.FromMs + Span * i / TimeTicks;
        const qreal X = Axes.X(Ms);
        p.setPen(QPen(QColor(210, 210, 210), 0.4));
        p.drawLine(QPointF(X, Plot.top()), QPointF(X, Plot.bottom()));
        p.setPen(Qt::black);
        p.drawText(QRectF(X - 30, Plot.bottom() + 2, 60, 10), Qt::AlignHCenter | Qt::AlignTop,
                   QDateTime::fromMSecsSinceEpoch(Ms).toString(Format));
    }
    p.drawText(QRectF(Plot.left() - 34, Plot.top() - 12, 60, 10), Qt::AlignLeft, QStringLiteral("ms"));
}

void DrawData(QPainter& p, const TAxes& Axes, const TReportData& Data) {
    p.setPen(Qt::NoPen);
    p.setBrush(BandColour);
    for (const THistoryColumn& c : Data.Plot) {
        if (c.Count > c.Lost && c.ToMs > c.FromMs) {
            p.drawRect(QRectF(QPointF(Axes.X(c.FromMs), Axes.Y(c.MaxUs)),
                              QPointF(Axes.X(c.ToMs), Axes.Y(c.MinUs))));
        }
    }
    QPainterPath Line;
    bool Open = false;
    for (const THistoryColumn& c : Data.Plot) {
        if (c.Count == c.Lost) {
            Open = false;
            continue;
        }
        const QPointF At(Axes.X((c.FromMs + c.ToMs) / 2), Axes.Y(c.MedianUs));
        Open ? Line.lineTo(At) : Line.moveTo(At);
        Open = true;
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(LineColour, 0.6));
    p.drawPath(Line);
    p.setPen(QPen(LossColour, 0.6));
    const qreal Bottom = Axes.Y(0);
    for (const THistoryColumn& c : Data.Plot) {
        if (c.Lost > 0) {
            const qreal X = Axes.X((c.FromMs + c.ToMs) / 2);
            p.drawLine(QPointF(X, Bottom), QPointF(X, Bottom - 5));
        }
    }
}

} // namespace

void DrawReportPlot(QPainter& Painter, const QRectF& Area, const TReportData& Data) {
    const QRectF Plot = Area.adjusted(36, 14, -4, -14);
    int64_t MaxUs = 0;
    for (const THistoryColumn& c : Data.Plot) {
        MaxUs = std::max(MaxUs, c.MaxUs);
    }
    const double TopMs = TopOf(MaxUs / 1000.0 * 1.05);
    const TAxes Axes(Plot, Data.Request, TopMs);
    Painter.save();
    Painter.setPen(Qt::NoPen);
    Painter.setBrush(UnmonitoredColour);
    for (const TReportSpan& s : Data.Unmonitored) {
        Painter.drawRect(Axes.Span(s.first, s.second));
    }
    Painter.setBrush(OutageColour);
    for (const TReportOutage& o : Data.Outages) {
        const TReportSpan Down = DownSpanOf(o.Outage, Data.Request.NowMs);
        Painter.drawRect(Axes.Span(Down.first, std::max(Down.second, Down.first + 1)));
    }
    Painter.setBrush(SlowColour);
    for (const TOutage& s : Data.SlowPeriods) {
        const TReportSpan Slow = DownSpanOf(s, Data.Request.NowMs);
        Painter.drawRect(Axes.Span(Slow.first, std::max(Slow.second, Slow.first + 1)));
    }
    DrawGrid(Painter, Plot, Axes, Data, TopMs);
    DrawData(Painter, Axes, Data);
    Painter.setPen(QPen(Qt::black, 0.6));
    Painter.setBrush(Qt::NoBrush);
    Painter.drawRect(Plot);
    Painter.restore();
}
