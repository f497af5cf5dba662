// SPDX-License-Identifier: GPL-3.0-or-later
// 200 loopback targets at 1 s watched as the window watches them, the "Bersagli" page shown
// (offscreen) and then hidden: the process's CPU time per second and the lateness of a 10 ms
// timer on the GUI thread (the continuous trace's measure); then zirko --headless on the same
// file in the same run, its CPU time per second. Inside a network namespace of its own, so
// nothing leaves loopback and the headless /metrics port is the namespace's. Run as root.
//   zirko_targets_page_bench [TARGETS [SECONDS]]
#include "BenchStats.h"
#include "TEngineProbePort.h"
#include "TNetContext.h"
#include "TNetNamespace.h"
#include "TNetNamespaceScope.h"
#include "TTargetsPage.h"
#include "TTargetsWatcher.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <sstream>

namespace fs = std::filesystem;
using zirko::bench::Max;
using zirko::bench::Median;
using zirko::test::TNetNamespace;
using zirko::test::TNetNamespaceScope;
extern char** environ;

namespace {

double CpuSeconds() {
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    return double(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
           double(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

// utime + stime of another process, from /proc.
double CpuSecondsOf(pid_t APid) {
    std::ifstream Stat("/proc/" + std::to_string(APid) + "/stat");
    std::string Line;
    std::getline(Stat, Line);
    const size_t End = Line.rfind(')');
    if (End == std::string::npos) {
        return -1;
    }
    std::istringstream Fields(Line.substr(End + 2));
    std::string Field;
    unsigned long long Utime = 0, Stime = 0;
    for (int I = 3; Fields >> Field && I <= 15; ++I) {
        if (I == 14) {
            Utime = std::stoull(Field);
        } else if (I == 15) {
            Stime = std::stoull(Field);
        }
    }
    return double(Utime + Stime) / double(sysconf(_SC_CLK_TCK));
}

void RunFor(int AMs) {
    QTimer::singleShot(AMs, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
}

struct TPhase {
    double CpuPerSecond = 0;
    std::vector<double> LatenessMs;
};

// CPU over ASeconds without the timer, then the 10 ms timer's lateness over as long.
TPhase Measure(int ASeconds) {
    TPhase Phase;
    const double From = CpuSeconds();
    RunFor(ASeconds * 1000);
    Phase.CpuPerSecond = (CpuSeconds() - From) / ASeconds;
    QTimer Tick;
    Tick.setTimerType(Qt::PreciseTimer);
    Tick.setInterval(10);
    QElapsedTimer Clock;
    Clock.start();
    qint64 Last = Clock.nsecsElapsed();
    QObject::connect(&Tick, &QTimer::timeout, [&] {
        const qint64 Now = Clock.nsecsElapsed();
        Phase.LatenessMs.push_back(std::max(0.0, double(Now - Last) / 1e6 - 10));
        Last = Now;
    });
    Tick.start();
    RunFor(ASeconds * 1000);
    return Phase;
}

void WriteTargets(const fs::path& AFile, int ACount) {
    std::ofstream Out(AFile);
    Out << "targets:\n";
    for (int Group = 0; Group * 100 < ACount; ++Group) {
        Out << "- interval: 1s\n  labels: {group: g" << Group << "}\n  hosts:\n";
        for (int I = Group * 100; I < std::min(ACount, (Group + 1) * 100); ++I) {
            Out << "  - 127.0." << 1 + I / 250 << '.' << 1 + I % 250 << '\n';
        }
    }
}

// zirko --headless on AFile from a copy in AFolder: CPU per second over ASeconds after a
// start-up of AWarmMs.
double Headless(const fs::path& AFolder, const fs::path& AFile, int AWarmMs, int ASeconds) {
    const fs::path Binary(ZIRKO_BINARY);
    for (const char* Name : {"zirko", "zirko-headless"}) {
        fs::copy_file(Binary.parent_path() / Name, AFolder / Name,
                      fs::copy_options::overwrite_existing);
    }
    const std::string Self = (AFolder / "zirko").string(), Config = AFile.string();
    std::vector<char*> Argv{const_cast<char*>(Self.c_str()), const_cast<char*>("--headless"),
                            const_cast<char*>("--config"), const_cast<char*>(Config.c_str()),
                            nullptr};
    pid_t Pid = -1;
    if (posix_spawn(&Pid, Argv[0], nullptr, nullptr, Argv.data(), environ) != 0) {
        return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(AWarmMs));
    const double From = CpuSecondsOf(Pid);
    std::this_thread::sleep_for(std::chrono::seconds(ASeconds));
    const double To = CpuSecondsOf(Pid);
    kill(Pid, SIGTERM);
    int Status = 0;
    waitpid(Pid, &Status, 0);
    return From < 0 || To < 0 ? -1 : (To - From) / ASeconds;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (::geteuid() != 0) {
        std::fprintf(stderr, "run as root: a namespace and raw sockets\n");
        return 2;
    }
    const int Count = argc > 1 ? std::atoi(argv[1]) : 200;
    const int Seconds = argc > 2 ? std::atoi(argv[2]) : 20;
    QApplication App(argc, argv);
    TNetNamespace Space("tpb");
    Space.Ip({"link", "set", "lo", "up"});
    const TNetNamespaceScope Inside(Space);
    char Template[] = "/tmp/zirko-targets-bench-XXXXXX";
    if (mkdtemp(Template) == nullptr) {
        return 1;
    }
    const fs::path Folder(Template);
    const fs::path File = Folder / "targets.yml";
    WriteTargets(File, Count);

    TPhase Shown, Hidden;
    size_t Answered = 0;
    {
        TNetContext Net;
        TEngineProbePort Port(Net);
        TTargetsWatcher Watcher(Port, TClock::System());
        QWidget Window;
        auto* Page = new TTargetsPage(File.string(), &Window);
        (new QVBoxLayout(&Window))->addWidget(Page);
        Window.resize(786, 549);
        // What the window does at each update: the shown page's rows and the tray's state.
        QObject::connect(&Watcher, &TTargetsWatcher::Updated, [&] {
            if (Page->isVisible()) {
                const int64_t Now = TClock::System().WallMs();
                for (size_t I = 0; I < Page->Targets().size(); ++I) {
                    Page->ShowStatus(I, Watcher.Status(I), Now);
                }
            }
            (void)Watcher.Worst();
            (void)Watcher.Down();
        });
        Watcher.SetTargets(Page->Targets());
        Window.show();
        RunFor(3000); // the first lookups and the table's first layout
        Shown = Measure(Seconds);
        Window.hide();
        Hidden = Measure(Seconds);
        for (size_t I = 0; I < Page->Targets().size(); ++I) {
            Answered += Watcher.Status(I).LastMs ? 1 : 0;
        }
    }
    const double HeadlessCpu = Headless(Folder, File, 3000, Seconds);
    fs::remove_all(Folder);

    std::printf("targets answering at the end: %zu of %d\n", Answered, Count);
    std::printf("| measure, %d targets at 1 s, %d s each | median | max |\n|---|---|---|\n", Count,
                Seconds);
    std::printf("| 10 ms timer lateness, page shown (ms) | %.3f | %.3f |\n",
                Median(Shown.LatenessMs), Max(Shown.LatenessMs));
    std::printf("| 10 ms timer lateness, page hidden (ms) | %.3f | %.3f |\n",
                Median(Hidden.LatenessMs), Max(Hidden.LatenessMs));
    std::printf("| CPU, page shown (%% of one core) | %.2f | |\n", Shown.CpuPerSecond * 100);
    std::printf("| CPU, page hidden (%% of one core) | %.2f | |\n", Hidden.CpuPerSecond * 100);
    std::printf("| CPU, zirko --headless on the same file (%% of one core) | %.2f | |\n",
                HeadlessCpu * 100);
    return Answered == size_t(Count) && HeadlessCpu >= 0 ? 0 : 1;
}
