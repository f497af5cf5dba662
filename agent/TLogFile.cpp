// SPDX-License-Identifier: GPL-3.0-or-later
#include "TLogFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TLogFile::~TLogFile() {
    Close();
}

bool TLogFile::OpenAndLock(const std::string& Path, int Flags) {
    Close();
    const int Handle = ::open(Path.c_str(), Flags | O_CLOEXEC, 0666);
    if (Handle < 0) {
        return false;
    }
    if (::flock(Handle, LOCK_EX | LOCK_NB) != 0) {
        const int Error = errno;
        ::close(Handle);
        errno = Error;
        return false;
    }
    FHandle = Handle;
    return true;
}

bool TLogFile::OpenLocked(const std::string& Path) {
    if (OpenAndLock(Path, O_RDONLY)) {
        return true;
    }
    // A write-only file can still be locked through a write-only descriptor.
    return errno == EACCES && OpenAndLock(Path, O_WRONLY | O_APPEND);
}

bool TLogFile::Create(const std::string& Path) {
    if (!OpenAndLock(Path, O_WRONLY | O_APPEND | O_CREAT)) {
        return false;
    }
    if (::ftruncate(FHandle, 0) != 0) {
        Close();
        return false;
    }
    return true;
}

bool TLogFile::OpenAppend(const std::string& Path) {
    return OpenAndLock(Path, O_WRONLY | O_APPEND);
}

bool TLogFile::Append(std::string_view Bytes) {
    if (FHandle < 0) {
        errno = EBADF;
        return false;
    }
    size_t Written = 0;
    while (Written < Bytes.size()) {
        const ssize_t Result = ::write(FHandle, Bytes.data() + Written, Bytes.size() - Written);
        if (Result < 0 && errno == EINTR) {
            continue;
        }
        if (Result <= 0) {
            const int Error = Result < 0 ? errno : ENOSPC;
            if (Written > 0) {
                // O_APPEND: the torn part is the last Written bytes of the file.
                const off_t End = ::lseek(FHandle, 0, SEEK_END);
                if (End >= static_cast<off_t>(Written)) {
                    (void)!::ftruncate(FHandle, End - static_cast<off_t>(Written));
                }
            }
            errno = Error;
            return false;
        }
        Written += static_cast<size_t>(Result);
    }
    return true;
}

bool TLogFile::Close() {
    if (FHandle < 0) {
        return true;
    }
    const int Handle = FHandle;
    FHandle = -1;
    // Linux releases the descriptor even when close reports an error: never retry.
    return ::close(Handle) == 0;
}
