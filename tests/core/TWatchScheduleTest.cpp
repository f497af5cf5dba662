// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule both programs share: which of the owner's timers each step leaves
// running, and what the core is told.
#include "TWatchSchedule.h"

#include "TAgente.h"
#include "TPingCore.h"
#include "TSteppingClock.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

TEST(WatchSchedule, EachStepLeavesItsTimersAndTellsTheCore) {
    int Argc = 1;
    char Name[] = "core_test";
    char* Argv[] = {Name, nullptr};
    QCoreApplication Application(Argc, Argv);
    TSteppingClock Clock(CalendarTime(2026, 1, 2, 3, 4, 5));
    TAgente Agente;
    TPingCore Core(Agente, Clock);
    QTimer Run, Rest, Tick;
    TWatchSchedule Schedule(Core, {&Run, &Rest, &Tick});
    std::string Told;
    QObject::connect(&Core, &TPingCore::MonitoringChanged,
                     [&](bool Active) { Told += Active ? "+" : "-"; });
    struct TRow {
        const char* Step;
        std::function<void()> Do;
        bool Run, Rest, Tick, Running;
        int RunMs, RestMs;
        const char* Told;
    };
    const TRow Rows[] = {
        {"start 2/3", [&] { Schedule.Start(2, 3); }, true, false, true, true, 120'000, 180'000,
         "+"},
        {"run ends", [&] { Schedule.RunEnds(); }, false, true, false, false, 120'000, 180'000,
         "+-"},
        {"rest ends", [&] { Schedule.RestEnds(); }, true, false, true, true, 120'000, 180'000,
         "+-+"},
        {"stop", [&] { Schedule.Stop(); }, false, false, false, false, 120'000, 180'000, "+-+-"},
        {"stop again", [&] { Schedule.Stop(); }, false, false, false, false, 120'000, 180'000,
         "+-+-"},
        {"continuous", [&] { Schedule.Start(std::nullopt, 3); }, false, false, true, true, 120'000,
         180'000, "+-+-+"},
    };
    for (const TRow& R : Rows) {
        R.Do();
        EXPECT_EQ(std::make_tuple(Run.isActive(), Rest.isActive(), Tick.isActive()),
                  std::make_tuple(R.Run, R.Rest, R.Tick))
            << R.Step;
        EXPECT_EQ(Schedule.Running(), R.Running) << R.Step;
        EXPECT_EQ(std::make_pair(Run.interval(), Rest.interval()),
                  std::make_pair(R.RunMs, R.RestMs))
            << R.Step;
        EXPECT_EQ(Told, R.Told) << R.Step;
    }
}

} // namespace
