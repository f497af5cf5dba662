// SPDX-License-Identifier: GPL-3.0-or-later
// zirko_icmp_peer: a programmable ICMP echo peer for the test network. See TIcmpPeer.h for
// the actions. It silences the kernel's own echo replies in its namespace, answers ICMP and
// ICMPv6 echo requests through raw sockets, and exits by itself after --lifetime-ms (at most
// ten minutes).
#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;
constexpr int MaxRequests = 10000;
constexpr int MaxStream = 1000;
volatile std::sig_atomic_t GStop = 0;
TClock::time_point GDeadline; // the peer's lifetime ends here, whatever it is doing

struct TRequest {
    int Socket = -1; // the raw socket of the request's family, for the answers
    int Forger = -1; // after from:ADDR, the answers leave from ADDR through this one
    bool V6 = false;
    sockaddr_in6 From{}; // or a sockaddr_in
    socklen_t FromLength = 0;
    // The whole datagram, IP header included; an IPv6 header is rebuilt, since a raw
    // ICMPv6 socket does not hand it over.
    std::vector<uint8_t> Ip;
    std::vector<uint8_t> Icmp; // the echo request itself
    TClock::time_point Arrived;
};

uint16_t Checksum(const std::vector<uint8_t>& ABytes) {
    uint32_t Sum = 0;
    for (std::size_t I = 0; I + 1 < ABytes.size(); I += 2) {
        Sum += static_cast<uint32_t>((ABytes[I] << 8) | ABytes[I + 1]);
    }
    if (ABytes.size() % 2 != 0) {
        Sum += static_cast<uint32_t>(ABytes.back() << 8);
    }
    while (Sum >> 16) {
        Sum = (Sum & 0xFFFF) + (Sum >> 16);
    }
    return static_cast<uint16_t>(~Sum);
}

void AddLe16(std::vector<uint8_t>& AIcmp, std::size_t AAt, int ADelta) {
    const int Value = (AIcmp[AAt] | (AIcmp[AAt + 1] << 8)) + ADelta;
    AIcmp[AAt] = static_cast<uint8_t>(Value & 0xFF);
    AIcmp[AAt + 1] = static_cast<uint8_t>((Value >> 8) & 0xFF);
}

std::size_t IpHeaderLength(const std::vector<uint8_t>& AIp) {
    return (AIp[0] >> 4) == 6 ? 40 : static_cast<std::size_t>(AIp[0] & 15) * 4;
}

void Send(const TRequest& AReq, std::vector<uint8_t> AIcmp) {
    AIcmp[2] = AIcmp[3] = 0;
    if (!AReq.V6) { // the kernel fills in the ICMPv6 checksum
        const uint16_t Sum = Checksum(AIcmp);
        AIcmp[2] = static_cast<uint8_t>(Sum >> 8);
        AIcmp[3] = static_cast<uint8_t>(Sum & 0xFF);
    }
    ::sendto(AReq.Forger >= 0 ? AReq.Forger : AReq.Socket, AIcmp.data(), AIcmp.size(), 0,
             reinterpret_cast<const sockaddr*>(&AReq.From), AReq.FromLength);
}

std::vector<uint8_t> Reply(const TRequest& AReq) {
    std::vector<uint8_t> Icmp = AReq.Icmp;
    Icmp[0] = AReq.V6 ? ICMP6_ECHO_REPLY : 0;
    return Icmp;
}

// An error message of type AType quoting AQuotedIp (IP header and ICMP message).
std::vector<uint8_t> ErrorMessage(uint8_t AType, const std::vector<uint8_t>& AQuotedIp) {
    std::vector<uint8_t> Icmp(8 + AQuotedIp.size(), 0);
    Icmp[0] = AType;
    std::copy(AQuotedIp.begin(), AQuotedIp.end(), Icmp.begin() + 8);
    return Icmp;
}

// A raw socket of the request's family bound to AAddress, an address of this namespace.
int BoundSocket(const TRequest& AReq, const std::string& AAddress) {
    const int Fd = AReq.V6 ? ::socket(AF_INET6, SOCK_RAW, IPPROTO_ICMPV6)
                           : ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    sockaddr_in6 Six{};
    sockaddr_in Four{};
    Six.sin6_family = AF_INET6;
    Four.sin_family = AF_INET;
    const bool Parsed = AReq.V6 ? inet_pton(AF_INET6, AAddress.c_str(), &Six.sin6_addr) == 1
                                : inet_pton(AF_INET, AAddress.c_str(), &Four.sin_addr) == 1;
    const auto* Name = AReq.V6 ? reinterpret_cast<const sockaddr*>(&Six)
                               : reinterpret_cast<const sockaddr*>(&Four);
    if (Fd < 0 || !Parsed || ::bind(Fd, Name, AReq.V6 ? sizeof(Six) : sizeof(Four)) != 0) {
        std::fprintf(stderr, "cannot send from %s\n", AAddress.c_str());
        if (Fd >= 0) {
            ::close(Fd);
        }
        return -1;
    }
    return Fd;
}

