// SPDX-License-Identifier: GPL-3.0-or-later
#include "TRangeStatistics.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

void TRangeAccumulator::Add(const TPingSample& Sample) {
    ++FSummary.Pings;
    if (Sample.Lost()) {
        ++FSummary.Lost;
        return;
    }
    const double Ms = Sample.RoundTripMs;
    if (FSummary.Answered() == 1) {
        FSummary.MinMs = FSummary.MaxMs = Ms;
    } else {
        FSummary.MinMs = std::min(FSummary.MinMs, Ms);
        FSummary.MaxMs = std::max(FSummary.MaxMs, Ms);
        // A loss in between does not break the pair: jitter is about the
        // answers the line did give.
        FSumStepsMs += std::abs(Ms - FPreviousMs);
    }
    FSumMs += Ms;
    FSumSquaresMs += Ms * Ms;
    FPreviousMs = Ms;
    FRoundTrips.push_back(Sample.RoundTripMs);
}

namespace {

// The smallest value with at least Percent % of the values at or below it.
double NearestRank(std::vector<uint32_t>& Values, int Percent) {
    const std::size_t Rank = std::max<std::size_t>((Values.size() * Percent + 99) / 100, 1);
    const auto Nth = Values.begin() + std::ptrdiff_t(Rank - 1);
    std::nth_element(Values.begin(), Nth, Values.end());
    return *Nth;
}

} // namespace

TRangeSummary TRangeAccumulator::Result() const {
    TRangeSummary Out = FSummary;
    if (Out.HasRoundTrips()) {
        Out.MeanMs = FSumMs / Out.Answered();
        Out.StdDevMs =
            std::sqrt(std::max(FSumSquaresMs / Out.Answered() - Out.MeanMs * Out.MeanMs, 0.0));
        std::vector<uint32_t> Values = FRoundTrips;
        Out.MedianMs = NearestRank(Values, 50);
        Out.P95Ms = NearestRank(Values, 95);
    }
    if (Out.HasJitter()) {
        Out.JitterMs = FSumStepsMs / (Out.Answered() - 1);
    }
    return Out;
}

namespace TRangeStatistics {

QString FormatMs(double Ms, QChar DecimalSeparator) {
    QString Text = QString::number(Ms, 'f', 2);
    Text.replace(u'.', DecimalSeparator);
    return Text;
}

QString MinCaption(const TRangeSummary& Summary, QChar DecimalSeparator) {
    return Summary.HasRoundTrips() ? FormatMs(Summary.MinMs, DecimalSeparator) : QString();
}

QString MeanCaption(const TRangeSummary& Summary, QChar DecimalSeparator) {
    return Summary.HasRoundTrips() ? FormatMs(Summary.MeanMs, DecimalSeparator) : QString();
}

QString MaxCaption(const TRangeSummary& Summary, QChar DecimalSeparator) {
    return Summary.HasRoundTrips() ? FormatMs(Summary.MaxMs, DecimalSeparator) : QString();
}

QString JitterCaption(const TRangeSummary& Summary, QChar DecimalSeparator) {
    return Summary.HasJitter() ? FormatMs(Summary.JitterMs, DecimalSeparator) : QString();
}

QString MedianCaption(const TRangeSummary& Summary, QChar DecimalSeparator) {
    if (!Summary.HasRoundTrips()) {
        return {};
    }
    const QString Value = FormatMs(Summary.MedianMs, DecimalSeparator);
    return Summary.Exact ? Value : QStringLiteral("≈ ") + Value;
}

QString P95Caption(const TRangeSummary& Summary, QChar DecimalSeparator) {
    if (!Summary.HasRoundTrips()) {
        return {};
    }
    const QString Value = FormatMs(Summary.P95Ms, DecimalSeparator);
    return Summary.Exact ? Value : QStringLiteral("≈ ") + Value;
}

QString StdDevCaption(const TRangeSummary& Summary, QChar DecimalSeparator) {
    return Summary.HasRoundTrips() ? FormatMs(Summary.StdDevMs, DecimalSeparator) : QString();
}

QString LostCaption(const TRangeSummary& Summary, QChar DecimalSeparator) {
    if (Summary.Pings == 0) {
        return {};
    }
    return QStringLiteral("%1 (%2%)")
        .arg(Summary.Lost)
        .arg(FormatMs(Summary.LostPercentage(), DecimalSeparator));
}

QString Description(const TRangeSummary& Summary, QChar DecimalSeparator) {
    if (Summary.Pings == 0) {
        return {};
    }
    const auto Value = [&](const QString& Caption) {
        return Caption.isEmpty()
                   ? QCoreApplication::translate("TRangeStatistics", "n.d.")
                   : QCoreApplication::translate("TRangeStatistics", "%1 ms").arg(Caption);
    };
    return QCoreApplication::translate("TRangeStatistics",
                                       "%1 ping, min %2, media %3, max %4, persi %5, mediana %6, "
                                       "95° percentile %7, deviazione standard %8")
        .arg(Summary.Pings)
        .arg(Value(MinCaption(Summary, DecimalSeparator)),
             Value(MeanCaption(Summary, DecimalSeparator)),
             Value(MaxCaption(Summary, DecimalSeparator)), LostCaption(Summary, DecimalSeparator),
             Value(MedianCaption(Summary, DecimalSeparator)),
             Value(P95Caption(Summary, DecimalSeparator)),
             Value(StdDevCaption(Summary, DecimalSeparator)));
}

} // namespace TRangeStatistics
