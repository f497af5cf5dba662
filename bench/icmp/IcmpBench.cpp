// SPDX-License-Identifier: GPL-3.0-or-later
// ICMP engine benchmarks, run as root: round-trip fidelity over the namespace network next
// to iputils ping, quiet and under load, the end time of a never-answered ping, and CPU time per
// Ping on loopback. Prints a markdown report.
#include "BenchStats.h"
#include "TIcmpPeer.h"
#include "TNetIcmpClient.h"
#include "TNetNamespaceScope.h"
#include "TTestNetwork.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <endian.h>
#include <fcntl.h>
#include <iostream>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <optional>
#include <regex>
#include <sched.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace zirko::test;
using zirko::bench::Max;
using zirko::bench::Median;

namespace {

// Round trips reported by iputils ping ("time=0.123 ms").
std::vector<double> PingTimes(const std::string& AOutput) {
    std::vector<double> Times;
    const std::regex Time("time=([0-9.]+) ms");
    for (auto It = std::sregex_iterator(AOutput.begin(), AOutput.end(), Time);
         It != std::sregex_iterator(); ++It) {
        Times.push_back(std::stod((*It)[1]));
    }
    return Times;
}

double ChildrenCpuMs() {
    rusage U{};
    getrusage(RUSAGE_CHILDREN, &U);
    return (U.ru_utime.tv_sec + U.ru_stime.tv_sec) * 1e3 +
           (U.ru_utime.tv_usec + U.ru_stime.tv_usec) / 1e3;
}

double RealtimeMs() {
    timespec T{};
    clock_gettime(CLOCK_REALTIME, &T);
    return T.tv_sec * 1e3 + T.tv_nsec / 1e6;
}

// A second raw socket in the client's namespace sees every echo reply with the kernel's
// arrival stamp, so a late round trip can be split into time on the wire and time the
// client took to wake up and read its clock after the reply had arrived.
class TArrivalWatch {
public:
    TArrivalWatch() : FSocket(::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK, IPPROTO_ICMP)) {
        const int On = 1;
        if (FSocket < 0 || ::setsockopt(FSocket, SOL_SOCKET, SO_TIMESTAMPNS, &On, sizeof On) != 0) {
            throw std::runtime_error("arrival watch socket");
        }
    }
    ~TArrivalWatch() { ::close(FSocket); }
    TArrivalWatch(const TArrivalWatch&) = delete;
    TArrivalWatch& operator=(const TArrivalWatch&) = delete;

    // Kernel arrival time (CLOCK_REALTIME, ms) of our echo reply with ASequence; NAN if none.
    double ArrivalMs(uint16_t ASequence) {
        double Found = NAN;
        for (int I = 0; I < 64; ++I) {
            uint8_t Data[1500];
            char Control[256];
            iovec Io{Data, sizeof Data};
            msghdr Msg{};
            Msg.msg_iov = &Io;
            Msg.msg_iovlen = 1;
            Msg.msg_control = Control;
            Msg.msg_controllen = sizeof Control;
            const ssize_t N = ::recvmsg(FSocket, &Msg, 0);
            if (N < 0) {
                break;
            }
            const std::size_t Header = (Data[0] & 0x0F) * 4u;
            if (static_cast<std::size_t>(N) < Header + 8) {
                continue;
            }
            icmphdr Icmp{};
            std::memcpy(&Icmp, Data + Header, sizeof Icmp);
            // The client writes identifier and sequence little-endian.
            if (Icmp.type != ICMP_ECHOREPLY || le16toh(Icmp.un.echo.sequence) != ASequence ||
                le16toh(Icmp.un.echo.id) != (::getpid() & 0xFFFF)) {
                continue;
            }
            for (cmsghdr* C = CMSG_FIRSTHDR(&Msg); C; C = CMSG_NXTHDR(&Msg, C)) {
                if (C->cmsg_level == SOL_SOCKET && C->cmsg_type == SCM_TIMESTAMPNS) {
                    timespec T{};
                    std::memcpy(&T, CMSG_DATA(C), sizeof T);
                    Found = T.tv_sec * 1e3 + T.tv_nsec / 1e6;
                }
            }
        }
        return Found;
    }

private:
    int FSocket;
};

