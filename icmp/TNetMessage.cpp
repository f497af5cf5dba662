// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetMessage.h"

#include "TNetFamily.h"
#include "TNetReceiveStamp.h"
#include "TNetStack.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <ctime> // timespec, which linux/errqueue.h uses without including it
#include <linux/errqueue.h>
#include <netinet/in.h>

namespace {

constexpr int MaxQueuedErrors = 16;

// What the control messages of one received datagram say: its hop limit, the kernel's
// receive stamp, and for an error-queue report the error and the host that sent it.
struct TControl {
    std::optional<uint8_t> HopLimit;
    std::optional<int64_t> Stamp;
    std::optional<sock_extended_err> Error;
    std::array<uint8_t, 16> Offender{};
};

TControl ReadControl(msghdr& AMsg, const TNetFamily& AFamily) {
    TControl Result;
    for (cmsghdr* C = CMSG_FIRSTHDR(&AMsg); C != nullptr; C = CMSG_NXTHDR(&AMsg, C)) {
        if (const auto Stamp = TNetReceiveStamp::FromControl(*C)) {
            Result.Stamp = Stamp;
        }
        if (C->cmsg_level != AFamily.Level) {
            continue;
        }
        if (C->cmsg_type == AFamily.HopLimitControl) {
            int HopLimit = 0;
            std::memcpy(&HopLimit, CMSG_DATA(C), sizeof(HopLimit));
            Result.HopLimit = static_cast<uint8_t>(HopLimit);
        } else if (C->cmsg_type == AFamily.ErrorOption) {
            sock_extended_err Ee{};
            std::memcpy(&Ee, CMSG_DATA(C), sizeof(Ee));
            Result.Error = Ee;
            // The offender's address follows the extended error, inside a sockaddr.
            std::memcpy(Result.Offender.data(), CMSG_DATA(C) + sizeof(Ee) + AFamily.AddressOffset,
                        AFamily.AddressSize);
        }
    }
    return Result;
}

} // namespace

std::optional<int32_t> TNetMessage::ReceiveIcmp(const TNetFamily& AFamily, TNetStack& AStack,
                                                TSocketId AId, std::span<uint8_t> AArea,
                                                bool AErrorQueue,
                                                std::optional<int64_t>* AStampNs) {
    std::array<uint8_t, 2048> Payload{};
    alignas(cmsghdr) std::array<uint8_t, 512> Control{};
    sockaddr_storage From{};
    iovec Io{Payload.data(), Payload.size()};
    auto Reset = [&] {
        msghdr Msg{};
        Msg.msg_name = &From;
        Msg.msg_namelen = sizeof(From);
        Msg.msg_iov = &Io;
        Msg.msg_iovlen = 1;
        Msg.msg_control = Control.data();
        Msg.msg_controllen = Control.size();
        return Msg;
    };

    for (int I = 0; AErrorQueue && I < MaxQueuedErrors; ++I) {
        msghdr Msg = Reset();
        const auto N = Receive(AStack, AId, Msg, MSG_ERRQUEUE);
        if (!N) {
            break;
        }
        const TControl C = ReadControl(Msg, AFamily);
        if (!C.Error || C.Error->ee_origin != AFamily.ErrorOrigin) {
            continue; // a local error concerns no reply; drop it like a foreign datagram
        }
        if (AStampNs != nullptr) {
            *AStampNs = C.Stamp;
        }
        const auto Quoted = std::span<const uint8_t>(Payload).first(
            std::min<std::size_t>(static_cast<std::size_t>(*N), Payload.size()));
        // An error-queue report names the destination of the request it quotes.
        const auto* Destination = reinterpret_cast<const uint8_t*>(&From) + AFamily.AddressOffset;
        return AFamily.SynthesizeError(AArea, C.Offender.data(), Destination,
                                       C.HopLimit.value_or(0), C.Error->ee_type, C.Error->ee_code,
                                       Quoted);
    }

    msghdr Msg = Reset();
    const auto N = Receive(AStack, AId, Msg, 0);
    if (!N) {
        return std::nullopt;
    }
    const TControl C = ReadControl(Msg, AFamily);
    if (AStampNs != nullptr) {
        *AStampNs = C.Stamp;
    }
    const auto* Source = reinterpret_cast<const uint8_t*>(&From) + AFamily.AddressOffset;
    return AFamily.SynthesizeReply(AArea, Source, C.HopLimit.value_or(0), Payload,
                                   static_cast<std::size_t>(*N));
}

std::optional<ssize_t> TNetMessage::Receive(TNetStack& AStack, TSocketId AId, msghdr& AMsg,
                                            int AFlags) {
    const ssize_t N = ::recvmsg(AId, &AMsg, AFlags | MSG_DONTWAIT | MSG_TRUNC);
    if (N < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return std::nullopt;
        }
        AStack.ThrowSocketError(AStack.LastSocketError());
    }
    return N;
}

void TNetMessage::CopyInto(std::span<uint8_t> AArea, std::size_t AOffset,
                           std::span<const uint8_t> ABytes) {
    if (AOffset >= AArea.size()) {
        return;
    }
    std::copy_n(ABytes.begin(), std::min(ABytes.size(), AArea.size() - AOffset),
                AArea.begin() + static_cast<std::ptrdiff_t>(AOffset));
}
