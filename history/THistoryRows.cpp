// SPDX-License-Identifier: GPL-3.0-or-later
// The rows a ping becomes: its target, its own row where the resolution keeps one,
// and its minute's and hour's aggregates; each call inside the caller's transaction.
#include "THistoryStore.h"

#include "HistoryBuckets.h"
#include "THistoryReader.h"

#include <sqlite3.h>

#include <map>

int THistoryStore::TargetOf(const THistoryPing& Ping, int64_t& Id) {
    const auto Key = std::make_tuple(Ping.Host, Ping.Address, int{Ping.Family}, Ping.Listed);
    if (const auto Known = FTargets.find(Key); Known != FTargets.end()) {
        Id = Known->second;
        return SQLITE_OK;
    }
    const auto BindKey = [&](TSqlStatement& Statement) {
        Statement.Bind(1, Ping.Host);
        Statement.Bind(2, Ping.Address);
        Statement.Bind(3, int64_t{Ping.Family});
        Statement.Bind(4, int64_t{Ping.Listed});
    };
    {
        const TSqlReset Reset(FFindTarget);
        BindKey(FFindTarget);
        const int Rc = FFindTarget.Step();
        if (Rc != SQLITE_ROW && Rc != SQLITE_DONE) {
            return Rc;
        }
        Id = Rc == SQLITE_ROW ? FFindTarget.Int(0) : 0;
    }
    if (Id == 0) {
        BindKey(FInsertTarget);
        if (const int Rc = FInsertTarget.Run(); Rc != SQLITE_OK) {
            return Rc;
        }
        Id = ::sqlite3_last_insert_rowid(FDb.get());
    }
    // Any failure after this closes the store, and the cache with it.
    FTargets.emplace(Key, Id);
    return SQLITE_OK;
}

int THistoryStore::InsertRow(const THistoryPing& Ping, int64_t Target) {
    if (!KeepsRow(Ping, FResolution)) {
        return SQLITE_OK;
    }
    FInsertPing.Bind(1, Ping.UtcMs);
    FInsertPing.Bind(2, Target);
    FInsertPing.Bind(3, int64_t{Ping.Kind});
    FInsertPing.Bind(4, Ping.RoundTripUs);
    FInsertPing.Bind(5, int64_t{Ping.Ttl});
    FInsertPing.Bind(6, int64_t{Ping.Bytes});
    return FInsertPing.Run();
}

int THistoryStore::InsertPing(const THistoryPing& Ping) {
    int64_t Target = 0;
    if (const int Rc = TargetOf(Ping, Target); Rc != SQLITE_OK) {
        return Rc;
    }
    if (const int Rc = InsertRow(Ping, Target); Rc != SQLITE_OK) {
        return Rc;
    }
    const int64_t Minute = MinuteOf(Ping.UtcMs);
    int Rc = SQLITE_OK;
    for (const auto& [Add, Key] :
         {std::pair(&FAddToMinute, Minute), std::pair(&FAddToHour, HourOfMinute(Minute))}) {
        Add->Bind(1, Key);
        Add->Bind(2, Target);
        Add->Bind(3, Ping.RoundTripUs);
        Add->Bind(4, Ping.RoundTripUs ? HistoryBucketOf(*Ping.RoundTripUs) : -1);
        if (Rc = Add->Run(); Rc != SQLITE_OK) {
            break;
        }
    }
    return Rc;
}

bool THistoryStore::KeepsRow(const THistoryPing& Ping, THistoryResolution Resolution) {
    return Resolution == THistoryResolution::Full || Ping.Kind != skEchoReply || !Ping.RoundTripUs;
}

bool THistoryStore::Valid(const THistoryPing& Ping) {
    return (Ping.Family == 4 || Ping.Family == 6) &&
           (!Ping.RoundTripUs || (*Ping.RoundTripUs >= 0 && *Ping.RoundTripUs <= MaxRoundTripUs)) &&
           Ping.UtcMs > -StampLimit && Ping.UtcMs < StampLimit;
}

int THistoryStore::MarkSummarizedUpTo(int64_t UtcMs) {
    // The pings up to here lack answers: a reader must take the range from the aggregates.
    if (FResolution == THistoryResolution::Full) {
        return SQLITE_OK;
    }
    FRawFrom.Bind(1, UtcMs + 1);
    return FRawFrom.Run();
}

int THistoryStore::AddGroups(std::span<const THistoryPing> Pings, std::span<const int64_t> Targets) {
    // By minute (or hour), then target.
    std::map<std::pair<int64_t, int64_t>, THistoryGroup> Minutes, Hours;
    for (std::size_t I = 0; I < Pings.size(); ++I) {
        const int64_t Minute = MinuteOf(Pings[I].UtcMs);
        Minutes[{Minute, Targets[I]}].Add(Pings[I].RoundTripUs);
        Hours[{HourOfMinute(Minute), Targets[I]}].Add(Pings[I].RoundTripUs);
    }
    for (auto& [Add, Groups] : {std::pair(&FAddGroupToMinute, &Minutes),
                                std::pair(&FAddGroupToHour, &Hours)}) {
        for (const auto& [Key, Group] : *Groups) {
            Add->Bind(1, Key.first);
            Add->Bind(2, Key.second);
            Add->Bind(3, Group.Count);
            Add->Bind(4, Group.Lost);
            Add->Bind(5, Group.MinUs);
            Add->Bind(6, Group.MaxUs);
            Add->Bind(7, Group.SumUs);
            Add->Bind(8, Group.SumSqUs);
            for (int B = 0; B < HistoryBucketCount; ++B) {
                Add->Bind(9 + B, Group.Buckets[static_cast<std::size_t>(B)]);
            }
            if (const int Rc = Add->Run(); Rc != SQLITE_OK) {
                return Rc;
            }
        }
    }
    return SQLITE_OK;
}
