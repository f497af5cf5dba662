#pragma once

#include <cstdint>

// Module-level state shared by the monitoring handlers (one instance for the
// whole program). Tests may reset it between cases.

// Lines appended to the pane since it was last emptied by the line bound or
// since automatic monitoring was last stopped.
inline int32_t n_righe_log = 0;
// Pings handled, answered and lost alike.
inline int32_t n_ping = 0;
// Summed round-trip time in milliseconds.
inline double tot_time = 0.0;
inline int32_t n_pacchetti_persi = 0;
// Lost pings in a row since the last answered one; "Clear log" leaves it.
inline int32_t n_persi_consecutivi = 0;
inline bool auto_attivo = false;

// Puts every counter back to its value at program start.
inline void ResetPingState() {
    n_righe_log = 0;
    n_ping = 0;
    tot_time = 0.0;
    n_pacchetti_persi = 0;
    n_persi_consecutivi = 0;
    auto_attivo = false;
}
