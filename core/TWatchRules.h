// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The rules the window's Ping page and headless watching share: one copy, so a
// start from either watches a host the same way.
namespace TWatchRules {

// Nothing but blanks and control characters (UTF-8 bytes count as characters): no host at all.
inline bool IsBlankHost(std::string_view Host) {
    for (const char C : Host) {
        if (static_cast<unsigned char>(C) > ' ' && C != 0x7F) {
            return false;
        }
    }
    return true;
}

// What a blank host stands for.
inline constexpr const char* DefaultHost = "127.0.0.1";
// How long a ping waits for its reply, and the pace of a run's pings.
inline constexpr int ReceiveTimeoutMs = 1000;
inline constexpr int PingIntervalMs = 2000;
// An outage's row is written as it begins and ends and at most this often while it
// lasts; a crash meanwhile is made good from the lost pings kept.
inline constexpr int64_t OutageWriteMs = 60'000;
// The hops of a trace: the trace page's default and what an outage's trace takes.
inline constexpr int MaxHops = 30;

// The warning a ping of a run that could not be made leaves in the log.
inline std::string PingFailedWarning(std::string_view WindowName, std::string_view Host) {
    return std::string(WindowName) + "\\Timer: errore durante ping su " + std::string(Host);
}

// A setting's range, step and default: the page's spinner and the command line's option.
struct TRange {
    const char* Option;
    int Minimum, Maximum, Step, Default;
};
inline constexpr TRange RunMinutes{"--run-minutes", 1, 60, 1, 1};
inline constexpr TRange EveryMinutes{"--every-minutes", 1, 60, 1, 5};
inline constexpr TRange LimitMs{"--limit-ms", 10, 10000, 10, 250};
inline constexpr TRange AlarmAfter{"--alarm-after", 1, 1000, 1, 10};

} // namespace TWatchRules
