// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TReplyStatus.h"
#include "TRttSeries.h"

#include <QString>

#include <vector>

// One address that answered at a hop: a router, the destination, or one reporting it
// unreachable. Load-balanced paths put several at one hop.
struct TTraceAddress {
    QString Address;
    int Received = 0;
    TRttSeries Rtt;
    bool Destination = false; // it sent echo replies
    bool Unreachable = false; // it reported the destination unreachable
};

// The figures of one hop number over the rounds of a continuous trace.
class TTraceHop {
public:
    explicit TTraceHop(int AHop) : FHop(AHop) {}

    // One probe's end: answered (echo reply, time exceeded, unreachable) or lost (any other
    // kind). True when AFrom answers at this hop for the first time.
    bool Add(TReplyStatusKind AKind, const QString& AFrom, double ARttMs);

    int Hop() const { return FHop; }
    int Sent() const { return FSent; }
    int Received() const { return FRtt.Count(); }
    double LossPercent() const;
    // Over every answer at this hop, whoever sent it.
    const TRttSeries& Rtt() const { return FRtt; }
    // In the order they first answered.
    const std::vector<TTraceAddress>& Addresses() const { return FAddresses; }
    // The address's share of this hop's answers, in percent.
    double SharePercent(const TTraceAddress& AAddress) const;
    bool Destination() const;
    bool Unreachable() const;

private:
    int FHop;
    int FSent = 0;
    TRttSeries FRtt;
    std::vector<TTraceAddress> FAddresses;
};
