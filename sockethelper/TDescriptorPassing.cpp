// SPDX-License-Identifier: GPL-3.0-or-later
#include "TDescriptorPassing.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace TDescriptorPassing {

ssize_t Send(int AChannel, std::span<const uint8_t> ABytes, int AFd) {
    iovec Out{const_cast<uint8_t*>(ABytes.data()), ABytes.size()};
    msghdr Msg{};
    Msg.msg_iov = &Out;
    Msg.msg_iovlen = 1;
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(int))> Rights{};
    if (AFd >= 0) {
        Msg.msg_control = Rights.data();
        Msg.msg_controllen = Rights.size();
        cmsghdr* C = CMSG_FIRSTHDR(&Msg);
        C->cmsg_level = SOL_SOCKET;
        C->cmsg_type = SCM_RIGHTS;
        C->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(C), &AFd, sizeof(AFd));
    }
    ssize_t Sent = -1;
    do {
        Sent = ::sendmsg(AChannel, &Msg, MSG_NOSIGNAL);
    } while (Sent < 0 && errno == EINTR);
    return Sent;
}

ssize_t Receive(int AChannel, std::span<uint8_t> ABytes, int& AFd) {
    AFd = -1;
    iovec Io{ABytes.data(), ABytes.size()};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(4 * sizeof(int))> Control{};
    msghdr Msg{};
    Msg.msg_iov = &Io;
    Msg.msg_iovlen = 1;
    Msg.msg_control = Control.data();
    Msg.msg_controllen = Control.size();
    ssize_t N = -1;
    do {
        N = ::recvmsg(AChannel, &Msg, MSG_CMSG_CLOEXEC);
    } while (N < 0 && errno == EINTR);
    if (N < 0) {
        return N;
    }
    for (cmsghdr* C = CMSG_FIRSTHDR(&Msg); C != nullptr; C = CMSG_NXTHDR(&Msg, C)) {
        if (C->cmsg_level != SOL_SOCKET || C->cmsg_type != SCM_RIGHTS) {
            continue;
        }
        const std::size_t Count = (C->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t I = 0; I < Count; ++I) {
            int Fd = -1;
            std::memcpy(&Fd, CMSG_DATA(C) + I * sizeof(int), sizeof(Fd));
            if (AFd < 0) {
                AFd = Fd;
            } else {
                ::close(Fd);
            }
        }
    }
    return N;
}

} // namespace TDescriptorPassing
