// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// An open log file descriptor holding an exclusive advisory lock on the file,
// so a second writer fails while readers (tail -f, less) keep working.
class TLogFile {
public:
    TLogFile() = default;
    ~TLogFile();
    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;

    // Locks an existing file without writing to it. False with errno ENOENT
    // when there is no such file, false with another errno on any failure.
    bool OpenLocked(const std::string& Path);
    // Creates the file or empties an existing one, but only once it is locked,
    // so a file held by someone else is never truncated.
    bool Create(const std::string& Path);
    // Opens an existing file for appending, locked.
    bool OpenAppend(const std::string& Path);

    // Writes all of Bytes or, on failure, takes back the part that was written,
    // so the file never ends in a torn entry.
    bool Append(std::string_view Bytes);
    // Closes and releases the lock; false when close reports a failure.
    bool Close();
    bool IsOpen() const { return FHandle >= 0; }

private:
    bool OpenAndLock(const std::string& Path, int Flags);

    int FHandle = -1;
};
