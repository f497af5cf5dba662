// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

// "<DbPath>.corrupt-<UTC yyyymmddhhmmss>" for the instant UtcMs.
std::string HistoryAsideName(const std::string& DbPath, int64_t UtcMs);

// Moves DbPath and its companions to the aside name of UtcMs, or to that name
// with "_1" ... "_99" when it is taken; nothing is ever replaced. The name
// used, or empty when the file or one of its companions could not be moved
// (they are then where they were: a new file never meets the old journal).
std::string PutHistoryAside(const std::string& DbPath, int64_t UtcMs);

// True when Folder exists but cannot be written (permissions or a read-only mount).
bool FolderReadOnly(const std::string& Folder);
