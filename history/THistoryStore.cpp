// SPDX-License-Identifier: GPL-3.0-or-later
#include "THistoryStore.h"

#include "HistoryBuckets.h"
#include "HistoryFiles.h"
#include "HistoryRetention.h"
#include "HistorySchema.h"

#include <algorithm>
#include <cerrno>
#include <string>

namespace {

// The commit of one ping costs tens of microseconds in WAL mode: settle for nothing else.
int EnterWal(sqlite3* Db) {
    TSqlStatement Mode;
    int Rc = Mode.Prepare(Db, "PRAGMA journal_mode = WAL");
    if (Rc == SQLITE_OK) {
        Rc = Mode.Step();
    }
    if (Rc != SQLITE_ROW) {
        return Rc;
    }
    return Mode.Text(0) == "wal" ? SQLITE_OK : SQLITE_IOERR;
}

} // namespace

bool THistoryStore::Open(const std::string& Folder) {
    Close();
    FFolder = Folder.empty() || Folder.back() == '/' ? Folder : Folder + "/";
    FPath = FFolder + FileName;
    FPutAside.clear();
    FStatus = OpenFile();
    if (FStatus == THistoryStatus::Corrupt) {
        // Nothing is lost: the damaged file (and its journal) keeps a name of its own.
        Release();
        FPutAside = PutHistoryAside(FPath, Clock().WallMs());
        if (!FPutAside.empty()) {
            FStatus = OpenFile();
        }
    }
    if (FStatus != THistoryStatus::Available) {
        Release();
    } else {
        // The check read every page into the cache; appends need few of them again.
        ::sqlite3_db_release_memory(FDb.get());
    }
    return Available();
}

bool THistoryStore::OpenForReading(const std::string& Folder) {
    Close();
    FFolder = Folder.empty() || Folder.back() == '/' ? Folder : Folder + "/";
    FPath = FFolder + FileName;
    FPutAside.clear();
    sqlite3* Db = nullptr;
    int Rc = OpenHistoryForReading(FPath, Db, BusyTimeoutMs);
    FDb.reset(Db);
    if (Rc == SQLITE_OK) {
        FReader.emplace();
        FOutages.emplace();
        Rc = FReader->Prepare(Db);
    }
    if (Rc == SQLITE_OK) {
        Rc = FOutages->Prepare(Db);
    }
    if (Rc == SQLITE_OK) {
        Rc = FReader->LongestPeriod(FLongestPeriodMs);
    }
    FStatus = StatusOf(Rc);
    if (FStatus != THistoryStatus::Available) {
        Release();
    }
    FReading = Available();
    return Available();
}

void THistoryStore::Close() {
    Release();
    FStatus = THistoryStatus::Closed;
}

void THistoryStore::Release() {
    FReader.reset();
    FOutages.reset();
    for (TSqlStatement* Statement :
         {&FBegin, &FCommit, &FRollback, &FFindTarget, &FInsertTarget, &FInsertPing, &FAddToMinute,
          &FAddToHour, &FAddGroupToMinute, &FAddGroupToHour, &FInsertPeriod, &FEndPeriod,
          &FRawFrom}) {
        *Statement = TSqlStatement();
    }
    FDb.reset();
    FLock.Release();
    FReading = false;
    FTargets.clear();
    for (auto& Open : FOpenPeriod) {
        Open.reset();
    }
    FLongestPeriodMs = 0;
}

