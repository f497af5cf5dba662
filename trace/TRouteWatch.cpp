// SPDX-License-Identifier: GPL-3.0-or-later
#include "TRouteWatch.h"

#include <algorithm>
#include <cmath>

QStringList TRouteWatch::CurrentOf(const THop& AHop) {
    QStringList Out;
    for (const TSeen& S : AHop.Seen) {
        if (S.Current) {
            Out << S.Address;
        }
    }
    return Out;
}

QStringList TRouteWatch::Current(int AHop) const {
    const auto It = FHops.find(AHop);
    return It == FHops.end() ? QStringList() : CurrentOf(It->second);
}

bool TRouteWatch::Gone(const TSeen& ASeen, uint32_t ARound) {
    // Answers of later rounds may arrive before those of earlier ones.
    const uint32_t Silent = ARound > ASeen.LastRound ? ARound - ASeen.LastRound : 0;
    if (Silent < MinSilentRounds) {
        return false;
    }
    return ASeen.Share >= 1 || Silent * std::log1p(-ASeen.Share) < std::log(Chance);
}

std::optional<TRouteWatch::TChange> TRouteWatch::Add(int AHop, uint32_t ARound,
                                                     const QString& AFrom) {
    THop& Hop = FHops[AHop];
    const QStringList Before = CurrentOf(Hop);
    Hop.Recent.push_back(AFrom);
    if (Hop.Recent.size() > ShareOf) {
        Hop.Recent.pop_front();
    }
    auto It = std::find_if(Hop.Seen.begin(), Hop.Seen.end(),
                           [&](const TSeen& S) { return S.Address == AFrom; });
    if (It == Hop.Seen.end()) {
        Hop.Seen.push_back({AFrom, ARound, 1, true});
        It = std::prev(Hop.Seen.end());
    }
    It->LastRound = std::max(It->LastRound, ARound);
    It->Share = static_cast<double>(std::count(Hop.Recent.begin(), Hop.Recent.end(), AFrom)) /
                static_cast<double>(Hop.Recent.size());
    It->Current = true;
    for (TSeen& S : Hop.Seen) {
        if (S.Current && S.Address != AFrom && Gone(S, ARound)) {
            S.Current = false;
        }
    }
    QStringList After = CurrentOf(Hop);
    if (Before.isEmpty() || After == Before) {
        return std::nullopt;
    }
    return TChange{AHop, Before, std::move(After)};
}
