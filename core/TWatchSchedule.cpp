// SPDX-License-Identifier: GPL-3.0-or-later
#include "TWatchSchedule.h"

#include "TPingCore.h"
#include "TTimerSwitch.h"

#include <QTimer>

TWatchSchedule::TWatchSchedule(TPingCore& Core, TTimers Timers, QObject* Parent)
    : QObject(Parent), FCore(Core), FTimers(Timers) {}

void TWatchSchedule::SetRunning(bool Running) {
    if (Running != FRunning) {
        FRunning = Running;
        emit RunningChanged(Running);
    }
}

void TWatchSchedule::Start(std::optional<int> RunMinutes, int EveryMinutes) {
    const auto MinutesToMs = [this](int Minutes) {
        return static_cast<int>(Minutes * FMinuteLength.count());
    };
    FActive = true;
    if (RunMinutes) {
        TTimerSwitch::SetInterval(*FTimers.Run, MinutesToMs(*RunMinutes));
    }
    TTimerSwitch::SetInterval(*FTimers.Rest, MinutesToMs(EveryMinutes));
    TTimerSwitch::SetEnabled(*FTimers.Run, RunMinutes.has_value());
    TTimerSwitch::SetEnabled(*FTimers.Tick, true);
    TTimerSwitch::SetEnabled(*FTimers.Rest, false);
    FCore.Begin(THistoryPeriodKind::Run);
    SetRunning(true);
}

void TWatchSchedule::Stop() {
    if (FActive) {
        FActive = false;
        FCore.End();
    }
    TTimerSwitch::SetEnabled(*FTimers.Run, false);
    TTimerSwitch::SetEnabled(*FTimers.Rest, false);
    TTimerSwitch::SetEnabled(*FTimers.Tick, false);
    SetRunning(false);
}

void TWatchSchedule::RunEnds() {
    TTimerSwitch::SetEnabled(*FTimers.Tick, false);
    TTimerSwitch::SetEnabled(*FTimers.Run, false);
    TTimerSwitch::SetEnabled(*FTimers.Rest, true);
    FCore.Begin(THistoryPeriodKind::Rest);
    SetRunning(false);
}

void TWatchSchedule::RestEnds() {
    TTimerSwitch::SetEnabled(*FTimers.Rest, false);
    TTimerSwitch::SetEnabled(*FTimers.Tick, true);
    TTimerSwitch::SetEnabled(*FTimers.Run, true);
    FCore.Begin(THistoryPeriodKind::Run);
    SetRunning(true);
}
