// SPDX-License-Identifier: GPL-3.0-or-later
#include "AgenteUtils.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <glob.h>
#include <limits>
#include <sys/stat.h>

namespace {

// Wildcards ("*", "?") count only in the last component, as for a directory
// search; a folder named "logs[1]" or "a*b" must match itself only.
std::string EscapeForGlob(const std::string& Path) {
    const size_t NameStart = Path.rfind('/') == std::string::npos ? 0 : Path.rfind('/') + 1;
    std::string Escaped;
    Escaped.reserve(Path.size() * 2);
    for (size_t I = 0; I < Path.size(); ++I) {
        const char C = Path[I];
        const bool Wildcard = C == '*' || C == '?';
        if (C == '[' || C == ']' || C == '\\' || (Wildcard && I < NameStart)) {
            Escaped.push_back('\\');
        }
        Escaped.push_back(C);
    }
    return Escaped;
}

int64_t EntrySize(const char* Entry) {
    struct stat Info {};
    if (::stat(Entry, &Info) != 0 || S_ISDIR(Info.st_mode)) {
        return 0;
    }
    return static_cast<int64_t>(Info.st_size);
}

} // namespace

int32_t TotalFileSize(const std::string& Path) {
    glob_t Matches{};
    const int Result =
        ::glob(EscapeForGlob(Path).c_str(), GLOB_NOSORT | GLOB_PERIOD, nullptr, &Matches);
    if (Result == GLOB_NOMATCH || Result == GLOB_ABORTED) {
        ::globfree(&Matches);
        return 0;
    }
    if (Result != 0) {
        ::globfree(&Matches);
        return -1;
    }
    constexpr int64_t Max = std::numeric_limits<int32_t>::max();
    int64_t Total = 0;
    for (size_t I = 0; I < Matches.gl_pathc; ++I) {
        Total += EntrySize(Matches.gl_pathv[I]);
        if (Total >= Max) {
            Total = Max;
            break;
        }
    }
    ::globfree(&Matches);
    return static_cast<int32_t>(Total);
}

std::string ReplicateChar(char C, int32_t Count) {
    if (Count < 1 || Count > 255) {
        return {};
    }
    return std::string(static_cast<size_t>(Count), C);
}

TRenameResult RenameNoReplace(const std::string& From, const std::string& To) {
    if (::renameat2(AT_FDCWD, From.c_str(), AT_FDCWD, To.c_str(), RENAME_NOREPLACE) == 0) {
        return TRenameResult::Renamed;
    }
    if (errno == EEXIST) {
        return TRenameResult::TargetTaken;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return TRenameResult::Failed;
    }
    // File systems without RENAME_NOREPLACE: check first, accepting the small race.
    struct stat Info {};
    if (::lstat(To.c_str(), &Info) == 0) {
        return TRenameResult::TargetTaken;
    }
    return std::rename(From.c_str(), To.c_str()) == 0 ? TRenameResult::Renamed
                                                      : TRenameResult::Failed;
}
