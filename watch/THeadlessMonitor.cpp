// SPDX-License-Identifier: GPL-3.0-or-later
#include "THeadlessMonitor.h"

#include "TAgente.h"
#include "TNetIcmpClient.h"

#include <QTimer>

namespace {

// The window's reply wait, for the same lost pings.
constexpr int32_t ReceiveTimeoutMs = 1000;

bool IsBlankHost(const std::string& Host) {
    for (const char C : Host) {
        if (static_cast<unsigned char>(C) > ' ' && C != 0x7F) {
            return false;
        }
    }
    return true;
}

} // namespace

THeadlessMonitor::THeadlessMonitor(TNetIcmpClient& Icmp, TAgente& Agente, const TClock& Clock,
                                   const TZirkoOptions& Options, QObject* Parent)
    : QObject(Parent), FIcmp(Icmp), FCore(Agente, Clock), FOptions(Options),
      FHost(Options.Host.value_or("")), FRun(new QTimer(this)), FRest(new QTimer(this)),
      FTick(new QTimer(this)) {
    if (IsBlankHost(FHost)) {
        FHost = "127.0.0.1";
    }
    FRun->setSingleShot(true);
    FRest->setSingleShot(true);
    FTick->setInterval(PingIntervalMs);
    connect(FRun, &QTimer::timeout, this, &THeadlessMonitor::RunEnds);
    connect(FRest, &QTimer::timeout, this, &THeadlessMonitor::RestEnds);
    connect(FTick, &QTimer::timeout, this, &THeadlessMonitor::Tick);
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

void THeadlessMonitor::SetRunning(bool Running) {
    if (Running != FRunning) {
        FRunning = Running;
        emit RunningChanged(Running);
    }
}

void THeadlessMonitor::Start() {
    FCounters.auto_attivo = true;
    FRun->start(int(FOptions.RunMinutesOr() * FMinuteLength.count()));
    FTick->start();
    FCore.Begin(THistoryPeriodKind::Run);
    SetRunning(true);
}

void THeadlessMonitor::Stop() {
    FRun->stop();
    FRest->stop();
    FTick->stop();
    if (FCounters.auto_attivo) {
        FCounters.auto_attivo = false;
        FCore.End();
    }
    SetRunning(false);
}

void THeadlessMonitor::RunEnds() {
    FTick->stop();
    FRest->start(int(FOptions.EveryMinutesOr() * FMinuteLength.count()));
    FCore.Begin(THistoryPeriodKind::Rest);
    SetRunning(false);
}

void THeadlessMonitor::RestEnds() {
    FTick->start();
    FRun->start(int(FOptions.RunMinutesOr() * FMinuteLength.count()));
    FCore.Begin(THistoryPeriodKind::Run);
    SetRunning(true);
}

void THeadlessMonitor::Tick() {
    // A blocking ping that outlasts the interval must not nest a second one.
    if (FInTick) {
        return;
    }
    FInTick = true;
    FIcmp.SetReceiveTimeout(ReceiveTimeoutMs);
    try {
        FIcmp.SetHost(FHost);
        FIcmp.Ping();
    } catch (...) {
        FCore.Agente().AddWarning("F_Main\\Timer: errore durante ping su " + FHost);
        FCore.Failed();
    }
    FInTick = false;
}
