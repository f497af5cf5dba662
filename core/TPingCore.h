// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "THistoryRecorder.h"
#include "TOutage.h"
#include "TOutageTracker.h"
#include "TSlowTracker.h"
#include "TPingCounters.h"
#include "TReplyStatus.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>

class TAgente;
class TClock;
class TNetIcmpClient;

// What every counted reply becomes, window or not: the statistics' counts, the
// log line, the consecutive-loss alarm, the history's record and the outage it
// begins, prolongs or ends. The window adds its pane, captions and tray on top.
class TPingCore : public QObject {
    Q_OBJECT

public:
    TPingCore(TAgente& Agente, const TClock& Clock, QObject* Parent = nullptr);

    // Where pings, periods and outages are kept; nullptr keeps nothing. What was
    // held for it is written into it first.
    void SetHistory(THistoryStore* Store);
    // The store is still being opened: hold what comes until SetHistory.
    void HoldHistory(std::function<void()> OnHeld = {}) { FHistory.Hold(std::move(OnHeld)); }
    THistoryStore* History() const { return FHistory.Store(); }

    struct TCounted {
        QString Line; // the reply's line as logged after "Ping result: "
        bool Lost = false;
        bool Alarm = false; // AlarmAfter losses in a row were passed
        int64_t WhenMs = 0; // wall clock of handling: the stamp of its record
    };
    // Counts AReply into Counters, logs it and keeps it. AHost as typed,
    // AAddress as resolved.
    TCounted Count(TPingCounters& Counters, const std::string& AHost, const std::string& AAddress,
                   const TReplyStatus& AReply, int AlarmAfter);
    // A run, a rest or a burst begins now; nobody watched in between.
    void Begin(THistoryPeriodKind Kind);
    // Watching stops (a burst's or a run's end, the program's): an outage ends unknown.
    void End();
    void Unmonitored();

    // The ping could not be made (the host did not resolve, the socket failed).
    void Failed() { emit PingFailed(); }
    // One ping of a run to AHost as given, with the run's reply wait; AfterPing runs
    // once it was made. A ping that cannot be made (or an AfterPing that throws)
    // leaves the schedule's warning in the log, naming AWindowName, and Failed.
    void PingOfRun(TNetIcmpClient& AIcmp, const std::string& AHost, const std::string& AWindowName,
                   const std::function<void()>& AfterPing = {});

    const std::optional<TOutage>& Outage() const { return FOutages.Current(); }
    const std::optional<TOutage>& Slow() const { return FSlow.Current(); }
    // The latency limit slow periods are told by ("Limite ms media", or a target's).
    void SetSlowLimitMs(int LimitMs) { FSlow.SetLimitUs(int64_t{LimitMs} * 1000); }
    const TClock& Clock() const { return FClock; }
    TAgente& Agente() const { return FAgente; }

signals:
    // After each counted reply, with the counts it left and whom it came for.
    void ReplyCounted(const TReplyStatus& Reply, const TPingCounters& Counters,
                      const std::string& Host, const std::string& Address);
    void PingFailed();
    // A run or a burst began (true), or a rest or the end (false).
    void MonitoringChanged(bool Active);
    void OutageBegan(const TOutage& Outage);
    void OutageLasts(const TOutage& Outage);
    void OutageEnded(const TOutage& Outage);
    // A slow period (kind Slow) began, goes on or ended. Not told while an
    // outage is open: the outage is the alarm then.
    void SlowBegan(const TOutage& Period);
    void SlowLasts(const TOutage& Period);
    void SlowEnded(const TOutage& Period);

private:
    void Announce(TOutageTracker::TEvent Event);
    void AnnounceSlow(TSlowTracker::TEvent Event);

    TAgente& FAgente;
    const TClock& FClock;
    THistoryRecorder FHistory;
    TOutageTracker FOutages;
    int64_t FOutageWrittenMs = 0; // monotonic
    TSlowTracker FSlow;
    int64_t FSlowWrittenMs = 0; // monotonic
};
