// SPDX-License-Identifier: GPL-3.0-or-later
#include "TPingStatistics.h"

#include <cmath>

TPingCounters TPingStatistics::CountPing(TPingCounters C, uint32_t RoundTripMs) {
    ++C.n_ping;
    C.tot_time += static_cast<double>(RoundTripMs);
    return C;
}

double TPingStatistics::Average(const TPingCounters& C) {
    return C.n_ping > 0 ? C.tot_time / C.n_ping : 0.0;
}

int TPingStatistics::ImageForAverage(double AverageMs, int LimitMs) {
    return LimitMs >= AverageMs ? ImageWithinLimit : ImageAboveLimit;
}

TPingStatistics::TLossStep TPingStatistics::CountLoss(TPingCounters C, int32_t ReplyBytes,
                                                      int Threshold) {
    const bool Lost = ReplyBytes == 0;
    if (Lost) {
        ++C.n_pacchetti_persi;
        ++C.n_persi_consecutivi;
    } else {
        C.n_persi_consecutivi = 0;
    }
    return {C, {Lost, C.n_persi_consecutivi > Threshold}};
}

int TPingStatistics::LostPercentage(int32_t Lost, int32_t Pings) {
    if (Pings <= 0)
        return 0;
    // 64-bit product: a 32-bit one wraps negative after some 21 million lost pings.
    const double Percentage = static_cast<double>(int64_t{Lost} * 100) / Pings;
    return static_cast<int>(std::trunc(Percentage));
}

TPingCounters TPingStatistics::Clear(TPingCounters C) {
    C.n_ping = 0;
    C.tot_time = 0.0;
    C.n_pacchetti_persi = 0;
    return C;
}

TPingStatistics::TPaneStep TPingStatistics::CountPaneLine(TPingCounters C, int Bound) {
    ++C.n_righe_log;
    if (C.n_righe_log <= Bound)
        return {C, false};
    C.n_righe_log = 0;
    return {C, true};
}

QString TPingStatistics::FormatTotTime(double TotalMs, const QString& TimeSeparator) {
    constexpr int64_t MsPerDay = 24LL * 60 * 60 * 1000;
    // Whole milliseconds, then only the part of the last day; below a second is dropped.
    const int64_t Ms = std::llround(TotalMs) % MsPerDay;
    const int64_t Seconds = Ms / 1000;
    const auto TwoDigits = [](int64_t v) {
        return QStringLiteral("%1").arg(v, 2, 10, QChar(u'0'));
    };
    return TwoDigits(Seconds / 3600) + TimeSeparator + TwoDigits(Seconds / 60 % 60) +
           TimeSeparator + TwoDigits(Seconds % 60);
}

QString TPingStatistics::FormatAverage(double AverageMs, QChar DecimalSeparator) {
    // Formatted in the C convention and then given the user's separator, so the
    // result does not depend on which locale the process happens to run under.
    QString Text = QString::number(AverageMs, 'f', 2);
    Text.replace(u'.', DecimalSeparator);
    return Text.rightJustified(8, u' ');
}
