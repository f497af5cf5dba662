// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetMessage.h"

#include "TNetStack.h"

#include <algorithm>
#include <cerrno>

std::optional<ssize_t> TNetMessage::Receive(TSocketId AId, msghdr& AMsg, int AFlags) {
    const ssize_t N = ::recvmsg(AId, &AMsg, AFlags | MSG_DONTWAIT | MSG_TRUNC);
    if (N < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return std::nullopt;
        }
        GlobalStack->ThrowSocketError(GlobalStack->LastSocketError());
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
