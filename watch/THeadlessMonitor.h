// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPingCore.h"
#include "TPingCounters.h"
#include "TWatchSchedule.h"
#include "TZirkoOptions.h"

#include <QObject>

#include <chrono>
#include <string>

class QTimer;
class TNetIcmpClient;

// The Ping page's automatic monitoring without a window: the core's schedule on
// timers of its own, its pings through the echo client and the replies counted by
// the core, as the window does. A blank host is the rules' default, as in the window.
class THeadlessMonitor : public QObject {
    Q_OBJECT

public:
    THeadlessMonitor(TNetIcmpClient& Icmp, TAgente& Agente, const TClock& Clock,
                     const TZirkoOptions& Options, QObject* Parent = nullptr);
    ~THeadlessMonitor() override;
    THeadlessMonitor(const THeadlessMonitor&) = delete;
    THeadlessMonitor& operator=(const THeadlessMonitor&) = delete;

    void Start();
    // Watching ends: the period and an open outage end now.
    void Stop();

    TPingCore& Core() { return FCore; }
    const TPingCounters& Counters() const { return FCounters; }
    bool Running() const { return FSchedule.Running(); }
    const std::string& Host() const { return FHost; }

    // Length of the schedule's minute and the pace of its pings; tests shorten them.
    void SetMinuteLength(std::chrono::milliseconds Length) { FSchedule.SetMinuteLength(Length); }
    void SetPingInterval(std::chrono::milliseconds Interval);

signals:
    // After each counted reply.
    void ReplyCounted(const TReplyStatus& Reply, const TPingCore::TCounted& Counted);
    // A run began (true) or a rest or the end (false).
    void RunningChanged(bool Running);

private:
    void Tick();

    TNetIcmpClient& FIcmp;
    TPingCore FCore;
    TZirkoOptions FOptions;
    std::string FHost;
    TPingCounters FCounters;
    QTimer* FRun;
    QTimer* FRest;
    QTimer* FTick;
    TWatchSchedule FSchedule;
    bool FInTick = false;
};
