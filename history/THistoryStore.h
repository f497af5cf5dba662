// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HistoryFiles.h"
#include "TClock.h"
#include "THistoryOutages.h"
#include "THistoryReader.h"
#include "THistoryTypes.h"
#include "TSqlStatement.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

// The history of every ping in ZIRKO.DB: one writing connection, locked for
// this process (readers come in beside it), one transaction per ping, so a crash or a kill -9 loses at most the
// ping being stored. Any fault of the file ends in a status other than
// Available and closes the file; Open can be called again later to retry (a
// disk that has room again, a copy that has ended). It never throws, and the
// caller's work goes on without its history. One thread uses a store at a time.
class THistoryStore {
public:
    static constexpr const char* FileName = "ZIRKO.DB";
    static constexpr int64_t MsPerDay = 24LL * 60 * 60 * 1000;
    // Every ping is kept this long; beyond it only its minute's aggregate.
    static constexpr int64_t FullResolutionMs = 31 * MsPerDay;
    static constexpr int64_t AggregatesMs = 400 * MsPerDay;
    // Longer round trips are refused: no reply is waited for that long, and the
    // minute's sum of squares stays far inside 64 bits.
    static constexpr int64_t MaxRoundTripUs = 60'000'000;
    // How long an open waits for a file another connection is busy with.
    static constexpr int BusyTimeoutMs = 100;

    THistoryStore() = default;
    ~THistoryStore() = default;
    THistoryStore(const THistoryStore&) = delete;
    THistoryStore& operator=(const THistoryStore&) = delete;

    // Opens or creates ZIRKO.DB in Folder and closes a period a crash left
    // open. A damaged file is put aside first and a new one begun (see
    // PutAsidePath). True when the store is Available.
    bool Open(const std::string& Folder);
    // Opens ZIRKO.DB in Folder only to read it, whoever writes it: nothing is
    // created, migrated or closed, and every write returns false.
    bool OpenForReading(const std::string& Folder);
    void Close();
    THistoryStatus Status() const { return FStatus; }
    bool Available() const { return FStatus == THistoryStatus::Available; }
    // Where the last Open put a damaged file; empty when it put none aside.
    const std::string& PutAsidePath() const { return FPutAside; }
    const std::string& Path() const { return FPath; }
    // Non-owning; nullptr restores the system clock. Only names put-aside files.
    void SetClock(const TClock* Clock) { FClock = Clock; }

    // Stores one ping in a transaction of its own; false when it was not
    // stored. A ping with a family other than 4 or 6, or a round trip outside
    // [0, MaxRoundTripUs], is refused and the store stays Available.
    bool AddPing(const THistoryPing& Ping);
    // Stores many pings in one transaction, the way to keep up with a thousand
    // targets: one commit a batch instead of one a ping, and one aggregate update
    // per target and minute of the batch instead of one a ping. All or none are stored;
    // an invalid ping among them refuses the batch, and the store stays Available.
    bool AddPings(std::span<const THistoryPing> Pings);
    // What answered pings keep from now on (Full by default). While PerMinute, no
    // range up to the newest ping is read from the pings themselves any more.
    void SetResolution(THistoryResolution Resolution) { FResolution = Resolution; }
    THistoryResolution Resolution() const { return FResolution; }
    // Whether Ping gets a row of its own under Resolution, beside its aggregates.
    static bool KeepsRow(const THistoryPing& Ping, THistoryResolution Resolution);
    // Closes the open period at StartMs and opens one of Kind. The Ping page and the
    // targets list (Listed) each have a period of their own open.
    bool BeginPeriod(THistoryPeriodKind Kind, int64_t StartMs, bool Listed = false);
    // Closes the open period, if any; an end before its start becomes the start.
    bool EndPeriod(int64_t EndMs, bool Listed = false);
    // Stores an outage as it begins, setting its Id, and then as it goes on and
    // ends; the monitor calls these after the ping that changed it.
    bool AddOutage(TOutage& Outage);
    bool UpdateOutage(const TOutage& Outage);
    // The short trace run when outage Id began, kept with it; none until then.
    bool SetOutageTrace(int64_t Id, const TOutageTrace& Trace);
    std::optional<TOutageTrace> OutageTrace(int64_t Id);
    // Pings, aggregates, periods, outages and hosts go in one transaction.
    bool Clear();
    // One bounded step of retention against NowMs, the wall clock: at most
    // MaxRows rows are deleted (pings past full resolution, then aggregates and
    // periods and outages past AggregatesMs), so no call pauses the program. True while
    // more is left; the caller steps it now and then, e.g. after a ping.
    bool PruneStep(int64_t NowMs, int MaxRows = 2000);

