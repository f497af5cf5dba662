// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// The one rule by which a received ICMP datagram answers an echo request, for every reader:
// the window's decoders, its probe engine and the helper. An echo reply counts only from the
// probed address with the request's identifier and sequence; an unreachable or time-exceeded
// report only when it quotes that very request (ICMP, the probed destination, an echo
// request with the identifier and sequence), whoever sent it. An echo request is never an
// answer, and anything else concerns no probe.
namespace TProbeMatch {

// What one echo request was sent with. Identifier and sequence are bytes 4 and 5, 6 and 7
// read least significant first, as the window writes them.
struct TEcho {
    std::array<uint8_t, 16> Destination{}; // IPv4: the first 4 bytes
    uint16_t Identifier = 0;
    uint16_t Sequence = 0;
};

// The sequence of the request a datagram may answer, before anything else is checked: a
// reader with many probes in flight looks the probe up by it. IPv4 datagrams come with their
// IP header, ICMPv6 ones as the message alone.
std::optional<uint16_t> ConcernedSequence(int AFamily, std::span<const uint8_t> ADatagram);

// Whether ADatagram answers AEcho. ASource is the IPv6 sender (16 bytes); IPv4 reads it from
// the header.
bool Answers(int AFamily, std::span<const uint8_t> ADatagram, std::span<const uint8_t> ASource,
             const TEcho& AEcho);

// The sequence number and identifier an echo request carries.
uint16_t RequestSequence(std::span<const uint8_t> AMessage);
uint16_t RequestIdentifier(std::span<const uint8_t> AMessage);

// Writes AIdentifier into an echo request and mends its checksum (ICMPv6's is the kernel's).
void WriteIdentifier(int AFamily, std::span<uint8_t> AMessage, uint16_t AIdentifier);

// From the kernel's random numbers: a sender who cannot see the requests has to guess it.
uint16_t RandomIdentifier();

} // namespace TProbeMatch
