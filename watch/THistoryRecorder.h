// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "THistoryTypes.h"
#include "TOutage.h"
#include "TReplyStatus.h"

#include <cstdint>
#include <string>

class THistoryStore;

// What the monitor tells the history: every ping the statistics count, and what the
// schedule is doing, so that a reader can tell a time nobody watched from a silent host.
// Without a store, or with one that is not available, it does nothing: the history is
// never allowed to cost the log or the window anything.
class THistoryRecorder {
public:
    void SetStore(THistoryStore* Store) { FStore = Store; }
    THistoryStore* Store() const { return FStore; }

    // AHost as typed, AAddress what it was resolved to; AWhenMs the reply's stamp.
    void Ping(const std::string& AHost, const std::string& AAddress, const TReplyStatus& AReply,
              int64_t AWhenMs);
    // A run, a rest or a burst begins now; the one before ends there.
    void Begin(THistoryPeriodKind AKind, int64_t AWhenMs);
    void End(int64_t AWhenMs);
    // An outage as it begins (stored anew, its Id set) or changes.
    void Outage(TOutage& AOutage, bool ABegan);

    // The record a reply becomes: lost pings (no bytes back) keep no round trip.
    static THistoryPing PingOf(const std::string& AHost, const std::string& AAddress,
                               const TReplyStatus& AReply, int64_t AWhenMs);

private:
    bool Usable() const;

    THistoryStore* FStore = nullptr;
};
