// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

using TSocketId = int;
inline constexpr TSocketId InvalidSocket = -1;

enum TIPVersion : uint8_t { Id_IPv4, Id_IPv6 };
