// SPDX-License-Identifier: GPL-3.0-or-later
#include "THistoryStore.h"
#include "TSqlStatement.h"

#include <sqlite3.h>

std::vector<std::string> THistoryStore::Hosts() {
    std::vector<std::string> Out;
    if (!Available()) {
        return Out;
    }
    // Asked rarely (the host field's completions), so prepared on each call.
    TSqlStatement Read;
    int Rc = Read.Prepare(FDb.get(), "SELECT DISTINCT host FROM target ORDER BY host");
    while (Rc == SQLITE_OK && (Rc = Read.Step()) == SQLITE_ROW) {
        Out.push_back(Read.Text(0));
        Rc = SQLITE_OK;
    }
    if (!Check(Rc == SQLITE_DONE ? SQLITE_OK : Rc)) {
        Out.clear();
    }
    return Out;
}
