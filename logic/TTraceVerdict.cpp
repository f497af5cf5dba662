// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTraceVerdict.h"

#include "VerdictText.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

using namespace VerdictText;

bool Lossy(const THopFigures& AHop) {
    return AHop.Sent > 0 && AHop.Sent - AHop.Received >= TTraceVerdict::LossFloor(AHop.Sent);
}

// A router that never answers: it sends no time-exceeded at all, which says nothing of loss.
bool Silent(const THopFigures& AHop) {
    return AHop.Received == 0;
}

// "2", "2 e 5", "2, 3 e 5"
QString HopList(const QStringList& AHops) {
    if (AHops.size() < 2) {
        return AHops.join(QString());
    }
    return AHops.mid(0, AHops.size() - 1).join(QStringLiteral(", ")) + Source(And) + AHops.back();
}

} // namespace

int TTraceVerdict::LossFloor(int ASent) {
    if (ASent <= 0) {
        return 1;
    }
    const double N = ASent;
    const double LogP = std::log(BackgroundLoss);
    const double LogQ = std::log1p(-BackgroundLoss);
    double Below = 0; // P(lost <= K) when 1 % is lost at random
    for (int K = 0; K <= ASent; ++K) {
        Below += std::exp(std::lgamma(N + 1) - std::lgamma(K + 1.0) - std::lgamma(N - K + 1) +
                          K * LogP + (N - K) * LogQ);
        if (Below >= 1 - Chance) {
            return K + 1;
        }
    }
    return ASent + 1;
}

TTraceVerdict TTraceVerdict::Of(const std::vector<THopFigures>& ARows) {
    int Rounds = 0;
    for (const THopFigures& R : ARows) {
        Rounds = std::max(Rounds, R.Sent);
    }
    if (Rounds < MinRounds) {
        return {TKind::TooFewRounds, 0, Source(TooFew).arg(MinRounds).arg(Rounds)};
    }
    const auto Destination = std::find_if(ARows.begin(), ARows.end(),
                                          [](const THopFigures& R) { return R.Destination; });
    if (Destination == ARows.end()) {
        return NotReached(ARows);
    }
    return Reached(ARows, static_cast<std::size_t>(Destination - ARows.begin()));
}

TTraceVerdict TTraceVerdict::NotReached(const std::vector<THopFigures>& ARows) {
    int Last = 0;
    for (const THopFigures& R : ARows) {
        if (R.Unreachable) {
            return {TKind::NotReached, R.Hop, Source(Unreachable).arg(R.Hop)};
        }
        Last = R.Received > 0 ? R.Hop : Last;
    }
    if (Last == 0) {
        return {TKind::NotReached, 0, Source(NoHop)};
    }
    return {TKind::NotReached, Last, Source(LastHop).arg(Last)};
}

TTraceVerdict TTraceVerdict::Reached(const std::vector<THopFigures>& ARows,
                                     std::size_t ADestination) {
    if (Lossy(ARows[ADestination])) {
        // Back from the destination through the hops that lose too; silent ones are passed.
        int From = ARows[ADestination].Hop;
        for (std::size_t I = ADestination; I-- > 0;) {
            if (Silent(ARows[I])) {
                continue;
            }
            if (!Lossy(ARows[I])) {
                break;
            }
            From = ARows[I].Hop;
        }
        return {TKind::LossFromHop, From, Source(LossFrom).arg(From)};
    }
    QStringList Losing;
    int First = 0;
    for (std::size_t I = 0; I < ADestination; ++I) {
        if (Lossy(ARows[I])) {
            First = First == 0 ? ARows[I].Hop : First;
            Losing << QString::number(ARows[I].Hop);
        }
    }
    if (Losing.size() == 1) {
        return {TKind::RouterLimits, First, Source(OneRouter).arg(Losing.front())};
    }
    if (!Losing.isEmpty()) {
        return {TKind::RouterLimits, First, Source(Routers).arg(HopList(Losing))};
    }
    return {TKind::Clear, 0, Source(Clear)};
}
