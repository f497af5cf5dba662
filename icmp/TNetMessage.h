// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetTypes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <sys/socket.h>

// What both ICMP datagram-socket receivers need: a non-blocking recvmsg in the stack's
// error terms, and copying into an area that may be shorter than what arrived.
class TNetMessage {
public:
    // One recvmsg without blocking: the byte count (full length), or nothing when empty.
    static std::optional<ssize_t> Receive(TSocketId AId, msghdr& AMsg, int AFlags);
    // ABytes at AOffset of AArea, as far as the area reaches.
    static void CopyInto(std::span<uint8_t> AArea, std::size_t AOffset,
                         std::span<const uint8_t> ABytes);
};
