// SPDX-License-Identifier: GPL-3.0-or-later
// "Continuo" over a chain of 29 routers and a target in namespaces of its own (30 hops, one
// round a second, the page's own view shown on the offscreen platform): the process's CPU
// time per round, and the lateness of a 10 ms timer on the GUI thread meanwhile and without
// the trace. Run as root from a Release build; see RESULTS.md.
#include "BenchStats.h"
#include "TContinuousTrace.h"
#include "TContinuousTraceView.h"
#include "TNetContext.h"
#include "TNetNamespace.h"
#include "TNetNamespaceScope.h"
#include "TTraceHop.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace zirko::test;
using zirko::bench::Max;
using zirko::bench::Median;

namespace {

constexpr int Hops = 30;
const std::string Prefix = "10.77.0."; // only inside the chain's namespaces

std::string At(int AHost) {
    return Prefix + std::to_string(AHost);
}

// Node 0 is the client, 1 to 29 the routers, 30 the target. Link k joins node k - 1 (.4k-3,
// its eth1; the client's veth) to node k (.4k-2, its eth0): hop k answers from .4k-2.
class TChain {
public:
    TChain() {
        for (int N = 0; N <= Hops; ++N) {
            FNodes.push_back(std::make_unique<TNetNamespace>("tb" + std::to_string(N)));
        }
        for (int K = 1; K <= Hops; ++K) {
            Batch(K - 1, {"link add " + std::string(K == 1 ? "eth0" : "eth1") +
                          " type veth peer name eth0 netns " + FNodes[K]->Name()});
        }
        for (int N = 0; N <= Hops; ++N) {
            Batch(N, Routes(N));
        }
        for (int N = 1; N < Hops; ++N) {
            FNodes[N]->RunChecked(
                {"sysctl", "-q", "-w", "net.ipv4.ip_forward=1", "net.ipv4.icmp_ratemask=0"});
        }
    }
    const TNetNamespace& Client() const { return *FNodes.front(); }

private:
    std::vector<std::string> Routes(int AN) const {
        std::vector<std::string> Out = {"link set lo up"};
        const auto Side = [&](const char* ADev, int AHost) {
            Out.push_back("addr add " + At(AHost) + "/30 dev " + ADev);
            Out.push_back(std::string("link set ") + ADev + " up");
        };
        if (AN == 0) {
            Side("eth0", 1);
            Out.push_back("route add " + Prefix + "0/24 via " + At(2));
            return Out;
        }
        Side("eth0", 4 * AN - 2);
        if (AN == Hops) {
            Out.push_back("route add " + Prefix + "0/24 via " + At(4 * AN - 3));
            return Out;
        }
        Side("eth1", 4 * AN + 1);
        Out.push_back("route add " + Prefix + "0/24 via " + At(4 * AN + 2));
        for (int J = 0; J + 1 < AN; ++J) { // the links before the one it came from
            Out.push_back("route add " + At(4 * J) + "/30 via " + At(4 * AN - 3));
        }
        return Out;
    }
    void Batch(int AN, const std::vector<std::string>& ALines) const {
        const std::string Path = "/tmp/zk-trace-bench-" + std::to_string(::getpid()) + ".ip";
        {
            std::ofstream File(Path);
            for (const std::string& L : ALines) {
                File << L << '\n';
            }
        }
        RunChecked({"ip", "-n", FNodes[static_cast<std::size_t>(AN)]->Name(), "-batch", Path});
        std::remove(Path.c_str());
    }

