// SPDX-License-Identifier: GPL-3.0-or-later
// Many targets at once, run as root: N addresses on the loopback of one namespace (a /16 on
// lo, so its kernel answers them all), pinged from a second namespace for S seconds at one
// probe a second each, by fping, by smokeping_prober and by one TNetProbeEngine with its
// sends spread evenly over the second in steps of 10 ms, on a raw socket as root and through
// zirko-socket as an ordinary user, and by zirko --headless reading smokeping_prober's file. Prints CPU, peak resident memory, loss and
// mean round trip of each, side by side, as a markdown table.
//
// SILENT of the targets (the last ones) are in 10.215.0.0/16 instead, which the target
// namespace drops, so their probes wait out their timeout in flight.
//
//   zirko_many_targets_bench [TARGETS [SECONDS [all|noprober|engine|headless [SILENT]]]]
//   (headless: the raw engine, fping, and zirko --headless as root and as an ordinary user;
//   noprober: these and the engine through zirko-socket)
//   (defaults 1000 40 all 0)
#include "THelperCopy.h"
#include "TNetContext.h"
#include "TNetNamespace.h"
#include "TNetNamespaceScope.h"
#include "TNetProbeEngine.h"
#include "TNetSocketHelper.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iostream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace zirko::test;
using Clock = std::chrono::steady_clock;

namespace {

// What one pinger did: its CPU over its whole life, its peak memory, its probes.
struct TFigures {
    std::string Name;
    double CpuSeconds = 0;
    double WallSeconds = 0;
    long PeakRssKb = 0;
    double Sent = 0, Answered = 0;
    double RoundTripSumMs = 0;
};

// 10.213.0.0/16 exists only inside the target namespace; the transit /30 only on the veth.
int SilentFrom = 1 << 30; // the index of the first silent target

std::string TargetAddress(int AIndex) {
    return (AIndex >= SilentFrom ? "10.215." : "10.213.") + std::to_string(1 + AIndex / 250) + "." +
           std::to_string(1 + AIndex % 250);
}

// The pair of namespaces: the client reaches the target's /16 over one veth.
struct TBenchNetwork {
    TNetNamespace Client{"mt-cli"}, Target{"mt-tgt"};

    TBenchNetwork() {
        const std::string A = "zkmt" + std::to_string(::getpid() % 100000) + "a";
        const std::string B = A.substr(0, A.size() - 1) + "b";
        Client.Ip({"link", "add", A, "type", "veth", "peer", "name", B, "netns", Target.Name()});
        Client.Ip({"link", "set", "lo", "up"});
        Target.Ip({"link", "set", "lo", "up"});
        Client.Ip({"addr", "add", "10.214.0.1/30", "dev", A});
        Target.Ip({"addr", "add", "10.214.0.2/30", "dev", B});
        Client.Ip({"link", "set", A, "up"});
        Target.Ip({"link", "set", B, "up"});
        Target.Ip({"addr", "add", "10.213.0.1/16", "dev", "lo"});
        Client.Ip({"route", "add", "10.213.0.0/16", "via", "10.214.0.2"});
        Client.Ip({"route", "add", "10.215.0.0/16", "via", "10.214.0.2"});
        Target.Ip({"route", "add", "blackhole", "10.215.0.0/16"});
    }

