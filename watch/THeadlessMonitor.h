// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPingCore.h"
#include "TPingCounters.h"
#include "TZirkoOptions.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <string>

class QTimer;
class TNetIcmpClient;

// The Ping page's automatic monitoring without a window: runs of a ping every
// two seconds for the run minutes, rests for the every minutes, the same log
// lines, statistics, history and outages. The host as given; a blank one is
// 127.0.0.1, as in the window.
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
    bool Running() const { return FRunning; }
    const std::string& Host() const { return FHost; }

    // Length of the schedule's minute and the pace of its pings; tests shorten them.
    void SetMinuteLength(std::chrono::milliseconds Length) { FMinuteLength = Length; }
    void SetPingInterval(std::chrono::milliseconds Interval);

    static constexpr int PingIntervalMs = 2000;

signals:
    // After each counted reply.
    void ReplyCounted(const TReplyStatus& Reply, const TPingCore::TCounted& Counted);
    // A run began (true) or a rest or the end (false).
    void RunningChanged(bool Running);

private:
    void RunEnds();
    void RestEnds();
    void Tick();
    void SetRunning(bool Running);

    TNetIcmpClient& FIcmp;
    TPingCore FCore;
    TZirkoOptions FOptions;
    std::string FHost;
    TPingCounters FCounters;
    QTimer* FRun;
    QTimer* FRest;
    QTimer* FTick;
    std::chrono::milliseconds FMinuteLength{60 * 1000};
    bool FRunning = false;
    bool FInTick = false;
};
