// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

using TSocketId = int;
inline constexpr TSocketId InvalidSocket = -1;

enum TIPVersion : uint8_t { Id_IPv4, Id_IPv6 };

// Which kind of operating-system socket stands behind an ICMP handle.
enum class TNetSocketKind : uint8_t { None, Raw, Datagram };

// Which kinds an ICMP handle may open: raw first with the datagram fallback, or one only.
enum class TNetIcmpSocketPolicy : uint8_t { RawThenDatagram, RawOnly, DatagramOnly };
