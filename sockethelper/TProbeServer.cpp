// SPDX-License-Identifier: GPL-3.0-or-later
#include "TProbeServer.h"

#include "TNetReceiveStamp.h"
#include "TProbeMatch.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace TProbeProtocol;

namespace {

// Datagrams read per wake-up of one socket, so that a flood cannot starve the channel.
constexpr int DrainLimit = 32;

struct TSender {
    bool FromClient = false;
    bool Attached = false; // descriptors came along; they are closed unread
};

// Who sent a request, from the credentials the kernel attached.
TSender ReadSender(msghdr& AMsg, pid_t AClient) {
    TSender Sender;
    for (cmsghdr* C = CMSG_FIRSTHDR(&AMsg); C != nullptr; C = CMSG_NXTHDR(&AMsg, C)) {
        if (C->cmsg_level != SOL_SOCKET) {
            continue;
        }
        if (C->cmsg_type == SCM_CREDENTIALS && C->cmsg_len >= CMSG_LEN(sizeof(ucred))) {
            ucred Cred{};
            std::memcpy(&Cred, CMSG_DATA(C), sizeof(Cred));
            Sender.FromClient = Cred.pid == AClient;
        } else if (C->cmsg_type == SCM_RIGHTS) {
            Sender.Attached = true;
            const std::size_t Count = (C->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (std::size_t I = 0; I < Count; ++I) {
                int Fd = -1;
                std::memcpy(&Fd, CMSG_DATA(C) + I * sizeof(int), sizeof(Fd));
                ::close(Fd);
            }
        }
    }
    return Sender;
}

int64_t NowNs(clockid_t AClock) {
    timespec T{};
    ::clock_gettime(AClock, &T);
    return static_cast<int64_t>(T.tv_sec) * 1000000000 + T.tv_nsec;
}

// Only the types a probe can be answered with wake the helper; IPv4 types from 32 up pass
// the kernel's filter and are dropped by the matcher.
void Filter4(int AFd) {
    uint32_t Blocked = ~0U;
    for (const int Type : {ICMP_ECHOREPLY, ICMP_DEST_UNREACH, ICMP_TIME_EXCEEDED}) {
        Blocked &= ~(1U << Type);
    }
    const icmp_filter Filter{Blocked};
    ::setsockopt(AFd, SOL_RAW, ICMP_FILTER, &Filter, sizeof(Filter));
}

void Filter6(int AFd) {
    icmp6_filter Filter{};
    ICMP6_FILTER_SETBLOCKALL(&Filter);
    for (const int Type : {ICMP6_ECHO_REPLY, ICMP6_DST_UNREACH, ICMP6_TIME_EXCEEDED}) {
        ICMP6_FILTER_SETPASS(Type, &Filter);
    }
    ::setsockopt(AFd, IPPROTO_ICMPV6, ICMP6_FILTER, &Filter, sizeof(Filter));
    const int On = 1;
    ::setsockopt(AFd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, &On, sizeof(On));
}

int OpenRaw(int AFamily, int AProtocol, int& AError) {
    const int Fd = ::socket(AFamily, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, AProtocol);
    AError = Fd < 0 ? errno : 0;
    if (Fd >= 0) {
        // Long-lived sockets that ask for stamps keep the kernel stamping from the first reply.
        TNetReceiveStamp::Enable(Fd);
        AFamily == AF_INET6 ? Filter6(Fd) : Filter4(Fd);
    }
    return Fd;
}

std::optional<int32_t> HopLimitOf(msghdr& AMsg) {
    for (cmsghdr* C = CMSG_FIRSTHDR(&AMsg); C != nullptr; C = CMSG_NXTHDR(&AMsg, C)) {
        if (C->cmsg_level == IPPROTO_IPV6 && C->cmsg_type == IPV6_HOPLIMIT &&
            C->cmsg_len >= CMSG_LEN(sizeof(int))) {
            int Value = 0;
            std::memcpy(&Value, CMSG_DATA(C), sizeof(Value));
            return Value;
        }
    }
    return std::nullopt;
}

} // namespace

TProbeServer::TSockets TProbeServer::OpenSockets() {
    TSockets S;
    S.Ipv4 = OpenRaw(AF_INET, IPPROTO_ICMP, S.Error4);
    S.Ipv6 = OpenRaw(AF_INET6, IPPROTO_ICMPV6, S.Error6);
    return S;
}

TProbeServer::TProbeServer(int AChannel, pid_t AClient, TSockets ASockets)
    : FChannel(AChannel), FClient(AClient), FSockets(ASockets),
      FIdentifier(TProbeMatch::RandomIdentifier()) {}

TProbeServer::~TProbeServer() {
    for (const int Fd : {FSockets.Ipv4, FSockets.Ipv6}) {
        if (Fd >= 0) {
            ::close(Fd);
        }
    }
}

int TProbeServer::Run() {
    TAnswer Hello;
    Hello.Kind = TAnswerKind::Hello;
    Hello.Status = FSockets.Error4;
    Hello.Family = FSockets.Error6;
    Hello.Identifier = FIdentifier;
    if (!Answer(Hello)) {
        return errno == 0 ? 0 : 1;
    }
    for (;;) {
        std::array<pollfd, 3> Fds{pollfd{FChannel, POLLIN, 0}, pollfd{FSockets.Ipv4, POLLIN, 0},
                                  pollfd{FSockets.Ipv6, POLLIN, 0}};
        const int Ready = ::poll(Fds.data(), Fds.size(), PollTimeoutMs(NowNs(CLOCK_MONOTONIC)));
        if (Ready < 0 && errno != EINTR) {
            return 1;
        }
        Expire(NowNs(CLOCK_MONOTONIC));
        const bool Read4 = (Fds[1].revents & POLLIN) != 0;
        const bool Read6 = (Fds[2].revents & POLLIN) != 0;
        if ((Read4 && !Drain(AF_INET)) || (Read6 && !Drain(AF_INET6))) {
            return errno == 0 ? 0 : 1;
        }
        if (Fds[0].revents != 0 && !ServeRequest()) {
            return errno == 0 ? 0 : 1;
        }
    }
}

int TProbeServer::PollTimeoutMs(int64_t ANowNs) const {
    if (FWaiting.empty()) {
        return -1;
    }
    const auto First = std::min_element(
        FWaiting.begin(), FWaiting.end(),
        [](const TWaiting& A, const TWaiting& B) { return A.DeadlineNs < B.DeadlineNs; });
    return static_cast<int>(std::max<int64_t>(First->DeadlineNs - ANowNs, 0) / 1000000 + 1);
}

void TProbeServer::Expire(int64_t ANowNs) {
    std::erase_if(FWaiting, [ANowNs](const TWaiting& W) { return W.DeadlineNs <= ANowNs; });
}

bool TProbeServer::Answer(const TAnswer& AAnswer) {
    const auto Bytes = EncodeAnswer(AAnswer);
    // A window that does not read its datagrams loses them, as a full socket buffer would;
    // it never stalls the helper. Hellos and send reports it waits for.
    const int Flags = MSG_NOSIGNAL | (AAnswer.Kind == TAnswerKind::Datagram ? MSG_DONTWAIT : 0);
    if (::send(FChannel, Bytes.data(), Bytes.size(), Flags) < 0) {
        if (errno == EAGAIN) {
            return true;
        }
        // The client is gone: the end of the service, not a failure of the channel.
        errno = errno == EPIPE || errno == ECONNRESET ? 0 : errno;
        return false;
    }
    return true;
}

bool TProbeServer::ServeRequest() {
    // Room past the largest request shows an oversized one; the control area takes the
    // sender's credentials and any descriptors a confused or hostile sender attached.
    std::array<uint8_t, RequestHeaderSize + MaxMessage + 1> Buffer{};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(ucred)) + CMSG_SPACE(16 * sizeof(int))>
        Control{};
    iovec Io{Buffer.data(), Buffer.size()};
    msghdr Msg{};
    Msg.msg_iov = &Io;
    Msg.msg_iovlen = 1;
    Msg.msg_control = Control.data();
    Msg.msg_controllen = Control.size();
    const ssize_t N = ::recvmsg(FChannel, &Msg, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
    if (N <= 0) {
        if (N < 0 && (errno == EINTR || errno == EAGAIN)) {
            return true;
        }
        errno = N == 0 ? 0 : errno;
        return false;
    }

    const TSender Sender = ReadSender(Msg, FClient);
    const bool FromClient = Sender.FromClient;
    const bool Attached = Sender.Attached;
    const bool Whole = (Msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) == 0 && !Attached;
    TParsed Parsed =
        Parse(Whole ? std::span<const uint8_t>(Buffer.data(), static_cast<std::size_t>(N))
                    : std::span<const uint8_t>());
    if (FromClient && Parsed.Verdict == TVerdict::Accepted && Parsed.Kind == TRequestKind::Forget) {
        std::erase_if(FWaiting, [&](const TWaiting& W) { return W.Id == Parsed.Probe.Id; });
        return true;
    }
    TAnswer Sent;
    Sent.Kind = TAnswerKind::Sent;
    Sent.Id = Parsed.Probe.Id;
    if (!FromClient) {
        Sent.Status = ECONNREFUSED;
    } else if (Parsed.Verdict != TVerdict::Accepted) {
        Sent.Status = RefusalErrno(Parsed.Verdict);
    } else {
        Sent.Status = SendProbe(Parsed.Probe, Sent.StampNs);
    }
    return Answer(Sent);
}

namespace {

// The kernel's in6_pktinfo, which the headers this file needs for the ICMP filter hide.
struct TPacketInfo6 {
    in6_addr Address;
    unsigned int Interface;
};

// The source goes with the datagram rather than into a bound socket: one raw socket per family
// serves every source. The kernel sends only from an address of this machine (EINVAL else).
ssize_t SendFrom(int AFd, const TProbe& AProbe, const sockaddr* ATo, socklen_t ALength) {
    if (!AProbe.Source) {
        return ::sendto(AFd, AProbe.Message.data(), AProbe.Message.size(), 0, ATo, ALength);
    }
    iovec Io{const_cast<uint8_t*>(AProbe.Message.data()), AProbe.Message.size()};
    alignas(cmsghdr) std::array<uint8_t, CMSG_SPACE(sizeof(TPacketInfo6))> Control{};
    msghdr Msg{};
    Msg.msg_name = const_cast<sockaddr*>(ATo);
    Msg.msg_namelen = ALength;
    Msg.msg_iov = &Io;
    Msg.msg_iovlen = 1;
    Msg.msg_control = Control.data();
    cmsghdr* C = reinterpret_cast<cmsghdr*>(Control.data());
    if (AProbe.Family == AF_INET6) {
        TPacketInfo6 Info{};
        std::memcpy(&Info.Address, AProbe.Source->data(), 16);
        C->cmsg_level = IPPROTO_IPV6;
        C->cmsg_type = IPV6_PKTINFO;
        C->cmsg_len = CMSG_LEN(sizeof(Info));
        std::memcpy(CMSG_DATA(C), &Info, sizeof(Info));
        Msg.msg_controllen = CMSG_SPACE(sizeof(Info));
    } else {
        in_pktinfo Info{};
        std::memcpy(&Info.ipi_spec_dst, AProbe.Source->data(), 4);
        C->cmsg_level = IPPROTO_IP;
        C->cmsg_type = IP_PKTINFO;
        C->cmsg_len = CMSG_LEN(sizeof(Info));
        std::memcpy(CMSG_DATA(C), &Info, sizeof(Info));
        Msg.msg_controllen = CMSG_SPACE(sizeof(Info));
    }
    return ::sendmsg(AFd, &Msg, 0);
}

} // namespace

int32_t TProbeServer::SendProbe(TProbe& AProbe, std::optional<int64_t>& AStampNs) {
    const bool V6 = AProbe.Family == AF_INET6;
    const int Fd = V6 ? FSockets.Ipv6 : FSockets.Ipv4;
    if (Fd < 0) {
        return V6 ? FSockets.Error6 : FSockets.Error4;
    }
    const int64_t Now = NowNs(CLOCK_MONOTONIC);
    if (FWaiting.size() >= MaxWaiting) {
        return ENOBUFS;
    }
    if (!FRate.Take(Now)) {
        return EAGAIN;
    }
    int& Last = V6 ? FHopLimit6 : FHopLimit4;
    if (Last != AProbe.HopLimit) {
        const int Level = V6 ? int{IPPROTO_IPV6} : int{IPPROTO_IP};
        const int Option = V6 ? int{IPV6_UNICAST_HOPS} : int{IP_TTL};
        if (::setsockopt(Fd, Level, Option, &AProbe.HopLimit, sizeof(AProbe.HopLimit)) != 0) {
            return errno;
        }
        Last = AProbe.HopLimit;
    }
    sockaddr_in To4{};
    sockaddr_in6 To6{};
    To4.sin_family = AF_INET;
    std::memcpy(&To4.sin_addr, AProbe.Address.data(), 4);
    To6.sin6_family = AF_INET6;
    std::memcpy(&To6.sin6_addr, AProbe.Address.data(), 16);
    To6.sin6_scope_id = AProbe.ScopeId;
    const auto* To =
        V6 ? reinterpret_cast<const sockaddr*>(&To6) : reinterpret_cast<const sockaddr*>(&To4);
    const socklen_t Length = V6 ? sizeof(To6) : sizeof(To4);
    TProbeMatch::WriteIdentifier(AProbe.Family, AProbe.Message, FIdentifier);
    AStampNs = NowNs(CLOCK_REALTIME);
    const ssize_t Sent = SendFrom(Fd, AProbe, To, Length);
    if (Sent < 0) {
        AStampNs.reset();
        return errno;
    }
    const TProbeMatch::TEcho Echo{AProbe.Address, FIdentifier,
                                  TProbeMatch::RequestSequence(AProbe.Message)};
    FWaiting.push_back({AProbe.Id, AProbe.Family, Echo, Now + int64_t{AProbe.WaitMs} * 1000000});
    return 0;
}

bool TProbeServer::Drain(int AFamily) {
    const int Fd = AFamily == AF_INET6 ? FSockets.Ipv6 : FSockets.Ipv4;
    for (int I = 0; I < DrainLimit; ++I) {
        std::array<uint8_t, MaxDatagram + 1> Buffer{};
        alignas(cmsghdr) std::array<char, 256> Control{};
        sockaddr_in6 From{};
        iovec Io{Buffer.data(), Buffer.size()};
        msghdr Msg{};
        Msg.msg_name = &From;
        Msg.msg_namelen = sizeof(From);
        Msg.msg_iov = &Io;
        Msg.msg_iovlen = 1;
        Msg.msg_control = Control.data();
        Msg.msg_controllen = Control.size();
        const ssize_t N = ::recvmsg(Fd, &Msg, MSG_DONTWAIT | MSG_TRUNC);
        if (N < 0) {
            return true; // drained, or a passing error the next wake-up tries again
        }
        if (static_cast<std::size_t>(N) > MaxDatagram || FWaiting.empty()) {
            continue;
        }
        std::array<uint8_t, 16> Source{};
        if (AFamily == AF_INET6) {
            std::memcpy(Source.data(), &From.sin6_addr, Source.size());
        }
        const auto Bytes = std::span<const uint8_t>(Buffer).first(static_cast<std::size_t>(N));
        if (!Forward(AFamily, Bytes, TNetReceiveStamp::FromMessage(Msg),
                     HopLimitOf(Msg).value_or(0), Source)) {
            return false;
        }
    }
    return true;
}

bool TProbeServer::Forward(int AFamily, std::span<const uint8_t> ABytes,
                           std::optional<int64_t> AStampNs, int32_t AHopLimit,
                           const std::array<uint8_t, 16>& ASource) {
    const auto Sequence = TProbeMatch::ConcernedSequence(AFamily, ABytes);
    if (!Sequence) {
        return true;
    }
    // A probe has one answer: once forwarded, the probe waits no more and the window
    // need not say so.
    for (auto Each = FWaiting.begin(); Each != FWaiting.end();) {
        const TWaiting W = *Each;
        if (W.Family != AFamily || W.Echo.Sequence != *Sequence ||
            !TProbeMatch::Answers(AFamily, ABytes, ASource, W.Echo)) {
            ++Each;
            continue;
        }
        Each = FWaiting.erase(Each);
        TAnswer A;
        A.Kind = TAnswerKind::Datagram;
        A.Id = W.Id;
        A.Family = AFamily;
        A.HopLimit = AHopLimit;
        A.StampNs = AStampNs;
        A.Source = ASource;
        A.Bytes.assign(ABytes.begin(), ABytes.end());
        if (!Answer(A)) {
            return false;
        }
    }
    return true;
}
