// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTraceStatistics.h"

bool TTraceStatistics::Add(int AHop, TReplyStatusKind AKind, const QString& AFrom, double ARttMs) {
    TTraceHop& Hop = FHops.try_emplace(AHop, AHop).first->second;
    return Hop.Add(AKind, AFrom, ARttMs) && Hop.Addresses().size() > 1;
}

int TTraceStatistics::DestinationHop() const {
    for (const auto& [Number, Hop] : FHops) {
        if (Hop.Destination()) {
            return Number;
        }
    }
    return 0;
}

std::vector<TTraceHop> TTraceStatistics::Rows() const {
    const int Last = DestinationHop();
    std::vector<TTraceHop> Rows;
    for (const auto& [Number, Hop] : FHops) {
        if (Last != 0 && Number > Last) {
            break;
        }
        Rows.push_back(Hop);
    }
    return Rows;
}
