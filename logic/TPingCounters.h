// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The running counts of the Ping page, one value held by its monitor.
struct TPingCounters {
    // Lines appended to the pane since it was last emptied by the line bound or
    // since automatic monitoring was last stopped.
    int32_t n_righe_log = 0;
    // Pings handled, answered and lost alike.
    int32_t n_ping = 0;
    // Summed round-trip time in milliseconds.
    double tot_time = 0.0;
    int32_t n_pacchetti_persi = 0;
    // Lost pings in a row since the last answered one; "Clear log" leaves it.
    int32_t n_persi_consecutivi = 0;
    bool auto_attivo = false;

    bool operator==(const TPingCounters&) const = default;
};
