// SPDX-License-Identifier: GPL-3.0-or-later
#include "THeadlessMonitor.h"

#include "TAgente.h"
#include "TNetIcmpClient.h"
#include "TWatchRules.h"

#include <QTimer>

THeadlessMonitor::THeadlessMonitor(TNetIcmpClient& Icmp, TAgente& Agente, const TClock& Clock,
                                   const TZirkoOptions& Options, QObject* Parent)
    : QObject(Parent), FIcmp(Icmp), FCore(Agente, Clock), FOptions(Options),
      FHost(Options.Host.value_or("")), FRun(new QTimer(this)), FRest(new QTimer(this)),
      FTick(new QTimer(this)), FSchedule(FCore, {FRun, FRest, FTick}) {
    if (TWatchRules::IsBlankHost(FHost)) {
        FHost = TWatchRules::DefaultHost;
    }
    FCore.SetSlowLimitMs(Options.LimitMsOr());
    FTick->setInterval(TWatchRules::PingIntervalMs);
    connect(FRun, &QTimer::timeout, &FSchedule, &TWatchSchedule::RunEnds);
    connect(FRest, &QTimer::timeout, &FSchedule, &TWatchSchedule::RestEnds);
    connect(FTick, &QTimer::timeout, this, &THeadlessMonitor::Tick);
    connect(&FSchedule, &TWatchSchedule::RunningChanged, this, &THeadlessMonitor::RunningChanged);
    FIcmp.OnReply = [this](TNetIcmpClient&, const TReplyStatus& Reply) {
        const TPingCore::TCounted Counted =
            FCore.Count(FCounters, FIcmp.Host(), FIcmp.Address(), Reply, FOptions.AlarmAfterOr());
        emit ReplyCounted(Reply, Counted);
    };
}

THeadlessMonitor::~THeadlessMonitor() {
    FIcmp.OnReply = nullptr;
}

void THeadlessMonitor::SetPingInterval(std::chrono::milliseconds Interval) {
    FTick->setInterval(int(Interval.count()));
}

void THeadlessMonitor::Start() {
    FCounters.auto_attivo = true;
    FSchedule.Start(FOptions.RunMinutesOr(), FOptions.EveryMinutesOr());
}

void THeadlessMonitor::Stop() {
    FCounters.auto_attivo = false;
    FSchedule.Stop();
}

void THeadlessMonitor::Tick() {
    // A blocking ping that outlasts the interval must not nest a second one.
    if (FInTick) {
        return;
    }
    FInTick = true;
    FCore.PingOfRun(FIcmp, FHost, "F_Main");
    FInTick = false;
}
