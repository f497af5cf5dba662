// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetReceiveStamp.h"

#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>

void TNetReceiveStamp::Enable(int AId) {
    const int On = 1;
    ::setsockopt(AId, SOL_SOCKET, SO_TIMESTAMPNS, &On, sizeof(On));
}

std::optional<int64_t> TNetReceiveStamp::FromControl(const cmsghdr& AControl) {
    if (AControl.cmsg_level != SOL_SOCKET || AControl.cmsg_type != SCM_TIMESTAMPNS ||
        AControl.cmsg_len < CMSG_LEN(sizeof(timespec))) {
        return std::nullopt;
    }
    timespec Stamp{};
    std::memcpy(&Stamp, CMSG_DATA(&AControl), sizeof(Stamp));
    return static_cast<int64_t>(Stamp.tv_sec) * 1000000000 + Stamp.tv_nsec;
}

std::optional<int64_t> TNetReceiveStamp::FromMessage(msghdr& AMessage) {
    std::optional<int64_t> Found;
    for (cmsghdr* C = CMSG_FIRSTHDR(&AMessage); C != nullptr; C = CMSG_NXTHDR(&AMessage, C)) {
        if (const auto Stamp = FromControl(*C)) {
            Found = Stamp;
        }
    }
    return Found;
}
