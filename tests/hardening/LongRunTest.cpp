// SPDX-License-Identifier: GPL-3.0-or-later
// A day of automatic monitoring on the real timers and handlers, compressed: a tick
// every millisecond instead of every two seconds, and minutes shortened by the same
// factor, pinging loopback inside a namespace of its own. Memory stays flat past the
// pane bound, every ping has its line in the log, and the shut-down counters agree.
#include "TPingPageFixture.h"

#include "RequireRoot.h"
#include "TNetNamespace.h"
#include "TNetNamespaceScope.h"
#include "TextCount.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <malloc.h>
#include <unistd.h>
#include <vector>

namespace {

using zirko::test::Count;

using namespace std::chrono_literals;
using zirko::test::TNetNamespace;
using zirko::test::TNetNamespaceScope;

// One ping per 2 s for 24 hours.
constexpr int32_t DayOfPings = 43200;
constexpr qint64 TimeBudgetMs = 240000;
// A leak of some 35 bytes per ping passes this over the run (four panes and more).
constexpr long HeapToleranceKb = 1024;
// The allocator may keep a further arena chunk or two resident once the heap is flat.
constexpr long ResidentToleranceKb = 2048;

#ifdef __SANITIZE_ADDRESS__
// From the sanitizer runtime: bytes the program holds, freed ones not counted.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
// The sanitizer's allocator keeps freed pages resident, so there the live heap is what
// can stay flat; the resident size is still reported.
constexpr bool CheckResident = false;
#else
constexpr bool CheckResident = true;
#endif

struct TMemory {
    long ResidentKb = 0;
    long HeapKb = 0;
};

TMemory Memory() {
    TMemory M;
    std::ifstream Statm("/proc/self/statm");
    long Size = 0;
    Statm >> Size >> M.ResidentKb;
    M.ResidentKb *= ::sysconf(_SC_PAGESIZE) / 1024;
#ifdef __SANITIZE_ADDRESS__
    M.HeapKb = static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    const struct mallinfo2 Info = ::mallinfo2();
    M.HeapKb = static_cast<long>((Info.uordblks + Info.hblkhd) / 1024);
#endif
    return M;
}

void Print(const char* What, const std::vector<TMemory>& Samples) {
    std::cout << What << " (resident / heap kB):";
    for (const TMemory& M : Samples)
        std::cout << ' ' << M.ResidentKb << '/' << M.HeapKb;
    std::cout << '\n';
}

// The live heap of every sample within the tolerance of the first of its kind; the
// resident size never above the first full pane's, its peak, past the tolerance.
void ExpectFlat(const char* What, const std::vector<TMemory>& Samples, long PeakResidentKb) {
    for (size_t i = 0; i < Samples.size(); ++i) {
        SCOPED_TRACE(std::string(What) + " " + std::to_string(i));
        EXPECT_LE(Samples[i].HeapKb, Samples[0].HeapKb + HeapToleranceKb);
        if (CheckResident) {
            EXPECT_LE(Samples[i].ResidentKb, PeakResidentKb + ResidentToleranceKb);
        }
    }
}

// The number after Key on every line that holds it.
std::vector<long> Numbers(const std::string& Text, const std::string& Key) {
    std::vector<long> Out;
    for (auto At = Text.find(Key); At != std::string::npos; At = Text.find(Key, At + 1))
        Out.push_back(std::strtol(Text.c_str() + At + Key.size(), nullptr, 10));
    return Out;
}

TEST(LongRun, CompressedDayOfAutomaticMonitoring) {
    ZIRKO_REQUIRE_ROOT();
    TNetNamespace Ns("lr");
    // Alone in the namespace: no other process's ICMP on loopback.
    TNetNamespaceScope Inside(Ns);
    TPingPageFixture F;
    F.Page.e_host->setText(QStringLiteral("127.0.0.1"));
    F.Page.Timer->setInterval(1);
    F.Monitor->SetMinuteLength(30ms);
    F.Page.ud_minuti->setValue(60);
    F.Page.ud_ogni->setValue(1);
    F.Page.ud_limite_media_ms->setValue(10000);

    // Start 10,000 numbers before the sequence wraps (a day and a half of real pings), so
    // the run crosses it; this first ping is not the monitor's and is not logged.
    F.Icmp.OnReply = nullptr;
    F.Icmp.SetHost("127.0.0.1");
    F.Icmp.Ping({}, 65536 - 10000);
    ASSERT_EQ(F.Icmp.ReplyStatus().Status, skEchoReply);

    std::vector<TMemory> FullPane;
    std::vector<TMemory> Emptied;
    std::vector<int> PaneAtBound; // lines in the pane at each full and emptied sample
    F.Icmp.OnReply = [&](TNetIcmpClient& Sender, const TReplyStatus& Status) {
        F.Monitor->ICMPReply(Sender, Status);
        if (F.Counters().n_righe_log == TPingMonitor::PaneLineBound) {
            FullPane.push_back(Memory());
            PaneAtBound.push_back(F.Page.re_ping->blockCount());
        } else if (F.Counters().n_righe_log == 0) {
            Emptied.push_back(Memory());
            PaneAtBound.push_back(F.PaneLines());
        }
    };
    int OffPhases = 0;
    QObject::connect(F.Page.T_Ogni, &QTimer::timeout, [&] { ++OffPhases; });

    const uint16_t FirstSequence = F.Icmp.SequenceCounter();
    const TMemory Start = Memory();
    QElapsedTimer Clock;
    Clock.start();
    F.Monitor->btn_autoClick();
    while (F.Counters().n_ping < DayOfPings && Clock.elapsed() < TimeBudgetMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    F.Monitor->btn_autoClick();
    const qint64 SpentMs = Clock.elapsed();
    const int32_t Pings = F.Counters().n_ping;

    std::cout << "pings " << Pings << " in " << SpentMs << " ms, off phases " << OffPhases << '\n';
    Print("start", {Start});
    Print("pane full", FullPane);
    Print("pane just emptied", Emptied);

    ASSERT_GE(Emptied.size(), 2u) << "the run must pass the pane bound twice";
    EXPECT_GT(OffPhases, 0) << "the schedule's pauses must come round";
    EXPECT_EQ(F.Counters().n_pacchetti_persi, 0);
    // The pane itself holds what the counter says: full, then empty, in turn.
    for (size_t i = 0; i < PaneAtBound.size(); ++i)
        EXPECT_EQ(PaneAtBound[i], i % 2 == 0 ? TPingMonitor::PaneLineBound : 0) << "sample " << i;
    ASSERT_FALSE(FullPane.empty());
    ExpectFlat("pane full", FullPane, FullPane[0].ResidentKb);
    ExpectFlat("pane just emptied", Emptied, FullPane[0].ResidentKb);

    const std::string LogPath = F.Agente.LogFileName();
    F.Agente.ShutDown();
    std::ifstream In(LogPath, std::ios::binary);
    const std::string Log{std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
    ASSERT_EQ(Count(Log, "Ping result: "), static_cast<size_t>(Pings));
    // Consecutive numbers from the first ping on: no ping went without its line.
    const std::vector<long> Seq = Numbers(Log, "icmp_seq=");
    ASSERT_EQ(Seq.size(), static_cast<size_t>(Pings));
    for (size_t i = 0; i < Seq.size(); ++i)
        ASSERT_EQ(Seq[i], (FirstSequence + static_cast<long>(i)) % 65536) << "line " << i;
    EXPECT_GT(FirstSequence + static_cast<long>(Seq.size()), 65536) << "the sequence wrapped";
    EXPECT_EQ(Numbers(Log, "Num. of messages: "), std::vector<long>{Pings});
    EXPECT_EQ(Numbers(Log, "Num. of warnings: "),
              std::vector<long>{static_cast<long>(Count(Log, "Warning Agente !"))});
}

} // namespace
