// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TOutage.h"

#include <cstdint>
#include <string>

// What one desktop notification of an outage says, as the notification service
// takes it: no bus in sight, so the texts and hints are checked as plain values.
struct TOutageNotification {
    std::string Summary;
    std::string Body;
    uint8_t Urgency = 1; // the service's scale: 0 low, 1 normal, 2 critical
    std::string Category;

    bool operator==(const TOutageNotification&) const = default;
};

namespace OutageNotification {

// While the host is down (or slow, at normal urgency): raised, and each update in place.
TOutageNotification Down(const TOutage& Outage);
// The outage is over, with an answer or because watching stopped.
TOutageNotification Ended(const TOutage& Outage);

} // namespace OutageNotification
