// SPDX-License-Identifier: GPL-3.0-or-later
#include "TLightTimer.h"

#include "TLightTimerHandler.h"

#include <QTimer>

#include <limits>

TLightTimer::TLightTimer(TLightTimerHandler& Handler, uint32_t Interval)
    : FHandler(Handler), FInterval(Interval),
      FTimer(std::make_unique<QTimer>(&Handler.TimerHost())) {
    FHandler.Acquire();
    QObject::connect(FTimer.get(), &QTimer::timeout, FTimer.get(), [this] { Tick(); });
}

TLightTimer::~TLightTimer() {
    FTimer.reset();
    FHandler.Release();
}

void TLightTimer::SetInterval(uint32_t Value) {
    if (Value == FInterval)
        return;
    FInterval = Value;
    if (!FActive)
        return;
    if (FInterval == 0)
        FTimer->stop();
    else
        StartCountdown();
}

void TLightTimer::SetActive(bool Value) {
    if (Value)
        Start();
    else
        Stop();
}

void TLightTimer::Start() {
    if (FInterval == 0)
        return;
    StartCountdown();
    FActive = FTimer->isActive();
}

void TLightTimer::Stop() {
    FTimer->stop();
    FActive = false;
}

void TLightTimer::StartCountdown() {
    // QTimer takes an int; a longer span is refused like an unusable platform timer.
    if (FInterval > static_cast<uint32_t>(std::numeric_limits<int>::max())) {
        FTimer->stop();
        return;
    }
    FTimer->start(static_cast<int>(FInterval));
}

void TLightTimer::Tick() {
    // A copy, since the handler may free this timer.
    if (auto Handler = OnTimer)
        Handler(*this);
}
