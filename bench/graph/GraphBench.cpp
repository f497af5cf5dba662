// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmark of the "Grafico" page, offscreen:
//  - with the page shown and 43,200 pings in the history (a day at one ping
//    every two seconds), the time to hand it one more reply and repaint the
//    plot, for each range;
//  - heap and resident memory of a full history (100,000 pings) over an
//    empty one, with the page shown on "Tutto".
//
//   graph_bench [--adds N]

#include "TClock.h"
#include "TGraphPage.h"
#include "TLatencyView.h"
#include "TReplyStatus.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <malloc.h>
#include <string>
#include <time.h>
#include <vector>

namespace {

using TStopwatch = std::chrono::steady_clock;

// A deterministic line: round trips around 30 ms with waves and spikes, one
// ping in fifty lost.
TReplyStatus Reply(int i) {
    TReplyStatus r;
    const bool Lost = i % 50 == 49;
    r.ReplyBytes = Lost ? 0 : 72;
    r.FromAddress = Lost ? "0.0.0.0" : "192.0.2.10";
    r.Sequence = static_cast<uint16_t>(i);
    r.ReplyTtl = Lost ? 0 : 54;
    r.RoundTripMs =
        Lost ? 1001 : static_cast<uint32_t>(30 + (i % 97) / 4 + (i % 613 == 0 ? 400 : 0));
    return r;
}

long ResidentKiB() {
    std::ifstream Status("/proc/self/status");
    std::string Line;
    while (std::getline(Status, Line)) {
        if (Line.rfind("VmRSS:", 0) == 0) {
            return std::atol(Line.c_str() + 6);
        }
    }
    return -1;
}

double HeapMiB() {
    malloc_trim(0);
    return mallinfo2().uordblks / (1024.0 * 1024.0);
}

// Wall and steady milliseconds that move only with the benchmark's pings.
struct TPingClock : TClock {
    int64_t Wall = QDateTime::currentMSecsSinceEpoch();
    int64_t Steady = 0;
    int64_t WallNs() const override { return Wall * NsPerMs; }
    int64_t SteadyNs() const override { return Steady * NsPerMs; }
};

struct TClockedPage {
    TPingClock Clock;
    TGraphPage Page;

    TClockedPage() {
        Page.SetClock(&Clock);
        Page.resize(780, 520);
    }

    void Add(int i) {
        Page.AddReply(Reply(i), QDateTime::fromMSecsSinceEpoch(Clock.Wall));
        Clock.Wall += 2000;
        Clock.Steady += 2000;
    }
};

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void AddCost(int Adds) {
    std::printf("range | pings before | adds | median ms | max ms | CPU median ms | CPU max ms\n");
    const std::pair<TGraphPage::TRange, const char*> Ranges[] = {
        {TGraphPage::Last10Minutes, "10 minuti"},
        {TGraphPage::LastHour, "1 ora"},
        {TGraphPage::Last24Hours, "24 ore"},
        {TGraphPage::Everything, "Tutto"}};
    for (const auto& [Range, Name] : Ranges) {
        TClockedPage p;
        // Filled while hidden, as a day of monitoring in the tray would.
        for (int i = 0; i < 43200; ++i) {
            p.Add(i);
        }
        p.Page.SetRange(Range);
        p.Page.show();
        QCoreApplication::processEvents();
        std::vector<double> Ms;
        std::vector<double> Cpu;
        for (int i = 0; i < Adds; ++i) {
            const double CpuStart = ThreadCpuMs();
            const auto Start = TStopwatch::now();
            p.Add(43200 + i);
            // The chart's posted layout and scene changes, then a synchronous
            // paint of the plot, as the screen would get it.
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
            p.Page.View()->viewport()->repaint();
            Ms.push_back(
                std::chrono::duration<double, std::milli>(TStopwatch::now() - Start).count());
            Cpu.push_back(ThreadCpuMs() - CpuStart);
        }
        std::printf("%s | 43200 | %d | %.3f | %.3f | %.3f | %.3f\n", Name, Adds, Median(Ms),
                    *std::max_element(Ms.begin(), Ms.end()), Median(Cpu),
                    *std::max_element(Cpu.begin(), Cpu.end()));
    }
}

void Memory() {
    TClockedPage p;
    p.Page.SetRange(TGraphPage::Everything);
    p.Page.show();
    QCoreApplication::processEvents();
    const double HeapEmpty = HeapMiB();
    const long RssEmpty = ResidentKiB();
    p.Page.hide();
    for (int i = 0; i < 100000; ++i) {
        p.Add(i);
    }
    p.Page.show();
    QCoreApplication::processEvents();
    p.Page.View()->viewport()->repaint();
    const double HeapFull = HeapMiB();
    const long RssFull = ResidentKiB();
    std::printf("memory | history | heap MiB | resident KiB\n");
    std::printf("empty | %zu | %.2f | %ld\n", size_t(0), HeapEmpty, RssEmpty);
    std::printf("full | %zu | %.2f | %ld\n", p.Page.History().Size(), HeapFull, RssFull);
    std::printf("full - empty | | %.2f | %ld (%.2f MiB)\n", HeapFull - HeapEmpty,
                RssFull - RssEmpty, (RssFull - RssEmpty) / 1024.0);
}

} // namespace

int main(int argc, char** argv) {
    int Adds = 200;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--adds") == 0) {
            Adds = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication App(argc, argv);
    Memory();
    AddCost(Adds);
    return 0;
}