double SelfCpuMs() {
    timespec T{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &T);
    return T.tv_sec * 1e3 + T.tv_nsec / 1e6;
}

std::string Fixed(double AValue) {
    char Text[32];
    std::snprintf(Text, sizeof Text, "%.2f", AValue);
    return Text;
}

// Busy processes, one pinned to each CPU, for as long as this object lives.
class TCpuHogs {
public:
    TCpuHogs() {
        const long Cpus = std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN));
        for (long Cpu = 0; Cpu < std::min(Cpus, 2L); ++Cpu) {
            const pid_t Pid = ::fork();
            if (Pid == 0) {
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                ::alarm(600); // ends by itself should the benchmark never stop it
                cpu_set_t Set;
                CPU_ZERO(&Set);
                CPU_SET(static_cast<int>(Cpu), &Set);
                ::sched_setaffinity(0, sizeof Set, &Set);
                volatile unsigned long Spin = 0;
                for (;;) {
                    Spin = Spin + 1;
                }
            }
            if (Pid > 0) {
                FPids.push_back(Pid);
            }
        }
        if (FPids.size() < 2) {
            throw std::runtime_error("could not start two CPU hogs");
        }
    }
    ~TCpuHogs() {
        for (const pid_t Pid : FPids) {
            ::kill(Pid, SIGKILL);
            ::waitpid(Pid, nullptr, 0);
        }
    }
    TCpuHogs(const TCpuHogs&) = delete;
    TCpuHogs& operator=(const TCpuHogs&) = delete;

private:
    std::vector<pid_t> FPids;
};

void RttFidelity(TTestNetwork& ANet) {
    constexpr int Pings = 50;
    std::vector<std::string> Breakdown;
    std::printf("## RTT fidelity (|RoundTripMs - D|, %d pings each, client -> router -> "
                "peer; quiet, then with two CPU hogs pinned one to each core)\n\n",
                Pings);
    std::printf("| load | D (ms) | Zirko median | Zirko max | iputils ping median | iputils ping "
                "max |\n");
    std::printf("|---|---|---|---|---|---|\n");
    for (const char* Load : {"quiet", "loaded"}) {
        std::optional<TCpuHogs> Hogs;
        if (std::strcmp(Load, "loaded") == 0) {
            Hogs.emplace();
        }
        for (const int D : {0, 20, 100}) {
            TIcmpPeer Peer(ANet.Target(), "wait:" + std::to_string(D) + ",reply", 120000);
            std::vector<double> Ours, Wire, Wake;
            std::string Worst;
            double WorstError = -1;
            {
                TNetNamespaceScope InClient(*ANet.Client());
                TArrivalWatch Watch;
                TNetContext Sockets;
                TNetIcmpClient Client(Sockets);
                Client.SetHost(ANet.TargetAddress());
                Client.SetReceiveTimeout(1000);
                for (int I = 0; I < Pings; ++I) {
                    const double Sent = RealtimeMs();
                    Client.Ping();
                    const double Returned = RealtimeMs();
                    const TReplyStatus& R = Client.ReplyStatus();
                    if (R.Status != skEchoReply) {
                        continue;
                    }
                    const double Error = std::abs(double(R.RoundTripMs) - D);
                    Ours.push_back(Error);
                    const double Arrived = Watch.ArrivalMs(R.Sequence);
                    Wire.push_back(Arrived - Sent - D);
                    Wake.push_back(Returned - Arrived);
                    if (Error > WorstError) {
                        WorstError = Error;
                        char Line[160];
                        std::snprintf(Line, sizeof Line,
                                      "%u ms reported: %.2f ms to arrival beyond D, %.2f ms "
                                      "from arrival to Ping's return",
                                      R.RoundTripMs, Wire.back(), Wake.back());
                        Worst = Line;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
            }
            Breakdown.push_back(std::string("| ") + Load + " | " + std::to_string(D) + " | " +
                                Fixed(Median(Wire)) + " | " + Fixed(Max(Wire)) + " | " +
                                Fixed(Median(Wake)) + " | " + Fixed(Max(Wake)) + " | " + Worst +
                                " |");
            // The peer answers one request at a time: pace iputils ping so none queue up.
            const std::string Interval = std::to_string((D + 40) / 1000.0);
            const auto Out = ANet.Client()->Run({"ping", "-n", "-c", std::to_string(Pings), "-i",
                                                 Interval, "-W", "1", ANet.TargetAddress()},
                                                120000);
            std::vector<double> Theirs;
            for (double T : PingTimes(Out.Output)) {
                Theirs.push_back(std::abs(T - D));
            }
            std::printf("| %s | %d | %.2f (%zu replies) | %.2f | %.3f (%zu replies) | %.3f |\n",
                        Load, D, Median(Ours), Ours.size(), Max(Ours), Median(Theirs),
                        Theirs.size(), Max(Theirs));
            std::fflush(stdout);
        }
    }
    std::printf("\n## Where Zirko's time goes (ms; kernel arrival stamp of each reply)\n\n");
    std::printf("| load | D (ms) | arrival - send - D median | max | Ping return - arrival "
                "median | max | worst ping |\n|---|---|---|---|---|---|---|\n");
    for (const std::string& Row : Breakdown) {
        std::printf("%s\n", Row.c_str());
    }
    std::printf("\n");
}

void NeverAnswered(TTestNetwork& ANet) {
    constexpr int Pings = 10;
    TIcmpPeer Peer(ANet.Target(), "", 120000);
    std::printf("## Never-answered ping (dotted quad, silent peer; %d pings each)\n\n", Pings);
    std::printf("| ReceiveTimeout (ms) | Ping() duration median (ms) | max (ms) | "
                "overshoot max (ms) |\n|---|---|---|---|\n");
    TNetNamespaceScope InClient(*ANet.Client());
    for (const int Timeout : {200, 1000}) {
        TNetContext Sockets;
        TNetIcmpClient Client(Sockets);
        Client.SetHost(ANet.TargetAddress());
        Client.SetReceiveTimeout(Timeout);
        std::vector<double> Ms;
        for (int I = 0; I < Pings; ++I) {
            const auto Start = std::chrono::steady_clock::now();
            Client.Ping();
            Ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start)
                    .count());
        }
        std::printf("| %d | %.2f | %.2f | %.2f |\n", Timeout, Median(Ms), Max(Ms),
                    Max(Ms) - Timeout);
    }
    std::printf("\n");
}

