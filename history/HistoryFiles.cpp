// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryFiles.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

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

std::string PutHistoryAside(const std::string& DbPath, int64_t UtcMs) {
    const std::string Base = HistoryAsideName(DbPath, UtcMs);
    std::string Aside;
    for (int Suffix = 0; Suffix <= 99 && Aside.empty(); ++Suffix) {
        const std::string Name = Suffix == 0 ? Base : Base + "_" + std::to_string(Suffix);
        if (!NameFree(Name)) {
            continue;
        }
        switch (MoveNoReplace(DbPath, Name)) {
        case TMove::Moved:
            Aside = Name;
            break;
        case TMove::Taken:
            continue;
        case TMove::Missing:
        case TMove::Failed:
            return {};
        }
    }
    if (Aside.empty()) {
        return {};
    }
    // A journal left beside a new file would be played into it: move them
    // all, and give up on the new file when one stays.
    for (const char* Companion : HistoryCompanions) {
        const TMove Result = MoveNoReplace(DbPath + Companion, Aside + Companion);
        if (Result != TMove::Moved && Result != TMove::Missing) {
            return {};
        }
    }
    return Aside;
}

bool FolderReadOnly(const std::string& Folder) {
    return ::access(Folder.c_str(), W_OK | X_OK) != 0 &&
           (errno == EACCES || errno == EROFS || errno == EPERM);
}
