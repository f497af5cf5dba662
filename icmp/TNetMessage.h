// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetReceiveStamp.h"
#include "TNetTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime> // timespec, which linux/errqueue.h uses without including it
#include <linux/errqueue.h>
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

// What the control messages of one received datagram say: its TTL (the hop limit over
// IPv6), the kernel's receive stamp, and for an error-queue report the error and the
// address of the host that sent it.
template <std::size_t AddressSize> struct TNetControl {
    std::optional<uint8_t> Ttl;
    std::optional<int64_t> Stamp;
    std::optional<sock_extended_err> Error;
    std::array<uint8_t, AddressSize> Offender{};
};

// Reads AMsg's control messages of ALevel (ATtlType, AErrorType) for either family;
// TSockaddr and its AAddress member give the offender's address that follows an error.
template <typename TSockaddr, auto AAddress>
auto ReadNetControl(msghdr& AMsg, int ALevel, int ATtlType, int AErrorType) {
    constexpr std::size_t AddressSize = sizeof(TSockaddr{}.*AAddress);
    TNetControl<AddressSize> Result;
    for (cmsghdr* C = CMSG_FIRSTHDR(&AMsg); C != nullptr; C = CMSG_NXTHDR(&AMsg, C)) {
        if (const auto Stamp = TNetReceiveStamp::FromControl(*C)) {
            Result.Stamp = Stamp;
        }
        if (C->cmsg_level != ALevel) {
            continue;
        }
        if (C->cmsg_type == ATtlType) {
            int Ttl = 0;
            std::memcpy(&Ttl, CMSG_DATA(C), sizeof(Ttl));
            Result.Ttl = static_cast<uint8_t>(Ttl);
        } else if (C->cmsg_type == AErrorType) {
            sock_extended_err Ee{};
            std::memcpy(&Ee, CMSG_DATA(C), sizeof(Ee));
            Result.Error = Ee;
            // The offender's address follows the extended error in the same message.
            TSockaddr Offender{};
            std::memcpy(&Offender, CMSG_DATA(C) + sizeof(Ee), sizeof(Offender));
            std::memcpy(Result.Offender.data(), &(Offender.*AAddress), AddressSize);
        }
    }
    return Result;
}
