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

int64_t THistoryRecorder::SetStore(THistoryStore* Store) {
    FStore = Store;
    FHolding = false;
    FOnHeld = nullptr;
    std::vector<THeld> Held;
    Held.swap(FHeld);
    int64_t OutageId = 0;
    FHeldSlowId = 0;
    if (!Usable()) {
        return OutageId;
    }
    for (THeld& Change : Held) {
        if (const auto* Ping = std::get_if<THistoryPing>(&Change)) {
            FStore->AddPing(*Ping);
        } else if (const auto* Begin = std::get_if<TBegin>(&Change)) {
            FStore->BeginPeriod(Begin->Kind, Begin->WhenMs, FListed);
        } else if (const auto* End = std::get_if<TEnd>(&Change)) {
            FStore->EndPeriod(End->WhenMs, FListed);
        } else {
            auto& Outage = std::get<TOutageChange>(Change);
            // Held before it had a row: its changes go to the row its beginning gets.
            const bool Slow = Outage.Outage.Kind == TOutageKind::Slow;
            int64_t& Id = Slow ? FHeldSlowId : OutageId;
            if (Outage.Outage.Id == 0) {
                Outage.Outage.Id = Id;
            }
            Write(Outage.Outage, Outage.Began);
            Id = Outage.Outage.Id;
        }
    }
    return OutageId;
}

void THistoryRecorder::Keep(THeld AHeld) {
    if (!FHolding) {
        return;
    }
    if (FHeld.empty() && FOnHeld) {
        FOnHeld();
    }
    if (FHeld.size() < MaxHeld) {
        FHeld.push_back(std::move(AHeld));
    }
}

void THistoryRecorder::Write(TOutage& AOutage, bool ABegan) {
    if (ABegan) {
        FStore->AddOutage(AOutage);
    } else {
        FStore->UpdateOutage(AOutage);
    }
}

void THistoryRecorder::Ping(const std::string& AHost, const std::string& AAddress,
                            const TReplyStatus& AReply, int64_t AWhenMs) {
    THistoryPing Made = PingOf(AHost, AAddress, AReply, AWhenMs);
    Made.Listed = FListed;
    Ping(std::move(Made));
}

void THistoryRecorder::Ping(THistoryPing APing) {
    if (Usable()) {
        FStore->AddPing(APing);
    } else {
        Keep(std::move(APing));
    }
}

void THistoryRecorder::Begin(THistoryPeriodKind AKind, int64_t AWhenMs) {
    if (Usable()) {
        FStore->BeginPeriod(AKind, AWhenMs, FListed);
    } else {
        Keep(TBegin{AKind, AWhenMs});
    }
}

void THistoryRecorder::End(int64_t AWhenMs) {
    if (Usable()) {
        FStore->EndPeriod(AWhenMs, FListed);
    } else {
        Keep(TEnd{AWhenMs});
    }
}

void THistoryRecorder::Outage(TOutage& AOutage, bool ABegan) {
    if (Usable()) {
        Write(AOutage, ABegan);
    } else {
        Keep(TOutageChange{AOutage, ABegan});
    }
}
