// SPDX-License-Identifier: GPL-3.0-or-later
#include "TRangeStatistics.h"

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
    FPreviousMs = Ms;
}

TRangeSummary TRangeAccumulator::Result() const {
    TRangeSummary Out = FSummary;
    if (Out.HasRoundTrips()) {
        Out.MeanMs = FSumMs / Out.Answered();
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
        return Caption.isEmpty() ? QStringLiteral("n.d.") : Caption + QStringLiteral(" ms");
    };
    return QStringLiteral("%1 ping, min %2, media %3, max %4, persi %5")
        .arg(Summary.Pings)
        .arg(Value(MinCaption(Summary, DecimalSeparator)),
             Value(MeanCaption(Summary, DecimalSeparator)),
             Value(MaxCaption(Summary, DecimalSeparator)), LostCaption(Summary, DecimalSeparator));
}

} // namespace TRangeStatistics
