// SPDX-License-Identifier: GPL-3.0-or-later
// Round-trip fidelity over IPv6 next to iputils "ping -6", with the IPv4 rows of the same
// run beside it, on a quiet machine and with every CPU kept busy. Run as root; prints a
// markdown table.
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
#include <iostream>
#include <memory>
#include <regex>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace zirko::test;
using zirko::bench::Max;
using zirko::bench::Median;

namespace {

constexpr int Pings = 50;

double LoadAverage() {
    double Load[1] = {NAN};
    getloadavg(Load, 1);
    return Load[0];
}

// One busy process per CPU for as long as this object lives (at most two minutes each).
class TCpuLoad {
public:
    TCpuLoad() {
        const long Cpus = std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN));
        for (long I = 0; I < Cpus; ++I) {
            const pid_t Pid = ::fork();
            if (Pid == 0) {
                const auto End = std::chrono::steady_clock::now() + std::chrono::minutes(2);
                volatile unsigned long Spin = 0;
                while (std::chrono::steady_clock::now() < End) {
                    Spin = Spin + 1;
                }
                ::_exit(0);
            }
            if (Pid > 0) {
                FChildren.push_back(Pid);
            }
        }
    }
    ~TCpuLoad() {
        for (const pid_t Pid : FChildren) {
            ::kill(Pid, SIGKILL);
            ::waitpid(Pid, nullptr, 0);
        }
    }
    TCpuLoad(const TCpuLoad&) = delete;
    TCpuLoad& operator=(const TCpuLoad&) = delete;

private:
    std::vector<pid_t> FChildren;
};

struct TErrors {
    std::vector<double> Zirko;
    std::vector<double> Ping;
};

// |round trip - D| of Zirko's client and of iputils ping to AAddress over the same path.
TErrors Measure(TTestNetwork& ANet, const std::string& AAddress, bool AIPv6, int AD) {
    TErrors E;
    TIcmpPeer Peer(ANet.Target(), "wait:" + std::to_string(AD) + ",reply", 120000);
    {
        TNetNamespaceScope InClient(*ANet.Client());
        TNetContext Sockets;
        TNetIcmpClient Client(Sockets);
        Client.SetHost(AAddress);
        Client.SetReceiveTimeout(1000);
        for (int I = 0; I < Pings; ++I) {
            Client.Ping();
            if (Client.ReplyStatus().Status == skEchoReply) {
                E.Zirko.push_back(std::abs(double(Client.ReplyStatus().RoundTripMs) - AD));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    // The peer answers one request at a time: pace iputils ping so none queue up.
    std::vector<std::string> Argv{"ping"};
    if (AIPv6) {
        Argv.push_back("-6");
    }
    Argv.insert(Argv.end(), {"-n", "-c", std::to_string(Pings), "-i",
                             std::to_string((AD + 40) / 1000.0), "-W", "1", AAddress});
    const std::string Out = ANet.Client()->Run(Argv, 120000).Output;
    const std::regex Time("time=([0-9.]+) ms");
    for (auto It = std::sregex_iterator(Out.begin(), Out.end(), Time); It != std::sregex_iterator();
         ++It) {
        E.Ping.push_back(std::abs(std::stod((*It)[1]) - AD));
    }
    return E;
}

void Row(const char* ALoad, const char* AFamily, int AD, const TErrors& AE) {
    std::printf("| %s | %s | %d | %.2f | %.2f | %zu | %.3f | %.3f | %zu |\n", ALoad, AFamily, AD,
                Median(AE.Zirko), Max(AE.Zirko), AE.Zirko.size(), Median(AE.Ping), Max(AE.Ping),
                AE.Ping.size());
}

} // namespace

int main() {
    if (::geteuid() != 0) {
        std::cerr << "run as root (raw sockets, namespaces)\n";
        return 1;
    }
    try {
        TTestNetworkOptions Options;
        Options.IPv6 = true;
        TTestNetwork Net(Options);
        std::printf("## RTT error |RoundTripMs - D| over IPv6 and IPv4 (ms, %d pings each, "
                    "client -> router -> peer)\n\n",
                    Pings);
        std::printf("| machine | family | D | Zirko median | Zirko max | answered | ping median "
                    "| ping max | answered |\n|---|---|---|---|---|---|---|---|---|\n");
        for (const bool Loaded : {false, true}) {
            const double Before = LoadAverage();
            std::unique_ptr<TCpuLoad> Load;
            if (Loaded) {
                Load = std::make_unique<TCpuLoad>();
            }
            for (const int D : {0, 20, 100}) {
                Row(Loaded ? "loaded" : "quiet", "IPv6", D,
                    Measure(Net, Net.TargetAddress6(), true, D));
                Row(Loaded ? "loaded" : "quiet", "IPv4", D,
                    Measure(Net, Net.TargetAddress(), false, D));
            }
            Load.reset();
            std::fprintf(stderr, "%s: load average (1 min) %.2f -> %.2f\n",
                         Loaded ? "loaded" : "quiet", Before, LoadAverage());
        }
    } catch (const std::exception& E) {
        std::cerr << "benchmark failed: " << E.what() << '\n';
        return 1;
    }
    return 0;
}
