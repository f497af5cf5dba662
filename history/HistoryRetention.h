// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sqlite3.h>

#include <cstdint>

// One step of retention against NowMs inside the caller's transaction: deletes at
// most MaxRows rows, oldest first (pings past full resolution, then aggregates,
// outages and periods past the aggregates' age), and sets More while any is left.
// SQLITE_OK or the error.
int PruneHistoryRows(sqlite3* Db, int64_t NowMs, int64_t MaxRows, bool& More);