void CpuPerPing() {
    constexpr int Pings = 300;
    constexpr int Rounds = 3;
    // Both sides pace their pings 10 ms apart: iputils ping busy-waits at shorter intervals.
    constexpr auto Pause = std::chrono::milliseconds(10);
    TNetNamespace Loop("bench");
    std::vector<double> Ours, Theirs;
    for (int R = 0; R < Rounds; ++R) {
        {
            TNetNamespaceScope Inside(Loop);
            TNetContext Sockets;
            TNetIcmpClient Client(Sockets);
            Client.SetHost("127.0.0.1");
            Client.SetReceiveTimeout(1000);
            const double Before = SelfCpuMs();
            for (int I = 0; I < Pings; ++I) {
                Client.Ping();
                std::this_thread::sleep_for(Pause);
            }
            Ours.push_back((SelfCpuMs() - Before) * 1000.0 / Pings);
        }
        const double Before = ChildrenCpuMs();
        Loop.Run({"ping", "-n", "-q", "-c", std::to_string(Pings), "-i", "0.01", "127.0.0.1"},
                 60000);
        Theirs.push_back((ChildrenCpuMs() - Before) * 1000.0 / Pings);
    }
    std::printf("## CPU time per ping on loopback (%d pings, median of %d rounds)\n\n", Pings,
                Rounds);
    std::printf("| | CPU us per ping |\n|---|---|\n");
    std::printf("| Zirko TNetIcmpClient::Ping (new socket per ping, own process CPU) | %.1f |\n",
                Median(Ours));
    std::printf("| iputils ping (one socket; whole process incl. start-up, / pings) | %.1f |\n\n",
                Median(Theirs));
}

} // namespace

int main() {
    if (::geteuid() != 0) {
        std::cerr << "run as root (raw sockets, namespaces)\n";
        return 1;
    }
    try {
        TTestNetwork Net;
        RttFidelity(Net);
        NeverAnswered(Net);
        CpuPerPing();
    } catch (const std::exception& E) {
        std::cerr << "benchmark failed: " << E.what() << '\n';
        return 1;
    }
    return 0;
}
