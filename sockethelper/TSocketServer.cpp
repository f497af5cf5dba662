// SPDX-License-Identifier: GPL-3.0-or-later
#include "TSocketServer.h"

#include "TDescriptorPassing.h"
#include "TSocketRequest.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <linux/capability.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace TSocketRequest;

int TSocketServer::Run() {
    while (ServeOne()) {
    }
    return errno == 0 ? 0 : 1;
}

TSocketServer::TSocketServer(int AChannel, pid_t AClient) : FChannel(AChannel), FClient(AClient) {
    TCapabilities::Read(FLowered);
    FLowered.Effective = 0;
    FRaised = FLowered;
    FRaised.Effective = FLowered.Permitted & TCapabilities::Bit(CAP_NET_RAW);
}

int TSocketServer::OpenSocket(int AFamily, int AType, int AProtocol) const {
    TCapabilities::Write(FRaised);
    const int Fd = ::socket(AFamily, AType | SOCK_CLOEXEC, AProtocol);
    const int Error = errno;
    TCapabilities::Write(FLowered);
    errno = Error;
    return Fd;
}

bool TSocketServer::ServeOne() {
    // Room past a request's size shows an oversized one; the control area takes the sender's
    // credentials and any descriptors a confused or hostile sender attached.
    std::array<uint8_t, 64> Buffer{};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(ucred)) + CMSG_SPACE(16 * sizeof(int))>
        Control{};
    iovec Io{Buffer.data(), Buffer.size()};
    msghdr Msg{};
    Msg.msg_iov = &Io;
    Msg.msg_iovlen = 1;
    Msg.msg_control = Control.data();
    Msg.msg_controllen = Control.size();
    ssize_t N = -1;
    do {
        N = ::recvmsg(FChannel, &Msg, MSG_CMSG_CLOEXEC);
    } while (N < 0 && errno == EINTR);
    if (N <= 0) {
        if (N == 0) {
            errno = 0;
        }
        return false;
    }

    bool FromClient = false;
    bool Attached = false;
    for (cmsghdr* C = CMSG_FIRSTHDR(&Msg); C != nullptr; C = CMSG_NXTHDR(&Msg, C)) {
        if (C->cmsg_level != SOL_SOCKET) {
            continue;
        }
        if (C->cmsg_type == SCM_CREDENTIALS && C->cmsg_len >= CMSG_LEN(sizeof(ucred))) {
            ucred Cred{};
            std::memcpy(&Cred, CMSG_DATA(C), sizeof(Cred));
            FromClient = Cred.pid == FClient;
        } else if (C->cmsg_type == SCM_RIGHTS) {
            Attached = true;
            const std::size_t Count = (C->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (std::size_t I = 0; I < Count; ++I) {
                int Fd = -1;
                std::memcpy(&Fd, CMSG_DATA(C) + I * sizeof(int), sizeof(Fd));
                ::close(Fd);
            }
        }
    }

    const bool Whole = (Msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) == 0 && !Attached;
    const TParsed Parsed =
        Parse(Whole ? std::span<const uint8_t>(Buffer.data(), static_cast<std::size_t>(N))
                    : std::span<const uint8_t>());
    TReply Reply{0, Parsed.Request.Id};
    int Fd = -1;
    if (!FromClient) {
        Reply.Status = ECONNREFUSED;
    } else if (Parsed.Verdict != TVerdict::Accepted) {
        Reply.Status = RefusalErrno(Parsed.Verdict);
    } else {
        const TRequest& R = Parsed.Request;
        Fd = OpenSocket(R.Family, R.Type, R.Protocol);
        Reply.Status = Fd < 0 ? errno : 0;
    }

    const auto Bytes = EncodeReply(Reply);
    const ssize_t Sent = TDescriptorPassing::Send(FChannel, Bytes, Fd);
    const int SendError = errno;
    if (Fd >= 0) {
        ::close(Fd); // the client holds its own copy now
    }
    if (Sent < 0) {
        // The client is gone: the end of the service, not a failure of the channel.
        errno = SendError == EPIPE || SendError == ECONNRESET ? 0 : SendError;
        return false;
    }
    return true;
}
