// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "THistoryStore.h"
#include "TSteppingClock.h"
#include "TestFiles.h"

#include <optional>
#include <string>

namespace history_test {

using namespace zirko::test;

inline THistoryPing Ping(int64_t UtcMs, std::optional<int64_t> RoundTripUs,
                         const std::string& Host = "router.lan") {
    THistoryPing P;
    P.UtcMs = UtcMs;
    P.Host = Host;
    P.Address = Host == "router.lan" ? "192.168.1.1" : "2001:db8::1";
    P.Family = Host == "router.lan" ? 4 : 6;
    P.Kind = RoundTripUs ? skEchoReply : skTimedOut;
    P.RoundTripUs = RoundTripUs;
    P.Ttl = RoundTripUs ? 64 : 0;
    P.Bytes = RoundTripUs ? 64 : 0;
    return P;
}

// 8 December 2026 14:05:00 UTC, on a minute boundary.
inline constexpr int64_t T0 = 1'796'738'700'000;

} // namespace history_test
