// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

// Sum of the sizes of every directory entry matching Path ("*" and "?" are
// wildcards in the last component; hidden entries count, folders count 0). 0 when nothing matches
// or the folder cannot be searched, -1 when the search itself fails.
// Saturates at INT32_MAX so a huge file never wraps to a small size.
int32_t TotalFileSize(const std::string& Path);

// Count copies of C for a count from 1 to 255, else empty.
std::string ReplicateChar(char C, int32_t Count);

enum class TRenameResult { Renamed, TargetTaken, Failed };

// Renames From to To unless To already exists; never replaces a file.
TRenameResult RenameNoReplace(const std::string& From, const std::string& To);