    std::vector<std::unique_ptr<TNetNamespace>> FNodes;
};

double CpuUs() {
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    return (Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) * 1e6 + Usage.ru_utime.tv_usec +
           Usage.ru_stime.tv_usec;
}

struct TRun {
    std::vector<double> LatenessMs;    // with the 10 ms timer only
    std::vector<double> CpuPerRoundUs; // with a trace only
};

// Runs the event loop for ASeconds, with a 10 ms timer whose lateness it records, or with
// ATrace, whose rounds it times in the process's CPU time (from one answer of hop 1 to the
// next; the first round, which lays the table out, left out). Apart, so that neither counts
// the other's cost.
TRun Measure(int ASeconds, TContinuousTrace* ATrace) {
    TRun Run;
    QTimer Tick;
    QElapsedTimer Clock;
    qint64 Last = 0;
    if (ATrace == nullptr) {
        Tick.setTimerType(Qt::PreciseTimer);
        Tick.setInterval(10);
        QObject::connect(&Tick, &QTimer::timeout, [&] {
            const qint64 Now = Clock.nsecsElapsed();
            Run.LatenessMs.push_back(std::max(0.0, static_cast<double>(Now - Last) / 1e6 - 10));
            Last = Now;
        });
        Clock.start();
        Last = Clock.nsecsElapsed();
        Tick.start();
    }
    double Cpu = -1;
    int Seen = 0;
    const auto Connection =
        ATrace == nullptr ? QMetaObject::Connection()
                          : QObject::connect(ATrace, &TContinuousTrace::HopChanged, [&](int AHop) {
                                if (AHop != 1) {
                                    return;
                                }
                                const double C = CpuUs();
                                if (++Seen > 2) {
                                    Run.CpuPerRoundUs.push_back(C - Cpu);
                                }
                                Cpu = C;
                            });
    QTimer::singleShot(ASeconds * 1000, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    QObject::disconnect(Connection);
    return Run;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (::geteuid() != 0) {
        std::fprintf(stderr, "run as root: namespaces and raw sockets\n");
        return 2;
    }
    const int Seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    QApplication App(argc, argv);
    const TChain Chain;
    const TNetNamespaceScope InClient(Chain.Client());
    TNetContext Net;
    QWidget Window;
    auto* Host = new QLineEdit(QString::fromStdString(At(4 * Hops - 2)), &Window);
    auto* MaxHops = new QSpinBox(&Window);
    MaxHops->setRange(1, 255);
    MaxHops->setValue(Hops);
    auto* Continuo = new QPushButton(QStringLiteral("Continuo"), &Window);
    auto* Export = new QPushButton(QStringLiteral("Esporta CSV…"), &Window);
    auto* Log = new QListWidget(&Window);
    auto* View = new TContinuousTraceView(Net, &Window);
    View->Attach({Host, MaxHops, Continuo, Export, Log, &TClock::System()});
    View->Trace().SetNameLookup({}); // no resolver is reachable from the chain
    View->setGeometry(0, 0, 786, 330);
    Window.resize(786, 549);
    Window.show();

    const double IdleFrom = CpuUs();
    const TRun Idle = Measure(Seconds / 4, nullptr);
    const double IdlePerSecond = (CpuUs() - IdleFrom) / (Seconds / 4);
    Continuo->click();
    const TRun Rounds = Measure(Seconds, &View->Trace());
    // Timed while the same trace goes on.
    const TRun Busy = Measure(Seconds, nullptr);
    Continuo->click();

    int Answering = 0;
    for (const TTraceHop& H : View->Trace().Hops()) {
        Answering += H.Received() > 0 ? 1 : 0;
    }
    std::printf("hops answering: %d of %d in %u rounds (%s)\n", Answering, Hops,
                View->Trace().Rounds(), Answering == Hops ? "all" : "NOT ALL");
    std::printf("| measure | median | max |\n|---|---|---|\n");
    std::printf("| CPU time per round, %d hops, trace running (us) | %.0f | %.0f |\n", Hops,
                Median(Rounds.CpuPerRoundUs), Max(Rounds.CpuPerRoundUs));
    std::printf("| 10 ms timer lateness, trace running (ms) | %.3f | %.3f |\n",
                Median(Busy.LatenessMs), Max(Busy.LatenessMs));
    std::printf("| 10 ms timer lateness, idle (ms) | %.3f | %.3f |\n", Median(Idle.LatenessMs),
                Max(Idle.LatenessMs));
    std::printf("| CPU time per second, idle with the 10 ms timer (us) | %.0f | |\n",
                IdlePerSecond);
    return Answering == Hops ? 0 : 1;
}
