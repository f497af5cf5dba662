// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TOutage.h"

#include <cstdint>
#include <string>

// The outage's texts in the user's language; the code's Italian where no catalogue applies.
namespace OutageText {

// A span in whole seconds, largest units first: "45 s", "3 min 12 s",
// "2 h 05 min", "3 g 4 h". Negative spans count as zero.
std::string Span(int64_t Ms);
// The duration with its uncertainty, "3 min 12 s ± 2 s"; "almeno …" where the
// start is not known, "… (fine sconosciuta)" where watching stopped first.
std::string Duration(const TOutage& Outage);

// The desktop notification's summary while it lasts, "Zirko: <host> non risponde".
std::string DownSummary(const std::string& Host);
// Its body: since when and how many lost, "Da 3 min 12 s, 96 ping persi".
std::string DownBody(const TOutage& Outage);
// On recovery, "<host> risponde di nuovo dopo 3 min 12 s".
std::string RecoveredSummary(const TOutage& Outage);
// Where watching stopped during the outage, "<host>: monitoraggio sospeso durante
// l'interruzione".
std::string UnknownEndSummary(const TOutage& Outage);

// A slow period's notification: "Zirko: <host> risponde lentamente", "Da 2 min 05 s
// la media supera il limite", and at its end "<host> risponde di nuovo nel limite
// dopo 2 min 05 s".
std::string SlowSummary(const std::string& Host);
std::string SlowBody(const TOutage& Period);
std::string SlowEndedSummary(const TOutage& Period);
// A row's kind in lists and reports: "non risponde" or "lento".
std::string KindText(const TOutage& Outage);

} // namespace OutageText
