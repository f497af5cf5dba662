// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutageNotification.h"

#include "OutageText.h"

namespace OutageNotification {

namespace {

constexpr uint8_t Normal = 1;
constexpr uint8_t Critical = 2;

} // namespace

TOutageNotification Down(const TOutage& Outage) {
    if (Outage.Kind == TOutageKind::Slow) {
        return {OutageText::SlowSummary(Outage.Host), OutageText::SlowBody(Outage), Normal,
                "network"};
    }
    return {OutageText::DownSummary(Outage.Host), OutageText::DownBody(Outage), Critical,
            "network.disconnected"};
}

TOutageNotification Ended(const TOutage& Outage) {
    if (Outage.End == TOutageEnd::Recovered && Outage.Kind == TOutageKind::Slow) {
        return {OutageText::SlowEndedSummary(Outage), OutageText::Duration(Outage), Normal,
                "network"};
    }
    if (Outage.End == TOutageEnd::Recovered) {
        return {OutageText::RecoveredSummary(Outage), OutageText::Duration(Outage), Normal,
                "network.connected"};
    }
    // Nobody watched the end: the host may still be down, so no "connected".
    return {OutageText::UnknownEndSummary(Outage), OutageText::Duration(Outage), Normal, "network"};
}

} // namespace OutageNotification
