// SPDX-License-Identifier: GPL-3.0-or-later
// Echo requests sent by zirko-socket next to raw sockets opened by the process itself, in the
// same run: CPU per ping on loopback (the helper's CPU counted too), the round-trip error over
// the namespace network, and the helper's memory. Run as root; prints markdown.
#include "BenchStats.h"
#include "TIcmpPeer.h"
#include "TNetIcmpClient.h"
#include "TNetNamespaceScope.h"
#include "TNetSocketHelper.h"
#include "TTestNetwork.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace zirko::test;
using zirko::bench::Max;
using zirko::bench::Median;

namespace {

double ChildrenCpuMs() {
    rusage Usage{};
    getrusage(RUSAGE_CHILDREN, &Usage);
    return (Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) * 1e3 +
           (Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e3;
}

// The helper of the benchmark's clients, started and stopped between the rows.
TNetSocketHelper Relay;

double CpuMs(clockid_t AClock) {
    timespec T{};
    clock_gettime(AClock, &T);
    return T.tv_sec * 1e3 + T.tv_nsec / 1e6;
}

// CPU of this process plus, while it runs, the helper's.
double TotalCpuMs() {
    double Ms = CpuMs(CLOCK_PROCESS_CPUTIME_ID);
    clockid_t Helper{};
    if (Relay.Running() && clock_getcpuclockid(Relay.Pid(), &Helper) == 0) {
        Ms += CpuMs(Helper);
    }
    return Ms;
}

void UseHelper(bool AOn) {
    Relay.Stop();
    if (AOn && !Relay.Start(ZIRKO_SOCKET_PATH)) {
        throw std::runtime_error("cannot start " + std::string(ZIRKO_SOCKET_PATH));
    }
}

const char* Name(bool AHelper) {
    return AHelper ? "through zirko-socket" : "opened by the process";
}

// The helper's resident memory after a run of pings, from its status file.
void HelperMemory() {
    TNetNamespace Loop("helpermem");
    TNetNamespaceScope Inside(Loop);
    UseHelper(true);
    TNetContext Sockets;
    Sockets.SetHelper(&Relay);
    TNetIcmpClient Client(Sockets);
    Client.SetHost("127.0.0.1");
    for (int I = 0; I < 200; ++I) {
        Client.Ping();
    }
    std::ifstream Status("/proc/" + std::to_string(Relay.Pid()) + "/status");
    std::string Line;
    std::printf("## zirko-socket's memory after 200 pings\n\n");
    while (std::getline(Status, Line)) {
        if (Line.rfind("VmRSS:", 0) == 0 || Line.rfind("VmHWM:", 0) == 0) {
            std::printf("- %s\n", Line.c_str());
        }
    }
    std::printf("\n");
    UseHelper(false);
}

void CpuPerPing() {
    constexpr int Pings = 300;
    constexpr int Rounds = 3;
    constexpr auto Pause = std::chrono::milliseconds(10);
    TNetNamespace Loop("helperbench");
    std::vector<double> Us[2];
    std::vector<double> Iputils;
    for (int R = 0; R < Rounds; ++R) {
        const double Children = ChildrenCpuMs();
        Loop.Run({"ping", "-n", "-q", "-c", std::to_string(Pings), "-i", "0.01", "127.0.0.1"},
                 60000);
        Iputils.push_back((ChildrenCpuMs() - Children) * 1000.0 / Pings);
        for (const bool Helper : {false, true}) {
            TNetNamespaceScope Inside(Loop);
            UseHelper(Helper);
            TNetContext Sockets;
            Sockets.SetHelper(Helper ? &Relay : nullptr);
            TNetIcmpClient Client(Sockets);
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
    std::printf("| extra per ping | %.1f |\n", Median(Us[1]) - Median(Us[0]));
    std::printf("| iputils ping (whole process incl. start-up, / pings) | %.1f |\n\n",
                Median(Iputils));
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
            TNetContext Sockets;
            Sockets.SetHelper(Helper ? &Relay : nullptr);
            TNetIcmpClient Client(Sockets);
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
        CpuPerPing();
        HelperMemory();
        TTestNetwork Net;
        RttError(Net);
    } catch (const std::exception& E) {
        std::cerr << "benchmark failed: " << E.what() << '\n';
        return 1;
    }
    return 0;
}