void Perform(TRequest& AReq, const std::string& AAction) {
    if (AAction.rfind("from:", 0) == 0) { // the address may hold colons of its own
        if (AReq.Forger < 0) {
            AReq.Forger = BoundSocket(AReq, AAction.substr(5));
        }
        return;
    }
    std::istringstream Parts(AAction);
    std::string Verb, A, B;
    std::getline(Parts, Verb, ':');
    std::getline(Parts, A, ':');
    std::getline(Parts, B, ':');
    const int N = A.empty() ? 0 : std::stoi(A);
    if (Verb == "reply") {
        Send(AReq, Reply(AReq));
    } else if (Verb == "wait") {
        std::this_thread::sleep_until(
            std::min(AReq.Arrived + std::chrono::milliseconds(std::min(N, 60000)), GDeadline));
    } else if (Verb == "reply-seq" || Verb == "reply-id") {
        auto Icmp = Reply(AReq);
        AddLe16(Icmp, Verb == "reply-seq" ? 6 : 4, N);
        Send(AReq, Icmp);
    } else if (Verb == "echo-request") {
        Send(AReq, AReq.Icmp);
    } else if (Verb == "foreign" || Verb == "foreign-quote") {
        std::vector<uint8_t> Quoted = AReq.Ip;
        if (Verb == "foreign") {
            AddLe16(Quoted, IpHeaderLength(Quoted) + 6,
                    7); // some other request of ours, not this one
        }
        Send(AReq, ErrorMessage(static_cast<uint8_t>(N), Quoted));
    } else if (Verb == "unreachable-id") {
        std::vector<uint8_t> Quoted = AReq.Ip;
        AddLe16(Quoted, IpHeaderLength(Quoted) + 4, N); // another request, same sequence
        Send(AReq, ErrorMessage(AReq.V6 ? ICMP6_DST_UNREACH : 3, Quoted));
    } else if (Verb == "short") {
        Send(AReq, {0, 0, 0, 0});
    } else if (Verb == "oversized") {
        auto Icmp = Reply(AReq);
        Icmp.resize(static_cast<std::size_t>(std::clamp(N, 8, 65000)), 0x5A);
        Send(AReq, Icmp);
    } else if (Verb == "stream") {
        const int Count = std::min(B.empty() ? 10 : std::stoi(B), MaxStream);
        for (int I = 0; I < Count && !GStop && TClock::now() < GDeadline; ++I) {
            auto Icmp = Reply(AReq);
            AddLe16(Icmp, 6, 1000 + I);
            Send(AReq, Icmp);
            std::this_thread::sleep_for(std::chrono::milliseconds(std::clamp(N, 1, 10000)));
        }
    } else if (Verb != "silent" && !Verb.empty()) {
        std::fprintf(stderr, "unknown action %s\n", Verb.c_str());
    }
}

bool Receive4(TRequest& AReq) {
    AReq.Ip.resize(65536);
    AReq.FromLength = sizeof(sockaddr_in);
    const ssize_t N = ::recvfrom(AReq.Socket, AReq.Ip.data(), AReq.Ip.size(), 0,
                                 reinterpret_cast<sockaddr*>(&AReq.From), &AReq.FromLength);
    AReq.Arrived = TClock::now();
    if (N < 28) {
        return false;
    }
    AReq.Ip.resize(static_cast<std::size_t>(N));
    const std::size_t H = IpHeaderLength(AReq.Ip);
    if (H + 8 > AReq.Ip.size() || AReq.Ip[H] != 8 || AReq.Ip[H + 1] != 0) {
        return false;
    }
    AReq.Icmp.assign(AReq.Ip.begin() + static_cast<std::ptrdiff_t>(H), AReq.Ip.end());
    return true;
}

