// SPDX-License-Identifier: GPL-3.0-or-later
#include "THistoryRecorder.h"

#include "THistoryStore.h"

#include <algorithm>

THistoryPing THistoryRecorder::PingOf(const std::string& AHost, const std::string& AAddress,
                                      const TReplyStatus& AReply, int64_t AWhenMs) {
    THistoryPing Ping;
    Ping.UtcMs = AWhenMs;
    Ping.Host = AHost;
    Ping.Address = AAddress;
    // Only IPv6 address texts hold a colon.
    Ping.Family = AAddress.find(':') == std::string::npos ? 4 : 6;
    Ping.Kind = AReply.Status;
    // The statistics count a ping without bytes back as lost, and so does the history.
    if (AReply.ReplyBytes > 0) {
        Ping.RoundTripUs =
            std::clamp<int64_t>(AReply.RoundTripUs, 0, THistoryStore::MaxRoundTripUs);
    }
    Ping.Ttl = AReply.ReplyTtl;
    Ping.Bytes = AReply.ReplyBytes;
    return Ping;
}

bool THistoryRecorder::Usable() const {
    return FStore != nullptr && FStore->Available();
}

void THistoryRecorder::Ping(const std::string& AHost, const std::string& AAddress,
                            const TReplyStatus& AReply, int64_t AWhenMs) {
    if (Usable()) {
        FStore->AddPing(PingOf(AHost, AAddress, AReply, AWhenMs));
    }
}

void THistoryRecorder::Begin(THistoryPeriodKind AKind, int64_t AWhenMs) {
    if (Usable()) {
        FStore->BeginPeriod(AKind, AWhenMs);
    }
}

void THistoryRecorder::End(int64_t AWhenMs) {
    if (Usable()) {
        FStore->EndPeriod(AWhenMs);
    }
}

void THistoryRecorder::Outage(TOutage& AOutage, bool ABegan) {
    if (Usable()) {
        if (ABegan) {
            FStore->AddOutage(AOutage);
        } else {
            FStore->UpdateOutage(AOutage);
        }
    }
}
