// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryFiles.h"

#include "HistorySchema.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace {

// The companions SQLite may keep beside a database, moved along with it.
constexpr const char* HistoryCompanions[] = {"-wal", "-shm", "-journal"};

enum class TMove { Moved, Taken, Missing, Failed };

TMove MoveNoReplace(const std::string& From, const std::string& To) {
    if (::renameat2(AT_FDCWD, From.c_str(), AT_FDCWD, To.c_str(), RENAME_NOREPLACE) == 0) {
        return TMove::Moved;
    }
    if (errno == EINVAL || errno == ENOSYS) {
        // No RENAME_NOREPLACE here: a hard link refuses a taken name just as well.
        if (::link(From.c_str(), To.c_str()) == 0) {
            return ::unlink(From.c_str()) == 0 ? TMove::Moved : TMove::Failed;
        }
    }
    if (errno == EEXIST) {
        return TMove::Taken;
    }
    return errno == ENOENT ? TMove::Missing : TMove::Failed;
}

// True when neither Name nor any of its companions exists yet.
bool NameFree(const std::string& Name) {
    if (::access(Name.c_str(), F_OK) == 0 || errno != ENOENT) {
        return false;
    }
    for (const char* Companion : HistoryCompanions) {
        if (::access((Name + Companion).c_str(), F_OK) == 0 || errno != ENOENT) {
            return false;
        }
    }
    return true;
}

// Moves each companion of From there to the same companion of To. When one
// cannot be moved, those already moved go back and it answers false.
bool MoveCompanions(const std::string& From, const std::string& To) {
    std::vector<std::string> Moved;
    for (const char* Companion : HistoryCompanions) {
        const TMove Result = MoveNoReplace(From + Companion, To + Companion);
        if (Result == TMove::Moved) {
            Moved.emplace_back(Companion);
        } else if (Result != TMove::Missing) {
            for (const std::string& Back : Moved) {
                MoveNoReplace(To + Back, From + Back);
            }
            return false;
        }
    }
    return true;
}

} // namespace

std::string HistoryAsideName(const std::string& DbPath, int64_t UtcMs) {
    const time_t Seconds = static_cast<time_t>(UtcMs / 1000);
    std::tm When{};
    char Stamp[32] = "";
    if (::gmtime_r(&Seconds, &When) != nullptr) {
        std::strftime(Stamp, sizeof Stamp, "%Y%m%d%H%M%S", &When);
    }
    return DbPath + ".corrupt-" + Stamp;
}

// The companions go first, and the file only once none stayed behind. A
// journal left beside the new file would meet it: SQLite deletes a WAL found
// beside an empty database (the last commits of the file put aside would go
// with it) and plays one into a database that has pages, whoever wrote it.
std::string PutHistoryAside(const std::string& DbPath, int64_t UtcMs) {
    const std::string Base = HistoryAsideName(DbPath, UtcMs);
    for (int Suffix = 0; Suffix <= 99; ++Suffix) {
        const std::string Name = Suffix == 0 ? Base : Base + "_" + std::to_string(Suffix);
        if (!NameFree(Name)) {
            continue;
        }
        if (!MoveCompanions(DbPath, Name)) {
            return {}; // refused: all are where they were
        }
        const TMove Result = MoveNoReplace(DbPath, Name);
        if (Result == TMove::Moved) {
            return Name;
        }
        MoveCompanions(Name, DbPath);
        if (Result != TMove::Taken) {
            return {};
        }
    }
    return {};
}

bool FolderReadOnly(const std::string& Folder) {
    return ::access(Folder.c_str(), W_OK | X_OK) != 0 &&
           (errno == EACCES || errno == EROFS || errno == EPERM);
}

int THistoryWriterLock::Take(const std::string& Path) {
    Release();
    FFd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (FFd < 0) {
        return SQLITE_CANTOPEN;
    }
    if (::flock(FFd, LOCK_EX | LOCK_NB) != 0) {
        const int Error = errno;
        Release();
        return Error == EWOULDBLOCK ? SQLITE_BUSY : SQLITE_CANTOPEN;
    }
    return SQLITE_OK;
}

void THistoryWriterLock::Release() {
    if (FFd >= 0) {
        ::close(FFd);
        FFd = -1;
    }
}

int OpenHistoryForReading(const std::string& Path, sqlite3*& Db, int BusyTimeoutMs) {
    int Rc = ::sqlite3_open_v2(Path.c_str(), &Db, SQLITE_OPEN_READONLY, nullptr);
    if (Rc != SQLITE_OK) {
        return Rc;
    }
    ::sqlite3_extended_result_codes(Db, 1);
    ::sqlite3_busy_timeout(Db, BusyTimeoutMs);
    int64_t Version = 0;
    Rc = ReadUserVersion(Db, Version);
    if (Rc == SQLITE_OK && (Version > HistorySchemaVersion() || Version == 0)) {
        Rc = SQLITE_NOTADB;
    }
    return Rc;
}
