// zirko_icmp_peer: a programmable ICMP echo peer for the test network. See TIcmpPeer.h for
// the actions. It silences the kernel's own echo replies in its namespace, answers through
// a raw socket, and exits by itself after --lifetime-ms (at most ten minutes).
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
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
    sockaddr_in From{};
    std::vector<uint8_t> Ip;   // the whole datagram as received, IP header included
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

void Send(int ASocket, const TRequest& AReq, std::vector<uint8_t> AIcmp) {
    AIcmp[2] = AIcmp[3] = 0;
    const uint16_t Sum = Checksum(AIcmp);
    AIcmp[2] = static_cast<uint8_t>(Sum >> 8);
    AIcmp[3] = static_cast<uint8_t>(Sum & 0xFF);
    ::sendto(ASocket, AIcmp.data(), AIcmp.size(), 0, reinterpret_cast<const sockaddr*>(&AReq.From),
             sizeof(AReq.From));
}

std::vector<uint8_t> Reply(const TRequest& AReq) {
    std::vector<uint8_t> Icmp = AReq.Icmp;
    Icmp[0] = 0;
    return Icmp;
}

// An error message of type AType quoting AQuotedIp (IP header and ICMP message).
std::vector<uint8_t> ErrorMessage(uint8_t AType, const std::vector<uint8_t>& AQuotedIp) {
    std::vector<uint8_t> Icmp(8 + AQuotedIp.size(), 0);
    Icmp[0] = AType;
    std::copy(AQuotedIp.begin(), AQuotedIp.end(), Icmp.begin() + 8);
    return Icmp;
}

void Perform(int ASocket, const TRequest& AReq, const std::string& AAction) {
    std::istringstream Parts(AAction);
    std::string Verb, A, B;
    std::getline(Parts, Verb, ':');
    std::getline(Parts, A, ':');
    std::getline(Parts, B, ':');
    const int N = A.empty() ? 0 : std::stoi(A);
    if (Verb == "reply") {
        Send(ASocket, AReq, Reply(AReq));
    } else if (Verb == "wait") {
        std::this_thread::sleep_until(
            std::min(AReq.Arrived + std::chrono::milliseconds(std::min(N, 60000)), GDeadline));
    } else if (Verb == "reply-seq" || Verb == "reply-id") {
        auto Icmp = Reply(AReq);
        AddLe16(Icmp, Verb == "reply-seq" ? 6 : 4, N);
        Send(ASocket, AReq, Icmp);
    } else if (Verb == "echo-request") {
        Send(ASocket, AReq, AReq.Icmp);
    } else if (Verb == "foreign" || Verb == "foreign-quote") {
        std::vector<uint8_t> Quoted = AReq.Ip;
        if (Verb == "foreign") {
            const std::size_t H = static_cast<std::size_t>(Quoted[0] & 15) * 4;
            AddLe16(Quoted, H + 6, 7); // some other request of ours, not this one
        }
        Send(ASocket, AReq, ErrorMessage(static_cast<uint8_t>(N), Quoted));
    } else if (Verb == "short") {
        Send(ASocket, AReq, {0, 0, 0, 0});
    } else if (Verb == "oversized") {
        auto Icmp = Reply(AReq);
        Icmp.resize(static_cast<std::size_t>(std::clamp(N, 8, 65000)), 0x5A);
        Send(ASocket, AReq, Icmp);
    } else if (Verb == "stream") {
        const int Count = std::min(B.empty() ? 10 : std::stoi(B), MaxStream);
        for (int I = 0; I < Count && !GStop && TClock::now() < GDeadline; ++I) {
            auto Icmp = Reply(AReq);
            AddLe16(Icmp, 6, 1000 + I);
            Send(ASocket, AReq, Icmp);
            std::this_thread::sleep_for(std::chrono::milliseconds(std::clamp(N, 1, 10000)));
        }
    } else if (Verb != "silent" && !Verb.empty()) {
        std::fprintf(stderr, "unknown action %s\n", Verb.c_str());
    }
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
    // Delays are the point of this peer: wake up on time even on a busy machine. The peer
    // mostly sleeps and ends by itself, so a real-time priority cannot starve anything.
    sched_param Priority{};
    Priority.sched_priority = 10;
    sched_setscheduler(0, SCHED_FIFO, &Priority);
    const int Socket = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (Socket < 0) {
        std::perror("socket");
        return 1;
    }
    const auto List = SplitActions(Actions);
    GDeadline = TClock::now() + std::chrono::milliseconds(LifetimeMs);
    std::printf("ready\n");
    std::fflush(stdout);

    for (int Seen = 0; Seen < MaxRequests && !GStop && TClock::now() < GDeadline;) {
        pollfd Fd{Socket, POLLIN, 0};
        if (::poll(&Fd, 1, 100) <= 0) {
            continue;
        }
        TRequest Req;
        Req.Ip.resize(65536);
        socklen_t Len = sizeof(Req.From);
        const ssize_t N = ::recvfrom(Socket, Req.Ip.data(), Req.Ip.size(), 0,
                                     reinterpret_cast<sockaddr*>(&Req.From), &Len);
        Req.Arrived = TClock::now();
        if (N < 28) {
            continue;
        }
        Req.Ip.resize(static_cast<std::size_t>(N));
        const std::size_t H = static_cast<std::size_t>(Req.Ip[0] & 15) * 4;
        if (H + 8 > Req.Ip.size() || Req.Ip[H] != 8 || Req.Ip[H + 1] != 0) {
            continue; // only echo requests are ours to handle
        }
        Req.Icmp.assign(Req.Ip.begin() + static_cast<std::ptrdiff_t>(H), Req.Ip.end());
        ++Seen;
        std::printf("request %d\n", Req.Icmp[6] | (Req.Icmp[7] << 8));
        std::fflush(stdout);
        for (const auto& Action : List) {
            if (GStop || TClock::now() >= GDeadline) {
                break;
            }
            Perform(Socket, Req, Action);
        }
    }
    ::close(Socket);
    return 0;
}
