// SPDX-License-Identifier: GPL-3.0-or-later
#include "TMetricsTextfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Failure(const std::string& What, const std::string& Path, int Error) {
    return What + " " + Path + ": " + std::strerror(Error);
}

// Every byte, across short writes and signals.
bool WriteAll(int Fd, std::string_view Text) {
    while (!Text.empty()) {
        const ssize_t N = ::write(Fd, Text.data(), Text.size());
        if (N < 0 && errno == EINTR) {
            continue;
        }
        if (N <= 0) {
            return false;
        }
        Text.remove_prefix(static_cast<std::size_t>(N));
    }
    return true;
}

} // namespace

TMetricsTextfile::TMetricsTextfile(std::string Dir)
    : FDir(Dir.empty() ? std::string("./") : std::move(Dir)) {
    if (FDir.back() != '/') {
        FDir += '/';
    }
    FPath = FDir;
    FPath.append("zirko.prom");
}

std::string TMetricsTextfile::Write(std::string_view Text) const {
    // The collector reads *.prom only, so a leading dot and a suffix keep the
    // half-written file out of its sight.
    std::string Temporary = FDir;
    Temporary.append(".zirko.prom.XXXXXX");
    const int Fd = ::mkostemp(Temporary.data(), O_CLOEXEC);
    if (Fd < 0) {
        return Failure("cannot write in", FDir, errno);
    }
    // mkostemp makes it private; the collector runs as another user.
    bool Written = ::fchmod(Fd, 0644) == 0 && WriteAll(Fd, Text);
    int Error = Written ? 0 : errno;
    // A full disk may show only when the data leave for it.
    if (::close(Fd) != 0 && Written) {
        Written = false;
        Error = errno;
    }
    if (!Written) {
        ::unlink(Temporary.c_str());
        return Failure("cannot write", Temporary, Error);
    }
    if (::rename(Temporary.c_str(), FPath.c_str()) != 0) {
        const int RenameError = errno;
        ::unlink(Temporary.c_str());
        return Failure("cannot replace", FPath, RenameError);
    }
    return {};
}
