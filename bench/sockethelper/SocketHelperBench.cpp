// SPDX-License-Identifier: GPL-3.0-or-later
// Raw sockets from zirko-socket next to raw sockets opened by the process itself, in the same
// run: the time to get one socket, CPU per ping on loopback (the helper's CPU counted too),
// and the round-trip error over the namespace network. Run as root; prints markdown.
#include "BenchStats.h"
#include "TIcmpPeer.h"
#include "TNetIcmpClient.h"
#include "TNetNamespaceScope.h"
#include "TNetSocketHandle.h"
#include "TNetSocketHelper.h"
#include "TTestNetwork.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace zirko::test;
using zirko::bench::Max;
using zirko::bench::Median;

namespace {

double CpuMs(clockid_t AClock) {
    timespec T{};
    clock_gettime(AClock, &T);
    return T.tv_sec * 1e3 + T.tv_nsec / 1e6;
}

// CPU of this process plus, while it runs, the helper's.
double TotalCpuMs() {
    double Ms = CpuMs(CLOCK_PROCESS_CPUTIME_ID);
    clockid_t Helper{};
    if (TNetSocketHelper::Running() && clock_getcpuclockid(TNetSocketHelper::Pid(), &Helper) == 0) {
        Ms += CpuMs(Helper);
    }
    return Ms;
}

void UseHelper(bool AOn) {
    TNetSocketHelper::Stop();
    if (AOn && !TNetSocketHelper::Start(ZIRKO_SOCKET_PATH)) {
        throw std::runtime_error("cannot start " + std::string(ZIRKO_SOCKET_PATH));
    }
}

const char* Name(bool AHelper) {
    return AHelper ? "through zirko-socket" : "opened by the process";
}

void OpenCost() {
    constexpr int Opens = 2000;
    constexpr int Rounds = 5;
    std::vector<double> Us[2];
    TNetIcmpClient StackOwner; // the process-wide stack lives while a client does
    for (int R = 0; R < Rounds; ++R) {
        for (const bool Helper : {false, true}) {
            UseHelper(Helper);
            TNetSocketHandle Handle;
            const auto Start = std::chrono::steady_clock::now();
            for (int I = 0; I < Opens; ++I) {
                Handle.OpenHandle(SOCK_RAW, IPPROTO_ICMP);
                Handle.ReleaseSocket();
            }
            Us[Helper].push_back(
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - Start)
                    .count() /
                Opens);
        }
    }
    UseHelper(false);
    std::printf("## Opening and closing one raw ICMP socket (%d each, median of %d rounds)\n\n"
                "| | wall us per socket |\n|---|---|\n",
                Opens, Rounds);
    for (const bool Helper : {false, true}) {
        std::printf("| %s | %.1f |\n", Name(Helper), Median(Us[Helper]));
    }
    std::printf("\n");
}

void CpuPerPing() {
    constexpr int Pings = 300;
    constexpr int Rounds = 3;
    constexpr auto Pause = std::chrono::milliseconds(10);
    TNetNamespace Loop("helperbench");
    std::vector<double> Us[2];
    for (int R = 0; R < Rounds; ++R) {
        for (const bool Helper : {false, true}) {
            TNetNamespaceScope Inside(Loop);
            UseHelper(Helper);
            TNetIcmpClient Client;
            Client.SetHost("127.0.0.1");
            Client.SetReceiveTimeout(1000);
            const double Before = TotalCpuMs();
            for (int I = 0; I < Pings; ++I) {
                Client.Ping();
                std::this_thread::sleep_for(Pause);
            }
            Us[Helper].push_back((TotalCpuMs() - Before) * 1000.0 / Pings);
        }
    }
    UseHelper(false);
    std::printf("## CPU time per ping on loopback (%d pings, median of %d rounds, helper's CPU "
                "included)\n\n| | CPU us per ping |\n|---|---|\n",
                Pings, Rounds);
    for (const bool Helper : {false, true}) {
        std::printf("| %s | %.1f |\n", Name(Helper), Median(Us[Helper]));
    }
    std::printf("| extra per ping | %.1f |\n\n", Median(Us[1]) - Median(Us[0]));
}

void RttError(TTestNetwork& ANet) {
    constexpr int Pings = 50;
    std::printf("## RTT error |RoundTripMs - D| (%d pings each, client -> router -> peer)\n\n"
                "| D (ms) | opened by the process median | max | through zirko-socket median | "
                "max | answered |\n|---|---|---|---|---|---|\n",
                Pings);
    for (const int D : {0, 20, 100}) {
        std::vector<double> Error[2];
        for (const bool Helper : {false, true}) {
            TIcmpPeer Peer(ANet.Target(), "wait:" + std::to_string(D) + ",reply", 120000);
            TNetNamespaceScope InClient(*ANet.Client());
            UseHelper(Helper);
            TNetIcmpClient Client;
            Client.SetHost(ANet.TargetAddress());
            Client.SetReceiveTimeout(1000);
            for (int I = 0; I < Pings; ++I) {
                Client.Ping();
                const TReplyStatus& R = Client.ReplyStatus();
                if (R.Status == skEchoReply) {
                    Error[Helper].push_back(std::abs(double(R.RoundTripMs) - D));
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        UseHelper(false);
        std::printf("| %d | %g | %g | %g | %g | %zu/%zu |\n", D, Median(Error[0]), Max(Error[0]),
                    Median(Error[1]), Max(Error[1]), Error[0].size(), Error[1].size());
    }
    std::printf("\n");
}

} // namespace

int main() {
    if (::geteuid() != 0) {
        std::cerr << "run as root (raw sockets, namespaces)\n";
        return 1;
    }
    try {
        OpenCost();
        CpuPerPing();
        TTestNetwork Net;
        RttError(Net);
    } catch (const std::exception& E) {
        std::cerr << "benchmark failed: " << E.what() << '\n';
        return 1;
    }
    return 0;
}
