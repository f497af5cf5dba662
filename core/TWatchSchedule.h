// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <chrono>
#include <optional>

class QTimer;
class TPingCore;

// The schedule of the Ping page's "Auto" and of headless watching: runs of a ping
// every interval for the run minutes, rests for the every minutes, or one run without
// end. It switches the owner's three timers with window-timer semantics (see
// TTimerSwitch) and tells the core of each period; the owner connects the timers'
// timeouts to RunEnds, RestEnds and its ping, so the window can run them as its
// event handlers.
class TWatchSchedule : public QObject {
    Q_OBJECT

public:
    struct TTimers {
        QTimer* Run;  // the run's minutes
        QTimer* Rest; // the rest's minutes
        QTimer* Tick; // the pings of a run
    };
    TWatchSchedule(TPingCore& Core, TTimers Timers, QObject* Parent = nullptr);

    // RunMinutes unset: one run until Stop.
    void Start(std::optional<int> RunMinutes, int EveryMinutes);
    void Stop();
    void RunEnds();
    void RestEnds();

    bool Active() const { return FActive; }
    bool Running() const { return FRunning; }

    // Length of the schedule's minute; tests shorten it to run a schedule in seconds.
    std::chrono::milliseconds MinuteLength() const { return FMinuteLength; }
    void SetMinuteLength(std::chrono::milliseconds Length) { FMinuteLength = Length; }

signals:
    // A run began (true), or a rest or the end (false).
    void RunningChanged(bool Running);

private:
    void SetRunning(bool Running);

    TPingCore& FCore;
    TTimers FTimers;
    std::chrono::milliseconds FMinuteLength{60 * 1000};
    bool FActive = false;
    bool FRunning = false;
};
