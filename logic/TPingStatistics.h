// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPingCounters.h"

#include <QChar>
#include <QString>

#include <cstdint>

// The running statistics and alarm decisions that every reply goes through:
// functions from the counters and a reply to the new counters and what the
// page shows, so they run without a window or a network.
class TPingStatistics {
public:
    enum : int { ImageWithinLimit = 0, ImageAboveLimit = 1, ImageLost = 2 };

    // Counts one ping and adds its round-trip time to the total.
    static TPingCounters CountPing(TPingCounters Counters, uint32_t RoundTripMs);
    // Average over every counted ping, lost ones included.
    static double Average(const TPingCounters& Counters);
    // Tray image by the average limit: within it (equal included) or above it.
    static int ImageForAverage(double Average, int LimitMs);

    struct TLossOutcome {
        bool Lost;  // the tray image goes to ImageLost
        bool Alarm; // raise the window, show the warning and beep; else hide the warning
    };
    struct TLossStep {
        TPingCounters Counters;
        TLossOutcome Outcome;
    };
    // Counts a lost ping (ReplyBytes 0) or ends a run of losses, then decides the alarm.
    static TLossStep CountLoss(TPingCounters Counters, int32_t ReplyBytes, int Threshold);
    // Lost share of all pings, truncated toward zero.
    static int LostPercentage(int32_t Lost, int32_t Pings);
    // "Clear log": the counts start afresh; the run of losses goes on.
    static TPingCounters Clear(TPingCounters Counters);

    struct TPaneStep {
        TPingCounters Counters;
        bool EmptyPane; // empty the pane whole, the line just appended with it
    };
    // One line appended to the pane, which is emptied once it holds more than Bound.
    static TPaneStep CountPaneLine(TPingCounters Counters, int Bound);

    // Summed time as a time of day "hh<sep>mm<sep>ss", hours past the last full day.
    static QString FormatTotTime(double TotalMs, const QString& TimeSeparator);
    // "%8.2f" with the given decimal separator.
    static QString FormatAverage(double Average, QChar DecimalSeparator);
};