    // The neighbour resolved before a pinger starts: until then the kernel holds only some
    // hundred packets for it, and a first burst to 10,000 targets would lose the rest.
    void Warm() const { Client.Run({"ping", "-c", "1", "-W", "1", "10.214.0.2"}); }
};

// Runs argv inside ANamespace with its output to AOutput; AWhile runs meanwhile, after which
// the program gets SIGTERM unless it ended by itself. Its CPU and memory come from wait4.
TFigures RunMeasured(const std::string& AName, const TNetNamespace& ANamespace,
                     std::vector<std::string> AArgv, const std::string& AOutput,
                     const std::function<void(pid_t)>& AWhile) {
    AArgv.insert(AArgv.begin(), {"ip", "netns", "exec", ANamespace.Name()});
    const auto Start = Clock::now();
    const pid_t Pid = ::fork();
    if (Pid == 0) {
        const int Fd = ::open(AOutput.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(Fd, 1);
        ::dup2(Fd, 2);
        std::vector<char*> Argv;
        for (std::string& Each : AArgv) {
            Argv.push_back(Each.data());
        }
        Argv.push_back(nullptr);
        ::execvp(Argv[0], Argv.data());
        ::_exit(127);
    }
    AWhile(Pid);
    ::kill(Pid, SIGTERM);
    int Status = 0;
    rusage Usage{};
    ::wait4(Pid, &Status, 0, &Usage);
    TFigures Figures;
    Figures.Name = AName;
    Figures.WallSeconds = std::chrono::duration<double>(Clock::now() - Start).count();
    Figures.CpuSeconds = static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
                         static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
    Figures.PeakRssKb = Usage.ru_maxrss;
    return Figures;
}

std::string ReadAll(const std::string& APath) {
    std::ifstream In(APath);
    std::stringstream Text;
    Text << In.rdbuf();
    return Text.str();
}

// fping -C: "10.213.1.1 : 0.05 0.04 - 0.06" per target, "-" for each loss.
TFigures Fping(const TBenchNetwork& ANet, int ATargets, int ASeconds, const std::string& ADir) {
    const std::string List = ADir + "/fping-targets";
    {
        std::ofstream Out(List);
        for (int I = 0; I < ATargets; ++I) {
            Out << TargetAddress(I) << '\n';
        }
    }
    // -i 0: no pause of its own between targets, so N targets fit the 1 s period (its 10 ms
    // default would stretch a round of 1,000 to 10 s).
    TFigures F = RunMeasured(
        "fping 5.1, `-C S -p 1000 -i 0 -q`", ANet.Client,
        {"fping", "-C", std::to_string(ASeconds), "-p", "1000", "-i", "0", "-q", "-f", List},
        ADir + "/fping-out", [](pid_t APid) {
            // Until it ends by itself, left for wait4 to reap.
            siginfo_t Info{};
            ::waitid(P_PID, static_cast<id_t>(APid), &Info, WEXITED | WNOWAIT);
        });
    const std::string Output = ReadAll(ADir + "/fping-out");
    std::istringstream Lines(Output);
    for (std::string Line; std::getline(Lines, Line);) {
        const std::size_t Colon = Line.find(" : ");
        if (Colon == std::string::npos) {
            continue;
        }
        std::istringstream Values(Line.substr(Colon + 3));
        for (std::string Each; Values >> Each;) {
            ++F.Sent;
            if (Each != "-") {
                ++F.Answered;
                F.RoundTripSumMs += std::stod(Each);
            }
        }
    }
    if (F.Sent == 0) {
        std::cerr << "fping gave no figures:\n" << Output.substr(0, 2000) << '\n';
    }
    std::remove(List.c_str());
    std::remove((ADir + "/fping-out").c_str());
    return F;
}

double SumOf(const std::string& AText, const std::string& APrefix) {
    double Sum = 0;
    std::istringstream Lines(AText);
    for (std::string Line; std::getline(Lines, Line);) {
        if (Line.rfind(APrefix, 0) == 0) {
            Sum += std::stod(Line.substr(Line.rfind(' ') + 1));
        }
    }
    return Sum;
}

// smokeping_prober's file of N hosts at 1 s, which zirko --headless reads as it is.
std::string WriteTargets(const std::string& ADir, int ATargets) {
    const std::string Config = ADir + "/prober.yml";
    std::ofstream Out(Config);
    Out << "targets:\n- interval: 1s\n  hosts:\n";
    for (int I = 0; I < ATargets; ++I) {
        Out << "  - " << TargetAddress(I) << '\n';
    }
    return Config;
}

// Sent, answered and round trips from the smokeping_* counters both exporters serve.
void ReadCounters(const std::string& AMetrics, TFigures& AF) {
    AF.Sent = SumOf(AMetrics, "smokeping_requests_total{");
    AF.Answered = SumOf(AMetrics, "smokeping_response_duration_seconds_count{");
    AF.RoundTripSumMs = SumOf(AMetrics, "smokeping_response_duration_seconds_sum{") * 1e3;
}

// smokeping_prober from a file of N hosts; its counters read from /metrics at the end.
TFigures Prober(const TBenchNetwork& ANet, int ATargets, int ASeconds, const std::string& ADir) {
    const std::string Config = WriteTargets(ADir, ATargets);
    std::string Metrics;
    TFigures F = RunMeasured(
        "prometheus-smokeping-prober 0.6.1, `--privileged`", ANet.Client,
        {"prometheus-smokeping-prober", "--privileged", "--config.file=" + Config,
         "--web.listen-address=127.0.0.1:9374", "--log.level=warn"},
        ADir + "/prober-out", [&](pid_t) {
            std::this_thread::sleep_for(std::chrono::seconds(ASeconds));
            Metrics =
                ANet.Client.Run({"curl", "-s", "-m", "20", "http://127.0.0.1:9374/metrics"}, 30000)
                    .Output;
        });
    ReadCounters(Metrics, F);
    std::remove(Config.c_str());
    std::remove((ADir + "/prober-out").c_str());
    return F;
}

// zirko --headless on the same file from a copy in a folder of its own (its log and history go
// beside it): as root, or as nobody through the copy's zirko-socket with cap_net_raw+ep (the
// folder then nobody's; the helper's CPU counts, as zirko reaps it). /metrics is fetched every
// 2 s while it probes; the median is printed.
TFigures Headless(const TBenchNetwork& ANet, int ATargets, int ASeconds, const std::string& ADir,
                  bool AAsUser) {
    // zirko --headless runs the zirko-headless beside it, which loads the endpoint from there.
    const auto Built = std::filesystem::path(ZIRKO_BINARY).parent_path();
    const THelperCopy Copy(ZIRKO_SOCKET_PATH, AAsUser,
                           {ZIRKO_BINARY, (Built / "zirko-headless").string(),
                            (Built / "libzirko_endpoint.so").string()});
    const std::string Config = WriteTargets(AAsUser ? Copy.Folder.string() : ADir, ATargets);
    std::vector<std::string> Argv{(Copy.Folder / "zirko").string(), "--headless", "--config",
                                  Config, "--metrics", "127.0.0.1:9375"};
    if (AAsUser) {
        constexpr int Nobody = 65534;
        if (::chown(Copy.Folder.c_str(), Nobody, Nobody) != 0 || ::chmod(Config.c_str(), 0644)) {
            throw std::runtime_error("the copy's folder cannot be given to nobody");
        }
        Argv.insert(Argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    const std::string Url = "http://127.0.0.1:9375/metrics";
    std::string Metrics;
    std::vector<double> FetchMs;
    TFigures F = RunMeasured(
        AAsUser ? "zirko --headless --config, ordinary user through zirko-socket"
                : "zirko --headless --config, root",
        ANet.Client, Argv,
        ADir + "/zirko-out", [&](pid_t) {
            const auto End = Clock::now() + std::chrono::seconds(ASeconds);
            while (Clock::now() + std::chrono::seconds(3) < End) {
                std::this_thread::sleep_for(std::chrono::seconds(2));
                const std::string Took = ANet.Client
                                             .Run({"curl", "-s", "-m", "10", "-o", "/dev/null",
                                                   "-w", "%{time_total}", Url},
                                                  15000)
                                             .Output;
                FetchMs.push_back(std::atof(Took.c_str()) * 1e3);
            }
            std::this_thread::sleep_until(End);
            Metrics = ANet.Client.Run({"curl", "-s", "-m", "20", Url}, 30000).Output;
        });
    ReadCounters(Metrics, F);
    std::sort(FetchMs.begin(), FetchMs.end());
    std::printf("zirko --headless: /metrics fetched %zu times while probing, median %.1f ms, "
                "max %.1f ms, %zu bytes at the end\n",
                FetchMs.size(), FetchMs.empty() ? 0.0 : FetchMs[FetchMs.size() / 2],
                FetchMs.empty() ? 0.0 : FetchMs.back(), Metrics.size());
    if (F.Sent == 0) {
        std::cerr << ReadAll(ADir + "/zirko-out").substr(0, 2000) << '\n';
    }
    std::remove(Config.c_str());
    std::remove((ADir + "/zirko-out").c_str());
    return F;
}

double CpuSecondsOfSelf() {
    rusage Usage{};
    ::getrusage(RUSAGE_SELF, &Usage);
    return static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
           static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

long StatusKb(const char* AField, const std::string& AFile = "/proc/self/status") {
    std::istringstream Lines(ReadAll(AFile));
    for (std::string Line; std::getline(Lines, Line);) {
        if (Line.rfind(AField, 0) == 0) {
            return std::stol(Line.substr(std::strlen(AField)));
        }
    }
    return 0;
}

// The event loop's pattern on AProbes: target I of N leaves at I/N of each second.
void Drive(TNetProbeEngine& AProbes, int ATargets, int ASeconds, TFigures& AF) {
    std::vector<std::string> Addresses;
    for (int I = 0; I < ATargets; ++I) {
        Addresses.push_back(TargetAddress(I));
    }
    const auto Start = Clock::now();
    const auto Stop = Start + std::chrono::seconds(ASeconds);
    const auto Slot = std::chrono::nanoseconds(1'000'000'000LL / ATargets);
    constexpr auto Step = std::chrono::nanoseconds(10'000'000);
    long Next = 0; // probes queued so far
    const auto Tally = [&] {
        for (const TNetProbeResult& R : AProbes.Process()) {
            ++AF.Sent;
            if (R.Kind == skEchoReply) {
                ++AF.Answered;
                AF.RoundTripSumMs += static_cast<double>(R.RoundTripNs) / 1e6;
            }
        }
    };
    const long Total = static_cast<long>(ATargets) * ASeconds;
    while (Clock::now() < Stop + std::chrono::seconds(2) &&
           (Next < Total || AProbes.InFlight() + AProbes.Waiting() > 0)) {
        const auto Now = Clock::now();
        for (; Next < Total && Start + Next * Slot <= Now; ++Next) {
            AProbes.Queue(Addresses[static_cast<std::size_t>(Next % ATargets)], 64,
                          static_cast<uint32_t>(Next / ATargets), 1000);
        }
        Tally();
        std::vector<pollfd> Fds;
        for (const int Fd : AProbes.Descriptors()) {
            Fds.push_back({Fd, POLLIN, 0});
        }
        // Sends due within one step leave together: a wake-up per probe would cost more than
        // the probe (a context switch each), and 10 ms still spreads a second's sends evenly.
        // The helper's queue leaves at its pace, due sooner.
        const auto Due = (Next * Slot + Step - std::chrono::nanoseconds(1)) / Step * Step;
        auto Wake = std::min(Start + Due, Now + std::chrono::milliseconds(100));
        if (const auto Engine = AProbes.NextDueNs()) {
            const auto Left = std::chrono::nanoseconds(*Engine - TClock::System().SteadyNs());
            Wake = std::min(Wake, Now + std::max(Left, std::chrono::nanoseconds(0)));
        }
        const auto WaitNs = std::chrono::duration_cast<std::chrono::nanoseconds>(Wake - Now);
        const timespec Timeout{0, std::max<long>(0, static_cast<long>(WaitNs.count()))};
        ::ppoll(Fds.data(), Fds.size(), &Timeout, nullptr);
    }
    Tally();
    AF.WallSeconds = std::chrono::duration<double>(Clock::now() - Start).count();
}

TFigures Engine(const TBenchNetwork& ANet, int ATargets, int ASeconds) {
    TNetNamespaceScope InClient(ANet.Client);
    TNetContext Context;
    Context.SetIcmpSocketPolicy(TNetIcmpSocketPolicy::RawOnly);
    TNetProbeEngine Probes(Context);
    TFigures F;
    F.Name = "Zirko's probe engine, raw socket";
    const double CpuBefore = CpuSecondsOfSelf();
    Drive(Probes, ATargets, ASeconds, F);
    F.CpuSeconds = CpuSecondsOfSelf() - CpuBefore;
    F.PeakRssKb = StatusKb("VmRSS:");
    return F;
}

// The same engine as an ordinary user (nobody) whose only raw socket is the helper's, a copy
// with cap_net_raw+ep. CPU and memory are the engine's and the helper's together.
TFigures EngineThroughHelper(const TBenchNetwork& ANet, int ATargets, int ASeconds) {
    const THelperCopy Copy(ZIRKO_SOCKET_PATH, true);
    std::array<int, 2> Pipe{};
    if (Copy.Path.empty() || ::pipe(Pipe.data()) != 0) {
        throw std::runtime_error("no helper copy");
    }
    const pid_t Child = ::fork();
    if (Child == 0) {
        ::close(Pipe[0]);
        TNetNamespaceScope InClient(ANet.Client);
        constexpr gid_t Nobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0) {
            ::_exit(3);
        }
        TFigures F;
        {
            TNetSocketHelper Helper;
            if (!Helper.Start(Copy.Path)) {
                ::_exit(4);
            }
            TNetContext Context;
            Context.SetHelper(&Helper);
            TNetProbeEngine Probes(Context);
            Drive(Probes, ATargets, ASeconds, F);
            const std::string HelperStatus = "/proc/" + std::to_string(Helper.Pid()) + "/status";
            F.PeakRssKb = StatusKb("VmRSS:") + StatusKb("VmRSS:", HelperStatus);
        } // the helper stops and is collected here
        rusage Helper{};
        ::getrusage(RUSAGE_CHILDREN, &Helper);
        F.CpuSeconds = CpuSecondsOfSelf() + static_cast<double>(Helper.ru_utime.tv_sec +
                                                                Helper.ru_stime.tv_sec) +
                       static_cast<double>(Helper.ru_utime.tv_usec + Helper.ru_stime.tv_usec) / 1e6;
        const std::string Text = std::to_string(F.CpuSeconds) + " " +
                                 std::to_string(F.WallSeconds) + " " + std::to_string(F.PeakRssKb) +
                                 " " + std::to_string(F.Sent) + " " + std::to_string(F.Answered) +
                                 " " + std::to_string(F.RoundTripSumMs);
        const bool Written = ::write(Pipe[1], Text.data(), Text.size()) ==
                             static_cast<ssize_t>(Text.size());
        ::_exit(Written ? 0 : 5);
    }
    ::close(Pipe[1]);
    std::string Text(256, '\0');
    const ssize_t N = ::read(Pipe[0], Text.data(), Text.size());
    ::close(Pipe[0]);
    int Status = 0;
    ::waitpid(Child, &Status, 0);
    TFigures F;
    F.Name = "Zirko's probe engine, ordinary user through zirko-socket";
    std::istringstream In(Text.substr(0, static_cast<std::size_t>(std::max<ssize_t>(N, 0))));
    if (!(In >> F.CpuSeconds >> F.WallSeconds >> F.PeakRssKb >> F.Sent >> F.Answered >>
          F.RoundTripSumMs)) {
        std::cerr << "the ordinary user's engine failed, status " << Status << '\n';
    }
    return F;
}

void Print(const std::vector<TFigures>& ARows, int ATargets, int ASeconds) {
    std::printf("%d targets (%d silent), one probe a second each, %d s\n\n", ATargets,
                ATargets - std::min(SilentFrom, ATargets), ASeconds);
    std::printf("| pinger | CPU, %% of one core | resident memory | loss | mean round trip |\n");
    std::printf("|---|---|---|---|---|\n");
    for (const TFigures& F : ARows) {
        const double Loss = F.Sent > 0 ? 100 * (F.Sent - F.Answered) / F.Sent : 100;
        const double Mean = F.Answered > 0 ? F.RoundTripSumMs / F.Answered : 0;
        std::printf("| %s | %.2f %% | %.1f MiB | %.2f %% (%.0f of %.0f) | %.3f ms |\n",
                    F.Name.c_str(), 100 * F.CpuSeconds / F.WallSeconds,
                    static_cast<double>(F.PeakRssKb) / 1024, Loss, F.Sent - F.Answered, F.Sent,
                    Mean);
    }
}

} // namespace

int main(int argc, char** argv) {
    const int Targets = argc > 1 ? std::stoi(argv[1]) : 1000;
    const int Seconds = argc > 2 ? std::stoi(argv[2]) : 40;
    const std::string Which = argc > 3 ? argv[3] : "all";
    const int Silent = argc > 4 ? std::stoi(argv[4]) : 0;
    SilentFrom = Targets - Silent;
    if (::geteuid() != 0 || Targets < 1 || Targets > 62500 || Seconds < 1) {
        std::cerr << "run as root: zirko_many_targets_bench [TARGETS [SECONDS [all|noprober|engine "
                     "[SILENT]]]]\n";
        return 2;
    }
    std::string Dir = "/tmp/zirko-bench-XXXXXX";
    if (::mkdtemp(Dir.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    std::vector<TFigures> Rows;
    {
        const TBenchNetwork Net;
        Net.Warm();
        Rows.push_back(Engine(Net, Targets, Seconds));
        if (Which != "engine" && Which != "headless") {
            Net.Warm();
            Rows.push_back(EngineThroughHelper(Net, Targets, Seconds));
        }
        if (Which != "engine") {
            Net.Warm();
            Rows.push_back(Fping(Net, Targets, Seconds, Dir));
        }
        if (Which != "engine") {
            Net.Warm();
            Rows.push_back(Headless(Net, Targets, Seconds, Dir, false));
            Net.Warm();
            Rows.push_back(Headless(Net, Targets, Seconds, Dir, true));
        }
        if (Which == "all") {
            Net.Warm();
            Rows.push_back(Prober(Net, Targets, Seconds, Dir));
        }
    }
    ::rmdir(Dir.c_str());
    Print(Rows, Targets, Seconds);
    return 0;
}
