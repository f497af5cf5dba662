// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmark of the "Grafico" page, offscreen:
//  - with the page shown and 43,200 pings in the history (a day at one ping
//    every two seconds), the time to hand it one more reply and repaint the
//    plot, for each range;
//  - heap and resident memory of a full history (100,000 pings) over an
//    empty one, with the page shown on "Tutto";
//  - with --thirty-days instead: a history of 31 days of pings every 2 s
//    (1,339,200, made by the benchmarks' one generator), the page reading it on
//    "10 minuti", and the time from a click on "30 giorni" in the range's list
//    to the plot drawn, on fresh stores.
//
//   graph_bench [--adds N] | --thirty-days [--runs N]

#include "BenchStats.h"
#include "TClock.h"
#include "TGraphPage.h"
#include "THistoryGenerator.h"
#include "THistoryStore.h"
#include "TLatencyView.h"
#include "TReplyStatus.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMouseEvent>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <string>
#include <time.h>
#include <unistd.h>
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

// Counts the plot's paints, so a run knows when the click's work has been drawn.
class TPaintWatch : public QObject {
public:
    explicit TPaintWatch(QWidget* Target) { Target->installEventFilter(this); }
    int Paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* Event) override {
        Paints += Event->type() == QEvent::Paint;
        return false;
    }
};

struct TDrawn {
    double FirstMs; // the first paint of the plot after the click
    double LastMs;  // the last one before the plot stayed still
};

// Events until the plot has been painted and then stayed unpainted for 200 ms:
// a change of the axes can render the chart once more after the first paint.
// Times are taken as the event processing that painted returns.
std::optional<TDrawn> UntilDrawn(const TPaintWatch& Watch, const QElapsedTimer& Since) {
    int Seen = Watch.Paints;
    std::optional<double> First;
    double Last = 0;
    QElapsedTimer Quiet;
    Quiet.start();
    while (Since.elapsed() < 20'000) {
        QCoreApplication::processEvents();
        if (Watch.Paints != Seen) {
            Seen = Watch.Paints;
            Last = Since.nsecsElapsed() / 1e6;
            First = First.value_or(Last);
            Quiet.restart();
        } else if (First && Quiet.elapsed() > 200) {
            return TDrawn{*First, Last};
        }
    }
    return std::nullopt;
}

void Send(QWidget* Target, QEvent::Type Type, QPoint At, Qt::MouseButtons Buttons) {
    QMouseEvent Event(Type, At, Target->mapToGlobal(At), Qt::LeftButton, Buttons, Qt::NoModifier);
    QApplication::sendEvent(Target, &Event);
}

// A fresh store on the file, the page on it showing "10 minuti"; then the
// range's list is opened and "30 giorni" clicked, as a user does.
std::optional<TDrawn> ClickOnce(const std::string& Folder, int64_t EndMs) {
    THistoryStore Store;
    if (!Store.Open(Folder)) {
        return std::nullopt;
    }
    TClockedPage p;
    p.Clock.Wall = EndMs;
    p.Page.SetHistory(&Store);
    p.Page.show();
    TPaintWatch Watch(p.Page.View()->viewport());
    QElapsedTimer Since;
    Since.start();
    auto* Combo = p.Page.findChild<QComboBox*>(QStringLiteral("cb_intervallo"));
    if (!UntilDrawn(Watch, Since) || Combo == nullptr) {
        return std::nullopt;
    }
    Combo->showPopup();
    // The list ignores a release this soon after it opened: it would be the opening click's.
    QElapsedTimer Opened;
    Opened.start();
    while (Opened.elapsed() < QApplication::doubleClickInterval() + 100) {
        QCoreApplication::processEvents();
    }
    QAbstractItemView* List = Combo->view();
    const QPoint At = List->visualRect(List->model()->index(TGraphPage::Last30Days, 0)).center();
    Since.restart();
    Send(List->viewport(), QEvent::MouseButtonPress, At, Qt::LeftButton);
    Send(List->viewport(), QEvent::MouseButtonRelease, At, Qt::NoButton);
    const std::optional<TDrawn> Drawn = UntilDrawn(Watch, Since);
    const TLatencyView* View = p.Page.View();
    if (p.Page.Range() != TGraphPage::Last30Days ||
        View->ToMs() - View->FromMs() < 30 * 86'400'000LL || View->Points().Bands.empty()) {
        std::fprintf(stderr, "the click did not show 30 days of bands\n");
        return std::nullopt;
    }
    return Drawn;
}

// 31 days of the automatic monitoring in a folder of its own, then Runs clicks.
bool ClickToPlot(int Runs) {
    const char* Tmp = std::getenv("TMPDIR");
    std::string Folder = std::string(Tmp && *Tmp ? Tmp : "/tmp") + "/zirko-graph-bench-XXXXXX";
    if (::mkdtemp(Folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return false;
    }
    const int64_t EndMs = THistoryShape::FixedStartMs + 31 * THistoryStore::MsPerDay;
    const auto Started = TStopwatch::now();
    THistoryStore Writer;
    THistoryGenerator Generator(Writer, THistoryShape{});
    bool Ok = Writer.Open(Folder) && Generator.Run(EndMs) && Generator.Finish();
    Writer.Close();
    std::printf("generated %lld pings over 31 days in %.1f s\n\n",
                static_cast<long long>(Generator.Written()),
                std::chrono::duration<double>(TStopwatch::now() - Started).count());
    std::vector<double> First, Last;
    for (int Run = 0; Ok && Run < Runs; ++Run) {
        const std::optional<TDrawn> Drawn = ClickOnce(Folder, EndMs);
        Ok = Drawn.has_value();
        if (Ok) {
            std::printf("run %d: first paint %.1f ms, drawn %.1f ms\n", Run + 1, Drawn->FirstMs,
                        Drawn->LastMs);
            First.push_back(Drawn->FirstMs);
            Last.push_back(Drawn->LastMs);
        }
    }
    std::error_code Error;
    std::filesystem::remove_all(Folder, Error);
    if (!Ok) {
        std::fprintf(stderr, "a run failed\n");
        return false;
    }
    std::printf("\n| measure | median | max |\n|---|---|---|\n");
    std::printf(
        "| click on \"30 giorni\" to the plot drawn, %d fresh stores (ms) | %.1f | %.1f |\n", Runs,
        zirko::bench::Median(Last), zirko::bench::Max(Last));
    std::printf("| of which to the first paint (ms) | %.1f | %.1f |\n", zirko::bench::Median(First),
                zirko::bench::Max(First));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int Adds = 200;
    int Runs = 5;
    bool ThirtyDays = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--thirty-days") == 0) {
            ThirtyDays = true;
        } else if (i + 1 < argc && std::strcmp(argv[i], "--adds") == 0) {
            Adds = std::max(1, std::atoi(argv[i + 1]));
        } else if (i + 1 < argc && std::strcmp(argv[i], "--runs") == 0) {
            Runs = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication App(argc, argv);
    if (ThirtyDays) {
        return ClickToPlot(Runs) ? 0 : 1;
    }
    Memory();
    AddCost(Adds);
    return 0;
}
