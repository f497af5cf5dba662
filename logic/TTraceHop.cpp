// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTraceHop.h"

#include <algorithm>

bool TTraceHop::Add(TReplyStatusKind AKind, const QString& AFrom, double ARttMs) {
    ++FSent;
    if (AKind != skEchoReply && AKind != skTtlExceeded && AKind != skUnreachable) {
        return false;
    }
    FRtt.Add(ARttMs);
    auto It = std::find_if(FAddresses.begin(), FAddresses.end(),
                           [&](const TTraceAddress& A) { return A.Address == AFrom; });
    const bool Fresh = It == FAddresses.end();
    if (Fresh) {
        TTraceAddress Added;
        Added.Address = AFrom;
        FAddresses.push_back(Added);
        It = std::prev(FAddresses.end());
    }
    ++It->Received;
    It->Rtt.Add(ARttMs);
    It->Destination = It->Destination || AKind == skEchoReply;
    It->Unreachable = It->Unreachable || AKind == skUnreachable;
    return Fresh;
}

double TTraceHop::LossPercent() const {
    return FSent > 0 ? 100.0 * (FSent - Received()) / FSent : 0;
}

double TTraceHop::SharePercent(const TTraceAddress& AAddress) const {
    return Received() > 0 ? 100.0 * AAddress.Received / Received() : 0;
}

bool TTraceHop::Destination() const {
    return std::any_of(FAddresses.begin(), FAddresses.end(),
                       [](const TTraceAddress& A) { return A.Destination; });
}

bool TTraceHop::Unreachable() const {
    return std::any_of(FAddresses.begin(), FAddresses.end(),
                       [](const TTraceAddress& A) { return A.Unreachable; });
}
