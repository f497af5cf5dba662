// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

struct cmsghdr;
struct msghdr;

// The kernel's receive stamps (CLOCK_REALTIME): asked for per socket and read
// from the control messages that recvmsg returns with a datagram or an error report.
class TNetReceiveStamp {
public:
    // A refusal is ignored: without stamps the round trip falls back to the monotonic clock.
    static void Enable(int AId);
    // The stamp a control message carries, in ns; nothing for any other control message.
    static std::optional<int64_t> FromControl(const cmsghdr& AControl);
    static std::optional<int64_t> FromMessage(msghdr& AMessage);
};