bool Receive6(TRequest& AReq) {
    std::vector<uint8_t> Icmp(65536);
    alignas(cmsghdr) std::array<uint8_t, 256> Control{};
    iovec Io{Icmp.data(), Icmp.size()};
    msghdr Msg{};
    Msg.msg_name = &AReq.From;
    Msg.msg_namelen = sizeof(AReq.From);
    Msg.msg_iov = &Io;
    Msg.msg_iovlen = 1;
    Msg.msg_control = Control.data();
    Msg.msg_controllen = Control.size();
    const ssize_t N = ::recvmsg(AReq.Socket, &Msg, 0);
    AReq.Arrived = TClock::now();
    AReq.FromLength = Msg.msg_namelen;
    if (N < 8 || Icmp[0] != ICMP6_ECHO_REQUEST || Icmp[1] != 0) {
        return false;
    }
    Icmp.resize(static_cast<std::size_t>(N));
    in6_addr To{};
    for (cmsghdr* C = CMSG_FIRSTHDR(&Msg); C != nullptr; C = CMSG_NXTHDR(&Msg, C)) {
        if (C->cmsg_level == IPPROTO_IPV6 && C->cmsg_type == IPV6_PKTINFO) {
            in6_pktinfo Info{};
            std::memcpy(&Info, CMSG_DATA(C), sizeof(Info));
            To = Info.ipi6_addr;
        }
    }
    AReq.Ip.assign(40, 0);
    AReq.Ip[0] = 0x60;
    AReq.Ip[4] = static_cast<uint8_t>(N >> 8);
    AReq.Ip[5] = static_cast<uint8_t>(N & 0xFF);
    AReq.Ip[6] = IPPROTO_ICMPV6;
    AReq.Ip[7] = 64;
    std::memcpy(AReq.Ip.data() + 8, &AReq.From.sin6_addr, 16);
    std::memcpy(AReq.Ip.data() + 24, &To, 16);
    AReq.Ip.insert(AReq.Ip.end(), Icmp.begin(), Icmp.end());
    AReq.Icmp = std::move(Icmp);
    return true;
}

std::vector<std::string> SplitActions(const std::string& AList) {
    std::vector<std::string> Result;
    std::istringstream In(AList);
    std::string Item;
    while (std::getline(In, Item, ',')) {
        Result.push_back(Item);
    }
    return Result;
}

} // namespace

int main(int argc, char** argv) {
    std::string Actions;
    long LifetimeMs = 60000;
    for (int I = 1; I < argc; ++I) {
        const std::string Arg = argv[I];
        if (Arg.rfind("--actions=", 0) == 0) {
            Actions = Arg.substr(10);
        } else if (Arg.rfind("--lifetime-ms=", 0) == 0) {
            LifetimeMs = std::clamp(std::stol(Arg.substr(14)), 1L, 600000L);
        }
    }
    std::signal(SIGTERM, [](int) { GStop = 1; });
    std::signal(SIGINT, [](int) { GStop = 1; });

    std::ofstream("/proc/sys/net/ipv4/icmp_echo_ignore_all") << "1\n";
    std::ofstream("/proc/sys/net/ipv6/icmp/echo_ignore_all") << "1\n";
    // Delays are the point of this peer: wake up on time even on a busy machine. The peer
    // mostly sleeps and ends by itself, so a real-time priority cannot starve anything.
    sched_param Priority{};
    Priority.sched_priority = 10;
    sched_setscheduler(0, SCHED_FIFO, &Priority);
    const int Socket = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    const int Socket6 = ::socket(AF_INET6, SOCK_RAW, IPPROTO_ICMPV6);
    if (Socket < 0 || Socket6 < 0) {
        std::perror("socket");
        return 1;
    }
    // The destination of each request, for the IPv6 header quoted in error messages.
    const int On = 1;
    ::setsockopt(Socket6, IPPROTO_IPV6, IPV6_RECVPKTINFO, &On, sizeof(On));
    icmp6_filter Filter{};
    ICMP6_FILTER_SETBLOCKALL(&Filter);
    ICMP6_FILTER_SETPASS(ICMP6_ECHO_REQUEST, &Filter);
    ::setsockopt(Socket6, IPPROTO_ICMPV6, ICMP6_FILTER, &Filter, sizeof(Filter));
    const auto List = SplitActions(Actions);
    GDeadline = TClock::now() + std::chrono::milliseconds(LifetimeMs);
    std::printf("ready\n");
    std::fflush(stdout);

    for (int Seen = 0; Seen < MaxRequests && !GStop && TClock::now() < GDeadline;) {
        std::array<pollfd, 2> Fds{pollfd{Socket, POLLIN, 0}, pollfd{Socket6, POLLIN, 0}};
        if (::poll(Fds.data(), Fds.size(), 100) <= 0) {
            continue;
        }
        TRequest Req;
        Req.V6 = (Fds[0].revents & POLLIN) == 0;
        Req.Socket = Req.V6 ? Socket6 : Socket;
        const bool Ok = Req.V6 ? Receive6(Req) : Receive4(Req);
        if (!Ok) {
            continue; // only echo requests are ours to handle
        }
        ++Seen;
        std::printf("request %d\n", Req.Icmp[6] | (Req.Icmp[7] << 8));
        std::fflush(stdout);
        for (const auto& Action : List) {
            if (GStop || TClock::now() >= GDeadline) {
                break;
            }
            Perform(Req, Action);
        }
        if (Req.Forger >= 0) {
            ::close(Req.Forger);
        }
    }
    ::close(Socket);
    ::close(Socket6);
    return 0;
}
