// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TOutage.h"
#include "TPingCore.h"
#include "TPingCounters.h"
#include "TPingPage.h"
#include "TReplyStatus.h"
#include "TWatchRules.h"
#include "TWatchSchedule.h"

#include <QDateTime>
#include <QObject>

#include <chrono>

class TNetIcmpClient;

// The Ping page's presenter: the five-ping burst, the reply log and the
// statistics, "Clear log", and "Auto" on the core's schedule. Counting, the log,
// the history and the alarms are the core's; this shows them on the page. It
// connects the page's buttons, timers and echo client to its handlers itself and
// holds the page's counters.
class TPingMonitor : public QObject {
    Q_OBJECT

public:
    explicit TPingMonitor(const TPingPage& Page, QObject* parent = nullptr);
    ~TPingMonitor() override;
    TPingMonitor(const TPingMonitor&) = delete;
    TPingMonitor& operator=(const TPingMonitor&) = delete;

    // Ranges, steps and starting values of the page's spinners, the hidden
    // warning, the timers' intervals and the echo client's wait. The window and
    // the tests both set the page up through this.
    static void SetUpPage(const TPingPage& Page);

    void btn_pingClick();
    void ICMPReply(TNetIcmpClient& ASender, const TReplyStatus& AReplyStatus);
    void btn_autoClick();
    void btn_clear_logClick();
    void T_MinutiTimer();
    void T_OgniTimer();
    void TimerTimer();

    // Nobody watches any more (the window closes): an outage ends unknown.
    void StopWatching();

    const TPingPage& Page() const { return FPage; }
    TPingCore& Core() { return FCore; }
    const TPingCounters& Counters() const { return FCounters; }
    // The "Limite ms media" setting now; LimitChanged tells of each change.
    int LimitMs() const;

    // Length of the schedule's minute; tests shorten it to run a schedule in seconds.
    std::chrono::milliseconds MinuteLength() const { return FSchedule.MinuteLength(); }
    void SetMinuteLength(std::chrono::milliseconds Length) { FSchedule.SetMinuteLength(Length); }
    // Pause after each ping of a burst.
    std::chrono::milliseconds BurstPause() const { return FBurstPause; }
    void SetBurstPause(std::chrono::milliseconds Pause) { FBurstPause = Pause; }

    static constexpr int PaneLineBound = 10000;
    static constexpr int BurstPings = 5;
    static constexpr int32_t ReceiveTimeoutMs = TWatchRules::ReceiveTimeoutMs;

signals:
    // Once per handled reply, after the page and the log show it; When is the
    // wall-clock time of handling, read from the page's clock.
    void ReplyHandled(const TReplyStatus& Reply, const QDateTime& When);
    // "Clear log" restarted the statistics.
    void StatisticsCleared();
    // The "Limite ms media" setting, whenever it changes.
    void LimitChanged(int LimitMs);
    // The consecutive-loss alarm began an outage; each further lost ping of it;
    // the first answer or the end of watching ended it. After the history has it.
    void OutageBegan(const TOutage& Outage);
    void OutageLasts(const TOutage& Outage);
    void OutageEnded(const TOutage& Outage);
    // A slow period by "Limite ms media" began, goes on or ended (see TPingCore).
    void SlowBegan(const TOutage& Period);
    void SlowLasts(const TOutage& Period);
    void SlowEnded(const TOutage& Period);

private:
    // Puts the default host in place of a blank one and sets the wait; shared by
    // the burst and the timer.
    void PrepareTarget();
    // Hands the host over as typed, inside the caller's protected region.
    void SetTargetHost();
    void AppendToPane(const QString& Line);
    void ShowAverageAndLimit();
    void ShowLossAndAlarm(const TPingCore::TCounted& Counted);
    void ShowCounters();
    void SetTrayImage(int Index);
    void RaiseAlarm();
    void Connect();

    TPingPage FPage;
    TPingCounters FCounters;
    TPingCore FCore;
    TWatchSchedule FSchedule;
    std::chrono::milliseconds FBurstPause{500};
    bool FInTimerTimer = false;
};
