// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>

// Which of the window's echo requests a datagram from a raw socket concerns, by the rule the
// window's decoder accepts replies with: an echo reply (or, on IPv4 loopback, our own echo
// request) by its sequence number, an unreachable or time-exceeded report by the sequence of
// the request it quotes. Anything else concerns no probe and never leaves the helper.
namespace TProbeMatch {

// IPv4 datagrams come with their IP header, ICMPv6 ones as the message alone.
std::optional<uint16_t> ConcernedSequence(int AFamily, std::span<const uint8_t> ADatagram);

// The sequence number an echo request carries (bytes 6 and 7, as the window writes them).
uint16_t RequestSequence(std::span<const uint8_t> AMessage);

} // namespace TProbeMatch