THistoryStatus THistoryStore::OpenFile() {
    sqlite3* Db = nullptr;
    int Rc =
        ::sqlite3_open_v2(FPath.c_str(), &Db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    FDb.reset(Db);
    if (Rc != SQLITE_OK) {
        return StatusOf(Rc);
    }
    ::sqlite3_extended_result_codes(Db, 1);
    // Bounded, so a copy that finds the file held says so at once.
    ::sqlite3_busy_timeout(Db, BusyTimeoutMs);
    // Until the file is known to be ours, closing must not write to it.
    ::sqlite3_db_config(Db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    if (::sqlite3_db_readonly(Db, "main") == 1) {
        return THistoryStatus::ReadOnly;
    }
    // One writer, before the first read; readers are let in (see THistoryWriterLock).
    Rc = FLock.Take(FPath);
    if (Rc != SQLITE_OK) {
        return StatusOf(Rc);
    }
    if (const THistoryStatus Checked = ProbeFile(); Checked != THistoryStatus::Available) {
        return Checked;
    }
    // synchronous=NORMAL in WAL mode: a commit is in the operating system once
    // it returns, so a crash or a kill -9 of Zirko loses nothing committed;
    // only a power cut may lose the last commits, and the file stays sound.
    Rc = EnterWal(Db);
    if (Rc == SQLITE_OK) {
        Rc = SqlExec(Db, "PRAGMA synchronous = NORMAL");
    }
    if (Rc == SQLITE_OK) {
        Rc = MigrateHistory(Db, HistoryMigrations());
    }
    if (Rc == SQLITE_OK) {
        Rc = CloseCrashedPeriods();
    }
    if (Rc == SQLITE_OK) {
        Rc = THistoryOutages::CloseCrashed(Db);
    }
    if (Rc != SQLITE_OK) {
        return StatusOf(Rc);
    }
    ::sqlite3_db_config(Db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
    return PrepareStatements();
}

THistoryStatus THistoryStore::ProbeFile() {
    // A look of its own, in exclusive mode, before the writing connection reads
    // anything: that one shares its index in the -shm file, and would take a
    // damaged file's companions in before the file was found damaged.
    sqlite3* Raw = nullptr;
    const int Rc = ::sqlite3_open_v2(FPath.c_str(), &Raw, SQLITE_OPEN_READWRITE, nullptr);
    const TSqlConnection Probe(Raw);
    if (Rc != SQLITE_OK) {
        return StatusOf(Rc);
    }
    ::sqlite3_extended_result_codes(Raw, 1);
    ::sqlite3_busy_timeout(Raw, BusyTimeoutMs);
    ::sqlite3_db_config(Raw, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    if (const int Mode = SqlExec(Raw, "PRAGMA locking_mode = EXCLUSIVE"); Mode != SQLITE_OK) {
        return StatusOf(Mode);
    }
    return CheckFile(Raw);
}

THistoryStatus THistoryStore::CheckFile(sqlite3* Db) {
    int64_t Version = 0;
    // The first read: a file held by another connection answers busy here.
    int Rc = ReadUserVersion(Db, Version);
    if (Rc != SQLITE_OK) {
        return StatusOf(Rc);
    }
    if (Version > HistorySchemaVersion()) {
        return THistoryStatus::NewerSchema;
    }
    TSqlStatement Check;
    Rc = Check.Prepare(Db, "PRAGMA quick_check");
    if (Rc == SQLITE_OK) {
        Rc = Check.Step();
    }
    if (Rc != SQLITE_ROW) {
        return StatusOf(Rc == SQLITE_DONE ? SQLITE_CORRUPT : Rc);
    }
    if (Check.Text(0) != "ok") {
        return THistoryStatus::Corrupt;
    }
    Check.Reset();
    // A database of some other program: not ours to add tables to, so it is
    // put aside as a damaged history would be.
    Rc = Check.Prepare(Db, "SELECT count(*) FROM sqlite_schema");
    if (Rc == SQLITE_OK) {
        Rc = Check.Step();
    }
    if (Rc != SQLITE_ROW) {
        return StatusOf(Rc);
    }
    return Version == 0 && Check.Int(0) > 0 ? THistoryStatus::Corrupt : THistoryStatus::Available;
}

THistoryStatus THistoryStore::PrepareStatements() {
    const std::pair<TSqlStatement*, std::string> Statements[] = {
        {&FBegin, "BEGIN"},
        {&FCommit, "COMMIT"},
        {&FRollback, "ROLLBACK"},
        {&FFindTarget, "SELECT id FROM target WHERE host = ?1 AND address = ?2 AND family = ?3 "
                       "AND listed = ?4"},
        {&FInsertTarget, "INSERT INTO target(host, address, family, listed) VALUES(?1, ?2, ?3, ?4)"},
        {&FInsertPing, "INSERT INTO ping(utc_ms, target, kind, rtt_us, ttl, bytes) "
                       "VALUES(?1, ?2, ?3, ?4, ?5, ?6)"},
        {&FAddToMinute, AddToAggregateSql("minute")},
        {&FAddToHour, AddToAggregateSql("hour")},
        {&FAddGroupToMinute, AddGroupToAggregateSql("minute")},
        {&FAddGroupToHour, AddGroupToAggregateSql("hour")},
        {&FInsertPeriod, "INSERT INTO period(kind, start_ms, after_ping, listed) "
                         "VALUES(?1, ?2, (SELECT coalesce(max(id), 0) FROM ping), ?3)"},
        {&FEndPeriod, "UPDATE period SET end_ms = max(start_ms, ?2) WHERE id = ?1"},
        {&FRawFrom, "INSERT INTO meta(key, value) VALUES('raw_from_ms', ?1) "
                    "ON CONFLICT(key) DO UPDATE SET value = max(value, excluded.value)"},
    };
    for (const auto& [Statement, Sql] : Statements) {
        if (const int Rc = Statement->Prepare(FDb.get(), Sql); Rc != SQLITE_OK) {
            return StatusOf(Rc);
        }
    }
    FReader.emplace();
    FOutages.emplace();
    int Rc = FReader->Prepare(FDb.get());
    if (Rc == SQLITE_OK) {
        Rc = FOutages->Prepare(FDb.get());
    }
    if (Rc == SQLITE_OK) {
        Rc = FReader->LongestPeriod(FLongestPeriodMs);
    }
    return Rc == SQLITE_OK ? THistoryStatus::Available : StatusOf(Rc);
}

int THistoryStore::CloseCrashedPeriods() {
    // A period still open was open when Zirko ended without closing it: it
    // ends at its last ping (the Ping page's, or the targets list's), or where it
    // began when it had none.
    return SqlExec(FDb.get(),
                   "UPDATE period SET end_ms = max(start_ms, coalesce((SELECT utc_ms FROM ping "
                   "WHERE ping.id > period.after_ping AND ping.target IN (SELECT id FROM target "
                   "WHERE listed = period.listed) ORDER BY ping.id DESC LIMIT 1), start_ms)) "
                   "WHERE end_ms IS NULL");
}

template <typename TBody> bool THistoryStore::Transaction(TBody Body) {
    if (!Available() || FReading) {
        return false;
    }
    int Rc = FBegin.Run();
    if (Rc == SQLITE_OK) {
        Rc = Body();
    }
    if (Rc == SQLITE_OK) {
        Rc = FCommit.Run();
    }
    if (Rc != SQLITE_OK) {
        if (!::sqlite3_get_autocommit(FDb.get())) {
            FRollback.Run();
        }
        Fault(Rc);
        return false;
    }
    return true;
}

bool THistoryStore::Check(int Rc) {
    if (Rc != SQLITE_OK) {
        Fault(Rc);
    }
    return Rc == SQLITE_OK;
}

void THistoryStore::Fault(int Rc) {
    FStatus = StatusOf(Rc);
    Release();
}

THistoryStatus THistoryStore::StatusOf(int Rc) const {
    switch (Rc & 0xff) {
    case SQLITE_OK:
        return THistoryStatus::Available;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return THistoryStatus::Held;
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return THistoryStatus::ReadOnly;
    case SQLITE_FULL:
        return THistoryStatus::DiskFull;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return THistoryStatus::Corrupt;
    case SQLITE_CANTOPEN:
        return FolderReadOnly(FFolder.empty() ? "." : FFolder) ? THistoryStatus::ReadOnly
                                                               : THistoryStatus::IoError;
    case SQLITE_IOERR: {
        const int Errno = FDb ? ::sqlite3_system_errno(FDb.get()) : 0;
        if (Errno == ENOSPC || Errno == EDQUOT) {
            return THistoryStatus::DiskFull;
        }
        return Errno == EROFS ? THistoryStatus::ReadOnly : THistoryStatus::IoError;
    }
    default:
        return THistoryStatus::IoError;
    }
}

bool THistoryStore::AddPing(const THistoryPing& Ping) {
    return Valid(Ping) && Transaction([&] {
               const int Rc = InsertPing(Ping);
               return Rc == SQLITE_OK ? MarkSummarizedUpTo(Ping.UtcMs) : Rc;
           });
}

bool THistoryStore::AddPings(std::span<const THistoryPing> Pings) {
    if (!std::all_of(Pings.begin(), Pings.end(), Valid)) {
        return false;
    }
    return Transaction([&] {
        int64_t Newest = -StampLimit;
        std::vector<int64_t> Targets(Pings.size());
        for (std::size_t I = 0; I < Pings.size(); ++I) {
            int Rc = TargetOf(Pings[I], Targets[I]);
            if (Rc == SQLITE_OK) {
                Rc = InsertRow(Pings[I], Targets[I]);
            }
            if (Rc != SQLITE_OK) {
                return Rc;
            }
            Newest = std::max(Newest, Pings[I].UtcMs);
        }
        const int Rc = AddGroups(Pings, Targets);
        return Rc != SQLITE_OK || Pings.empty() ? Rc : MarkSummarizedUpTo(Newest);
    });
}

int THistoryStore::CloseOpenPeriod(int64_t EndMs, bool Listed) {
    const std::optional<TOpenPeriod>& Open = FOpenPeriod[Listed];
    if (!Open) {
        return SQLITE_OK;
    }
    FEndPeriod.Bind(1, Open->Id);
    FEndPeriod.Bind(2, EndMs);
    FLongestPeriodMs = std::max(FLongestPeriodMs, EndMs - Open->StartMs);
    return FEndPeriod.Run();
}

bool THistoryStore::BeginPeriod(THistoryPeriodKind Kind, int64_t StartMs, bool Listed) {
    if (Kind > THistoryPeriodKind::Burst) {
        return false;
    }
    StartMs = ClampStamp(StartMs);
    int64_t Id = 0;
    const bool Begun = Transaction([&] {
        int Rc = CloseOpenPeriod(StartMs, Listed);
        if (Rc == SQLITE_OK) {
            FInsertPeriod.Bind(1, static_cast<int64_t>(Kind));
            FInsertPeriod.Bind(2, StartMs);
            FInsertPeriod.Bind(3, int64_t{Listed});
            Rc = FInsertPeriod.Run();
            Id = ::sqlite3_last_insert_rowid(FDb.get());
        }
        return Rc;
    });
    if (Begun) {
        FOpenPeriod[Listed] = TOpenPeriod{Id, StartMs};
    }
    return Begun;
}

bool THistoryStore::EndPeriod(int64_t EndMs, bool Listed) {
    if (!FOpenPeriod[Listed]) {
        return Available();
    }
    const bool Ended = Transaction([&] { return CloseOpenPeriod(ClampStamp(EndMs), Listed); });
    FOpenPeriod[Listed].reset();
    return Ended;
}

bool THistoryStore::Clear() {
    const bool Cleared = Transaction([&] {
        return SqlExec(FDb.get(), "DELETE FROM ping; DELETE FROM minute; DELETE FROM hour; "
                                  "DELETE FROM period; DELETE FROM outage; DELETE FROM outage_hop; "
                                  "DELETE FROM target; "
                                  "DELETE FROM meta");
    });
    FTargets.clear();
    for (auto& Open : FOpenPeriod) {
        Open.reset();
    }
    FLongestPeriodMs = 0;
    return Cleared;
}

bool THistoryStore::PruneStep(int64_t NowMs, int MaxRows) {
    bool More = false;
    const bool Pruned = Transaction(
        [&] { return PruneHistoryRows(FDb.get(), ClampStamp(NowMs), std::max(MaxRows, 1), More); });
    return Pruned && More;
}

int64_t THistoryStore::ClampStamp(int64_t Ms) {
    return std::clamp(Ms, -StampLimit, StampLimit);
}

bool THistoryStore::AddOutage(TOutage& Outage) {
    return Transaction([&] { return FOutages->Insert(Outage); });
}

bool THistoryStore::UpdateOutage(const TOutage& Outage) {
    return Outage.Id != 0 && Transaction([&] { return FOutages->Update(Outage); });
}

bool THistoryStore::SetOutageTrace(int64_t Id, const TOutageTrace& Trace) {
    return Id != 0 && Transaction([&] { return FOutages->SetTrace(Id, Trace); });
}
