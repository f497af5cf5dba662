// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule without a window: pings during runs only, the periods in the history.
#include "THeadlessMonitor.h"
#include "TAgente.h"
#include "TFakeStack.h"
#include "THistoryStore.h"
#include "TNetIcmpClient.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

TEST(HeadlessMonitor, PingsInRunsOnlyAndKeepsThePeriods) {
    int Argc = 1;
    char Name[] = "watch_test";
    char* Argv[] = {Name, nullptr};
    QCoreApplication Application(Argc, Argv);
    QTemporaryDir Dir;
    const std::string Folder = Dir.path().toStdString() + "/";
    TFakeNet Net;
    TAgente Agente;
    Agente.SetApplicationName("Zirko");
    Agente.SetPath_Agente(Folder);
    Agente.SetFileName("ZIRKO");
    Agente.SetActiveLog(true);
    Agente.StartUp();
    THistoryStore History;
    ASSERT_TRUE(History.Open(Folder));
    TNetIcmpClient Icmp(Net.Net);
    TZirkoOptions Options;
    Options.Host = "unknown.invalid"; // every tick fails its lookup and warns: no waits
    THeadlessMonitor Monitor(Icmp, Agente, TClock::System(), Options);
    Monitor.Core().SetHistory(&History);
    Monitor.SetMinuteLength(std::chrono::milliseconds(400));
    Monitor.SetPingInterval(std::chrono::milliseconds(50));
    // Each change with the lookups (one per tick) made until then.
    std::vector<std::pair<bool, int>> Changes;
    QObject::connect(&Monitor, &THeadlessMonitor::RunningChanged,
                     [&](bool Running) { Changes.emplace_back(Running, Net.Script.Lookups); });
    const int64_t From = TClock::System().WallMs();
    Monitor.Start();
    for (int Wait = 0; Wait < 100 && Changes.size() < 3; ++Wait) {
        QTest::qWait(50); // a run, a rest, a new run
    }
    QTest::qWait(200);
    Monitor.Stop();
    Agente.ShutDown();

    ASSERT_EQ(Changes.size(), 4u);
    const bool Kinds[] = {true, false, true, false};
    for (size_t I = 0; I < Changes.size(); ++I) {
        EXPECT_EQ(Changes[I].first, Kinds[I]) << I;
    }
    EXPECT_GE(Changes[1].second, 3) << "ticks in the first run";
    EXPECT_EQ(Changes[2].second, Changes[1].second) << "no tick in the rest";
    EXPECT_GT(Changes[3].second, Changes[2].second) << "ticks again in the second run";
    std::ifstream Log(Folder + "ZIRKO.LOG");
    std::stringstream Text;
    Text << Log.rdbuf();
    size_t Warnings = 0;
    for (size_t At = 0;
         (At = Text.str().find("F_Main\\Timer: errore durante ping su unknown.invalid", At)) !=
         std::string::npos;
         ++At) {
        ++Warnings;
    }
    EXPECT_EQ(Warnings, size_t(Changes[3].second)) << "a warning per failed tick, as the window";
    const auto Periods = History.Periods(From - 1, TClock::System().WallMs() + 1);
    ASSERT_EQ(Periods.size(), 3u);
    EXPECT_EQ(Periods[0].Kind, THistoryPeriodKind::Run);
    EXPECT_EQ(Periods[1].Kind, THistoryPeriodKind::Rest);
    EXPECT_EQ(Periods[2].Kind, THistoryPeriodKind::Run);
    EXPECT_TRUE(Periods[2].EndMs.has_value());
}

} // namespace
