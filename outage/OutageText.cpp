// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutageText.h"

#include <algorithm>
#include <cstdio>

namespace OutageText {

namespace {

std::string Format(const char* Pattern, int64_t Big, int64_t Small) {
    char Text[48];
    std::snprintf(Text, sizeof Text, Pattern, static_cast<long long>(Big),
                  static_cast<long long>(Small));
    return Text;
}

} // namespace

std::string Span(int64_t Ms) {
    const int64_t S = Ms > 0 ? (Ms + 500) / 1000 : 0;
    if (S < 60) {
        return std::to_string(S) + " s";
    }
    if (S < 3600) {
        return Format("%lld min %lld s", S / 60, S % 60);
    }
    if (S < 86400) {
        return Format("%lld h %02lld min", S / 3600, S / 60 % 60);
    }
    return Format("%lld g %lld h", S / 86400, S / 3600 % 24);
}

std::string Duration(const TOutage& Outage) {
    std::string Text = Span(Outage.DurationMs);
    // The uncertainty never shows as nought: the brackets are never empty.
    Text += " ± " + Span(std::max<int64_t>(Outage.UncertaintyMs, 1000));
    if (!Outage.StartFromMs) {
        Text = "almeno " + Text;
    }
    if (Outage.End == TOutageEnd::Unknown) {
        Text += " (fine sconosciuta)";
    }
    return Text;
}

std::string DownSummary(const std::string& Host) {
    return "Zirko: " + Host + " non risponde";
}

std::string DownBody(const TOutage& Outage) {
    return "Da " + Span(Outage.DurationMs) + ", " + std::to_string(Outage.Lost) +
           (Outage.Lost == 1 ? " ping perso" : " ping persi");
}

std::string RecoveredSummary(const TOutage& Outage) {
    return Outage.Host + " risponde di nuovo dopo " + Span(Outage.DurationMs);
}

std::string UnknownEndSummary(const TOutage& Outage) {
    if (Outage.Kind == TOutageKind::Slow) {
        return Outage.Host + ": monitoraggio sospeso durante il rallentamento";
    }
    return Outage.Host + ": monitoraggio sospeso durante l'interruzione";
}

std::string SlowSummary(const std::string& Host) {
    return "Zirko: " + Host + " risponde lentamente";
}

std::string SlowBody(const TOutage& Period) {
    return "Da " + Span(Period.DurationMs) + " la media supera il limite";
}

std::string SlowEndedSummary(const TOutage& Period) {
    return Period.Host + " risponde di nuovo nel limite dopo " + Span(Period.DurationMs);
}

std::string KindText(const TOutage& Outage) {
    return Outage.Kind == TOutageKind::Slow ? "lento" : "non risponde";
}

} // namespace OutageText
