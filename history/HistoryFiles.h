// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include <sqlite3.h>

// "<DbPath>.corrupt-<UTC yyyymmddhhmmss>" for the instant UtcMs.
std::string HistoryAsideName(const std::string& DbPath, int64_t UtcMs);

// Moves DbPath and its companions to the aside name of UtcMs, or to that name
// with "_1" ... "_99" when it is taken; nothing is ever replaced. The name
// used, or empty when the file or one of its companions could not be moved
// (they are then where they were: a new file never meets the old journal).
std::string PutHistoryAside(const std::string& DbPath, int64_t UtcMs);

// True when Folder exists but cannot be written (permissions or a read-only mount).
bool FolderReadOnly(const std::string& Folder);

// The writer's claim on a history: an flock(2) on the database file itself,
// held for the life of the writing connection. SQLite's own locks are fcntl
// locks, which flock does not meet, so readers (a report, the sqlite3 shell)
// come in while a second Zirko that would write finds the file held at once.
// Released only after the connection closed: closing any descriptor of the
// file drops this process's fcntl locks on it.
class THistoryWriterLock {
public:
    THistoryWriterLock() = default;
    ~THistoryWriterLock() { Release(); }
    THistoryWriterLock(const THistoryWriterLock&) = delete;
    THistoryWriterLock& operator=(const THistoryWriterLock&) = delete;

    // SQLITE_OK, SQLITE_BUSY when another writer holds Path, else SQLITE_CANTOPEN.
    int Take(const std::string& Path);
    void Release();

private:
    int FFd = -1;
};

// Opens Path for reading only, whoever writes it; SQLITE_OK or the error. A
// file of a newer Zirko is refused with SQLITE_NOTADB (nothing here knows it).
int OpenHistoryForReading(const std::string& Path, sqlite3*& Db, int BusyTimeoutMs);
