// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TTraceHop.h"

#include <QString>

#include <map>
#include <vector>

// The per-hop table of a continuous trace, fed with each probe's end in arrival order.
class TTraceStatistics {
public:
    // True when AFrom joins the addresses a hop already had: the route changed there.
    bool Add(int AHop, TReplyStatusKind AKind, const QString& AFrom, double ARttMs);
    // In hop order, up to the first hop the destination answered at: probes sent past it
    // before the trace knew where it ends only echo that hop.
    std::vector<TTraceHop> Rows() const;
    // 0 while the destination has not answered.
    int DestinationHop() const;
    void Clear() { FHops.clear(); }

private:
    std::map<int, TTraceHop> FHops;
};
