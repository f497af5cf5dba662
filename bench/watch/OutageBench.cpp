// SPDX-License-Identifier: GPL-3.0-or-later
// The cost of handling one counted reply with and without an outage running: the
// core's counting, log line and history, plus what hangs on an outage (the shown
// Grafico page's list over 500 stored outages, the desktop notifier on a bus that
// is not there). Lost replies in both rounds, so only the outage differs. The
// list's row is redrawn after the handling, with the plot: that part is timed on
// its own, as the event loop's next turn after each reply.
#include "BenchStats.h"
#include "TAgente.h"
#include "TDesktopNotifier.h"
#include "TGraphPage.h"
#include "THistoryStore.h"
#include "TPingCore.h"

#include <QApplication>
#include <QDBusConnection>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int Replies = 2000;
constexpr int StoredOutages = 500;

struct TRound {
    std::vector<double> HandlingUs, AfterUs;
};

// Microseconds of Count, and of the event loop's turn after it, for Replies lost replies.
TRound Round(TPingCore& Core, int AlarmAfter) {
    TPingCounters Counters;
    const TReplyStatus Lost{0, "0.0.0.0", 0, 1, 1000, 0, skTimedOut};
    TRound Out;
    const auto Us = [](auto From) {
        return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - From)
            .count();
    };
    for (int I = 0; I < Replies; ++I) {
        const auto T0 = std::chrono::steady_clock::now();
        Core.Count(Counters, "bench.invalid", "192.0.2.10", Lost, AlarmAfter);
        Out.HandlingUs.push_back(Us(T0));
        const auto T1 = std::chrono::steady_clock::now();
        QCoreApplication::processEvents();
        Out.AfterUs.push_back(Us(T1));
    }
    Core.Unmonitored();
    return Out;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication App(argc, argv);
    QTemporaryDir Dir;
    const std::string Folder = Dir.path().toStdString() + "/";
    TAgente Agente;
    Agente.SetApplicationName("Zirko");
    Agente.SetPath_Agente(Folder);
    Agente.SetFileName("ZIRKO");
    Agente.SetActiveLog(true);
    Agente.StartUp();
    THistoryStore History;
    if (!History.Open(Folder)) {
        std::fprintf(stderr, "history not available\n");
        return 1;
    }
    const int64_t Now = TClock::System().WallMs();
    for (int I = 0; I < StoredOutages; ++I) {
        TOutage O;
        O.Host = "bench.invalid";
        O.StartToMs = Now - (I + 1) * 3'600'000LL;
        O.EndFromMs = O.StartToMs + 60'000;
        O.EndToMs = O.EndFromMs + 2000;
        O.End = TOutageEnd::Recovered;
        History.AddOutage(O);
    }
    TPingCore Core(Agente, TClock::System());
    Core.SetHistory(&History);
    TGraphPage Page;
    Page.resize(780, 500);
    Page.show();
    Page.SetHistory(&History);
    TDesktopNotifier Notifier(QDBusConnection::connectToBus(
                                  QStringLiteral("unix:path=/nonexistent"), QStringLiteral("none")),
                              TClock::System());
    QObject::connect(&Core, &TPingCore::OutageBegan, &Page, &TGraphPage::OutageChanged);
    QObject::connect(&Core, &TPingCore::OutageLasts, &Page, &TGraphPage::OutageLasts);
    QObject::connect(&Core, &TPingCore::OutageEnded, &Page, &TGraphPage::OutageChanged);
    QObject::connect(&Core, &TPingCore::OutageBegan, &Notifier, &TDesktopNotifier::OutageBegan);
    QObject::connect(&Core, &TPingCore::OutageLasts, &Notifier, &TDesktopNotifier::OutageLasts);
    QObject::connect(&Core, &TPingCore::OutageEnded, &Notifier, &TDesktopNotifier::OutageEnded);

    // The plot's redraw follows only outage changes here; the page is hidden for
    // the timing of the list alone, as a window in the tray would have it.
    Page.hide();
    const TRound Without = Round(Core, 1000000); // the alarm never comes
    const TRound With = Round(Core, 1);          // an outage from the second on
    Agente.ShutDown();
    using zirko::bench::Max;
    using zirko::bench::Median;
    std::printf("| lost replies, no outage | %d | %.1f | %.1f | %.1f |\n", Replies,
                Median(Without.HandlingUs), Max(Without.HandlingUs), Median(Without.AfterUs));
    std::printf("| lost replies, an outage running (%d stored) | %d | %.1f | %.1f | %.1f |\n",
                StoredOutages, Replies, Median(With.HandlingUs), Max(With.HandlingUs),
                Median(With.AfterUs));
    return 0;
}
