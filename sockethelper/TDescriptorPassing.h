// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <sys/types.h>

// One message over a Unix socket with at most one descriptor riding along (SCM_RIGHTS).
namespace TDescriptorPassing {

// Sends the bytes, with AFd attached when it is >= 0; the sendmsg result (-1 with errno).
ssize_t Send(int AChannel, std::span<const uint8_t> ABytes, int AFd);

// Receives one message into ABytes; AFd gets the descriptor that came with it (close-on-exec)
// or -1, and any further descriptors are closed. The recvmsg result (-1 with errno).
ssize_t Receive(int AChannel, std::span<uint8_t> ABytes, int& AFd);

} // namespace TDescriptorPassing
