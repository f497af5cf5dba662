// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TOutage.h"

#include <QString>

#include <string>
#include <utility>

class THistoryStore;

// The page's "Rapporto…": which host and span, and the PDF written from the store.
namespace TGraphReport {

// An outage's report: its brackets with an hour either side.
std::pair<qint64, qint64> OutageSpan(const TOutage& Outage, qint64 NowMs);
// The host of the newest minute of pings in [FromMs, ToMs); empty without one.
std::string NewestHost(THistoryStore& Store, qint64 FromMs, qint64 ToMs);
// False, with Error, when there is no ping of Host in the span or the file fails.
bool Write(THistoryStore& Store, const std::string& Host, qint64 FromMs, qint64 ToMs,
           qint64 NowMs, const QString& Path, QString& Error);

} // namespace TGraphReport