    // Reads over [FromMs, ToMs) in UTC ms (see THistoryReader for which come
    // from the pings and which from the minute aggregates); empty when the
    // store is not available. Stamps can repeat after the wall clock was set
    // back: such pings simply all show, ordered by stamp and then by insertion.
    // Scope: the Ping page's records alone, or the targets list's too.
    std::optional<THistoryExtent> Extent(THistoryScope Scope = THistoryScope::All);
    std::vector<THistoryPing> Pings(int64_t FromMs, int64_t ToMs,
                                    THistoryScope Scope = THistoryScope::All);
    std::vector<THistoryColumn> Series(int64_t FromMs, int64_t ToMs, int Columns,
                                       THistoryScope Scope = THistoryScope::All);
    std::vector<THistoryPeriod> Periods(int64_t FromMs, int64_t ToMs,
                                        THistoryScope Scope = THistoryScope::All);
    THistorySummary Summary(int64_t FromMs, int64_t ToMs,
                            THistoryScope Scope = THistoryScope::All);
    std::vector<THistoryMinute> Minutes(int64_t FromMs, int64_t ToMs);
    // Newest first; an open one included.
    std::vector<TOutage> Outages(int64_t FromMs, int64_t ToMs);
    // Every host a ping was kept for, as typed, sorted; empty when not available.
    std::vector<std::string> Hosts();

private:
    // Wider stamps are no instant of this program; kept out so no range arithmetic overflows.
    static constexpr int64_t StampLimit = int64_t{1} << 50;
    // More columns than any screen has pixels would only cost memory.
    static constexpr int MaxColumns = 65'536;
    static int64_t ClampStamp(int64_t Ms);

    THistoryStatus OpenFile();
    THistoryStatus ProbeFile();
    THistoryStatus CheckFile(sqlite3* Db);
    THistoryStatus PrepareStatements();
    // Drops statements and connection, and with them the lock; the status stays.
    void Release();
    int CloseCrashedPeriods();
    int TargetOf(const THistoryPing& Ping, int64_t& Id);
    int InsertPing(const THistoryPing& Ping);
    // Ping's own row, when Resolution keeps one.
    int InsertRow(const THistoryPing& Ping, int64_t Target);
    // Many pings' aggregates, one statement per target and minute (and hour).
    int AddGroups(std::span<const THistoryPing> Pings, std::span<const int64_t> Targets);
    int MarkSummarizedUpTo(int64_t UtcMs);
    static bool Valid(const THistoryPing& Ping);
    int CloseOpenPeriod(int64_t EndMs, bool Listed);
    // Runs Body in a transaction; on failure rolls back and faults.
    template <typename TBody> bool Transaction(TBody Body);
    // False, with the store faulted, when Rc is a failure.
    bool Check(int Rc);
    // Turns a failed call into the store's status and closes the file.
    void Fault(int Rc);
    THistoryStatus StatusOf(int Rc) const;
    const TClock& Clock() const { return FClock ? *FClock : TClock::System(); }

    std::string FFolder;
    std::string FPath;
    std::string FPutAside;
    THistoryStatus FStatus = THistoryStatus::Closed;
    const TClock* FClock = nullptr;

    // Released after the connection has closed; then the statements, before it.
    THistoryWriterLock FLock;
    bool FReading = false;
    TSqlConnection FDb;
    std::optional<THistoryReader> FReader;
    std::optional<THistoryOutages> FOutages;
    TSqlStatement FBegin, FCommit, FRollback;
    TSqlStatement FFindTarget, FInsertTarget, FInsertPing, FAddToMinute, FAddToHour;
    TSqlStatement FAddGroupToMinute, FAddGroupToHour;
    TSqlStatement FInsertPeriod, FEndPeriod, FRawFrom;
    THistoryResolution FResolution = THistoryResolution::Full;
    std::map<std::tuple<std::string, std::string, int, bool>, int64_t> FTargets;
    struct TOpenPeriod {
        int64_t Id;
        int64_t StartMs;
    };
    std::optional<TOpenPeriod> FOpenPeriod[2]; // the Ping page's, the list's
    // At least the length of every closed period, for the periods' index search.
    int64_t FLongestPeriodMs = 0;
};
