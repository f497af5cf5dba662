// SPDX-License-Identifier: GPL-3.0-or-later
#include "TProbeMatch.h"

#include "TProbeProtocol.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <netinet/in.h>
#include <sys/random.h>
#include <sys/socket.h>

namespace TProbeMatch {

namespace {

constexpr std::size_t Ip4HeaderSize = 20;
constexpr std::size_t Ip6HeaderSize = 40;
constexpr std::size_t IcmpHeaderSize = 8;
constexpr uint8_t EchoReply4 = 0;
constexpr uint8_t EchoRequest4 = 8;
constexpr uint8_t Unreachable4 = 3;
constexpr uint8_t TimeExceeded4 = 11;
constexpr uint8_t EchoRequest6 = 128;
constexpr uint8_t EchoReply6 = 129;
constexpr uint8_t Unreachable6 = 1;
constexpr uint8_t TimeExceeded6 = 3;

// Bytes past the datagram read as zero, as the window's decoder reads them.
uint8_t ByteAt(std::span<const uint8_t> A, std::size_t AAt) {
    return AAt < A.size() ? A[AAt] : 0;
}

uint16_t Le16At(std::span<const uint8_t> A, std::size_t AAt) {
    return static_cast<uint16_t>(ByteAt(A, AAt) | (ByteAt(A, AAt + 1) << 8));
}

bool SameAddress(std::span<const uint8_t> A, std::size_t AAt, std::size_t ASize,
                 const std::array<uint8_t, 16>& AAddress) {
    return AAt + ASize <= A.size() &&
           std::equal(AAddress.begin(), AAddress.begin() + static_cast<std::ptrdiff_t>(ASize),
                      A.begin() + static_cast<std::ptrdiff_t>(AAt));
}

// The echo request whose ICMP header starts at AAt is AEcho's.
bool IsRequest(std::span<const uint8_t> A, std::size_t AAt, uint8_t AType, const TEcho& AEcho) {
    return AAt + IcmpHeaderSize <= A.size() && A[AAt] == AType &&
           Le16At(A, AAt + 4) == AEcho.Identifier && Le16At(A, AAt + 6) == AEcho.Sequence;
}

std::size_t HeaderLength4(std::span<const uint8_t> A, std::size_t AAt) {
    return static_cast<std::size_t>(ByteAt(A, AAt) & 15) * 4;
}

bool Answers4(std::span<const uint8_t> A, const TEcho& AEcho) {
    const std::size_t H = HeaderLength4(A, 0);
    if (A.size() > TProbeProtocol::MaxDatagram || H < Ip4HeaderSize ||
        H + IcmpHeaderSize > A.size()) {
        return false;
    }
    switch (A[H]) {
    case EchoReply4:
        return SameAddress(A, 12, 4, AEcho.Destination) && IsRequest(A, H, EchoReply4, AEcho);
    case Unreachable4:
    case TimeExceeded4: {
        const std::size_t Quoted = H + IcmpHeaderSize;
        const std::size_t QuotedH = HeaderLength4(A, Quoted);
        return QuotedH >= Ip4HeaderSize && ByteAt(A, Quoted + 9) == IPPROTO_ICMP &&
               SameAddress(A, Quoted + 16, 4, AEcho.Destination) &&
               IsRequest(A, Quoted + QuotedH, EchoRequest4, AEcho);
    }
    default:
        return false;
    }
}

bool Answers6(std::span<const uint8_t> A, std::span<const uint8_t> ASource, const TEcho& AEcho) {
    if (A.size() + Ip6HeaderSize > TProbeProtocol::MaxDatagram || A.size() < IcmpHeaderSize) {
        return false;
    }
    constexpr std::size_t Quoted = IcmpHeaderSize;
    switch (A[0]) {
    case EchoReply6:
        return ASource.size() == 16 &&
               std::equal(ASource.begin(), ASource.end(), AEcho.Destination.begin()) &&
               IsRequest(A, 0, EchoReply6, AEcho);
    case Unreachable6:
    case TimeExceeded6:
        return ByteAt(A, Quoted + 6) == IPPROTO_ICMPV6 &&
               SameAddress(A, Quoted + 24, 16, AEcho.Destination) &&
               IsRequest(A, Quoted + Ip6HeaderSize, EchoRequest6, AEcho);
    default:
        return false;
    }
}

std::optional<uint16_t> Concerned4(std::span<const uint8_t> A) {
    if (A.size() > TProbeProtocol::MaxDatagram || A.empty()) {
        return std::nullopt;
    }
    const std::size_t H = HeaderLength4(A, 0);
    if (H + IcmpHeaderSize > A.size()) {
        return std::nullopt;
    }
    switch (A[H]) {
    case EchoReply4:
        return Le16At(A, H + 6);
    case Unreachable4:
    case TimeExceeded4: {
        const std::size_t Quoted = H + IcmpHeaderSize;
        return Le16At(A, Quoted + HeaderLength4(A, Quoted) + 6);
    }
    default:
        return std::nullopt;
    }
}

std::optional<uint16_t> Concerned6(std::span<const uint8_t> A) {
    if (A.size() + Ip6HeaderSize > TProbeProtocol::MaxDatagram || A.size() < IcmpHeaderSize) {
        return std::nullopt;
    }
    switch (A[0]) {
    case EchoReply6:
        return Le16At(A, 6);
    case Unreachable6:
    case TimeExceeded6:
        if (ByteAt(A, IcmpHeaderSize + 6) != IPPROTO_ICMPV6 ||
            ByteAt(A, IcmpHeaderSize + Ip6HeaderSize) != EchoRequest6) {
            return std::nullopt;
        }
        return Le16At(A, IcmpHeaderSize + Ip6HeaderSize + 6);
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<uint16_t> ConcernedSequence(int AFamily, std::span<const uint8_t> ADatagram) {
    return AFamily == AF_INET6 ? Concerned6(ADatagram) : Concerned4(ADatagram);
}

bool Answers(int AFamily, std::span<const uint8_t> ADatagram, std::span<const uint8_t> ASource,
             const TEcho& AEcho) {
    return AFamily == AF_INET6 ? Answers6(ADatagram, ASource, AEcho) : Answers4(ADatagram, AEcho);
}

uint16_t RequestSequence(std::span<const uint8_t> AMessage) {
    return Le16At(AMessage, 6);
}

uint16_t RequestIdentifier(std::span<const uint8_t> AMessage) {
    return Le16At(AMessage, 4);
}

void WriteIdentifier(int AFamily, std::span<uint8_t> AMessage, uint16_t AIdentifier) {
    if (AMessage.size() < IcmpHeaderSize) {
        return;
    }
    AMessage[4] = static_cast<uint8_t>(AIdentifier & 0xFF);
    AMessage[5] = static_cast<uint8_t>(AIdentifier >> 8);
    AMessage[2] = 0;
    AMessage[3] = 0;
    if (AFamily == AF_INET6) {
        return;
    }
    // RFC 1071 over the words as stored: the sum verifies whatever the host's byte order.
    uint32_t Sum = 0;
    for (std::size_t I = 0; I + 1 < AMessage.size(); I += 2) {
        Sum += static_cast<uint32_t>(AMessage[I] | (AMessage[I + 1] << 8));
    }
    if (AMessage.size() % 2 != 0) {
        Sum += AMessage.back();
    }
    Sum = (Sum >> 16) + (Sum & 0xFFFF);
    Sum += Sum >> 16;
    const auto Check = static_cast<uint16_t>(~Sum & 0xFFFF);
    AMessage[2] = static_cast<uint8_t>(Check & 0xFF);
    AMessage[3] = static_cast<uint8_t>(Check >> 8);
}

uint16_t RandomIdentifier() {
    uint16_t Value = 0;
    if (::getrandom(&Value, sizeof(Value), GRND_NONBLOCK) == static_cast<ssize_t>(sizeof(Value))) {
        return Value;
    }
    // Before the kernel's pool is ready, the clock is still no guess from the process id.
    return static_cast<uint16_t>(
        std::chrono::steady_clock::now().time_since_epoch().count() * 0x9E3779B1ULL >> 16);
}

} // namespace TProbeMatch
