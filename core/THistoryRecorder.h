// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "THistoryTypes.h"
#include "TOutage.h"
#include "TReplyStatus.h"

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

class THistoryStore;

// What the monitor tells the history: every ping the statistics count, and what the
// schedule is doing, so that a reader can tell a time nobody watched from a silent host.
// Without a store, or with one that is not available, it does nothing: the history is
// never allowed to cost the log or the window anything.
class THistoryRecorder {
public:
    // A store is on its way (it is being opened elsewhere): what comes meanwhile
    // waits for it, so the first pings of a run are kept too. AOnHeld, if any, runs
    // as the first record is held: the store may be opened only once it is needed.
    void Hold(std::function<void()> AOnHeld = {}) {
        FHolding = true;
        FOnHeld = std::move(AOnHeld);
    }
    // Writes what was held into Store, if it is usable, and drops it otherwise.
    // Returns the id the last outage held was given, 0 if none.
    int64_t SetStore(THistoryStore* Store);
    // The same for the last slow period held by that SetStore.
    int64_t HeldSlowId() const { return FHeldSlowId; }
    // AListed: what this records belongs to the targets list, and its pings and
    // periods are kept apart from the Ping page's, which shares the file.
    THistoryRecorder() = default;
    explicit THistoryRecorder(bool AListed) : FListed(AListed) {}

    THistoryStore* Store() const { return FStore; }
    // Whether what comes now is written at once (else it is held or dropped).
    bool Writes() const { return Usable(); }

    // AHost as typed, AAddress what it was resolved to; AWhenMs the reply's stamp.
    void Ping(const std::string& AHost, const std::string& AAddress, const TReplyStatus& AReply,
              int64_t AWhenMs);
    // The same for a record made already (see PingOf).
    void Ping(THistoryPing APing);
    // A run, a rest or a burst begins now; the one before ends there.
    void Begin(THistoryPeriodKind AKind, int64_t AWhenMs);
    void End(int64_t AWhenMs);
    // An outage as it begins (stored anew, its Id set) or changes.
    void Outage(TOutage& AOutage, bool ABegan);

    // The record a reply becomes: lost pings (no bytes back) keep no round trip.
    static THistoryPing PingOf(const std::string& AHost, const std::string& AAddress,
                               const TReplyStatus& AReply, int64_t AWhenMs);

    // More than a slow open could gather; beyond it the oldest wait is not worth memory.
    static constexpr std::size_t MaxHeld = 100'000;

private:
    struct TBegin {
        THistoryPeriodKind Kind;
        int64_t WhenMs;
    };
    struct TEnd {
        int64_t WhenMs;
    };
    struct TOutageChange {
        TOutage Outage;
        bool Began;
    };
    using THeld = std::variant<THistoryPing, TBegin, TEnd, TOutageChange>;

    bool Usable() const;
    void Keep(THeld AHeld);
    void Write(TOutage& AOutage, bool ABegan);

    THistoryStore* FStore = nullptr;
    bool FHolding = false;
    std::function<void()> FOnHeld;
    bool FListed = false;
    std::vector<THeld> FHeld;
    int64_t FHeldSlowId = 0;
};
