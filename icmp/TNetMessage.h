// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetTypes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <sys/socket.h>

struct TNetFamily;
class TNetStack;

// Reading an ICMP socket that hands over the message alone (the datagram socket of either
// family, the raw ICMPv6 one) so that it reads like a raw IPv4 socket: the IP header is put
// in front from the source address and the hop limit, and reports that the kernel files on
// the error queue come back as the unreachable or time-exceeded messages they were.
class TNetMessage {
public:
    // One datagram without blocking, the error queue first when AErrorQueue (a pending
    // error keeps the socket readable). AStampNs, when given, gets the kernel's receive
    // stamp of what was returned. Nothing when the socket had nothing.
    static std::optional<int32_t> ReceiveIcmp(const TNetFamily& AFamily, TNetStack& AStack,
                                              TSocketId AId, std::span<uint8_t> AArea,
                                              bool AErrorQueue, std::optional<int64_t>* AStampNs);
    // One recvmsg without blocking: the byte count (full length), or nothing when empty.
    static std::optional<ssize_t> Receive(TNetStack& AStack, TSocketId AId, msghdr& AMsg,
                                          int AFlags);
    // ABytes at AOffset of AArea, as far as the area reaches.
    static void CopyInto(std::span<uint8_t> AArea, std::size_t AOffset,
                         std::span<const uint8_t> ABytes);
};
