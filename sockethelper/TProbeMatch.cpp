// SPDX-License-Identifier: GPL-3.0-or-later
#include "TProbeMatch.h"

#include "TProbeProtocol.h"

#include <cstddef>
#include <netinet/in.h>
#include <sys/socket.h>

namespace TProbeMatch {

namespace {

constexpr std::size_t Ip6HeaderSize = 40;

// Bytes past the datagram read as zero, as the window's decoder reads them.
uint8_t ByteAt(std::span<const uint8_t> A, std::size_t AAt) {
    return AAt < A.size() ? A[AAt] : 0;
}

uint16_t Le16At(std::span<const uint8_t> A, std::size_t AAt) {
    return static_cast<uint16_t>(ByteAt(A, AAt) | (ByteAt(A, AAt + 1) << 8));
}

std::optional<uint16_t> Concerned4(std::span<const uint8_t> A) {
    if (A.size() > TProbeProtocol::MaxDatagram || A.empty()) {
        return std::nullopt;
    }
    const std::size_t H = static_cast<std::size_t>(A[0] & 15) * 4;
    if (H + 8 > A.size()) {
        return std::nullopt;
    }
    switch (A[H]) {
    case 0: // echo reply
    case 8: // our own request, seen on loopback
        return Le16At(A, H + 6);
    case 3:  // unreachable
    case 11: // time exceeded
        return Le16At(A, 2 * H + 14);
    default:
        return std::nullopt;
    }
}

std::optional<uint16_t> Concerned6(std::span<const uint8_t> A) {
    if (A.size() + Ip6HeaderSize > TProbeProtocol::MaxDatagram || A.size() < 8) {
        return std::nullopt;
    }
    constexpr std::size_t QuotedIcmp = 8 + Ip6HeaderSize;
    switch (A[0]) {
    case 129: // echo reply
        return Le16At(A, 6);
    case 1: // unreachable
    case 3: // time exceeded
        if (ByteAt(A, 8 + 6) != IPPROTO_ICMPV6 || ByteAt(A, QuotedIcmp) != 128) {
            return std::nullopt;
        }
        return Le16At(A, QuotedIcmp + 6);
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<uint16_t> ConcernedSequence(int AFamily, std::span<const uint8_t> ADatagram) {
    return AFamily == AF_INET6 ? Concerned6(ADatagram) : Concerned4(ADatagram);
}

uint16_t RequestSequence(std::span<const uint8_t> AMessage) {
    return Le16At(AMessage, 6);
}

} // namespace TProbeMatch
