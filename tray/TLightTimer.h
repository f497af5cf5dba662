// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class QTimer;
class TLightTimerHandler;

// A periodic timer that needs no window of its own; its platform timer lives on
// Handler's host. An Interval of 0 halts the ticks without clearing Active, so
// a later non-zero Interval resumes them.
class TLightTimer {
public:
    using TNotifyEvent = std::function<void(TLightTimer& Sender)>;

    explicit TLightTimer(TLightTimerHandler& Handler, uint32_t Interval = 1000);
    ~TLightTimer();
    TLightTimer(const TLightTimer&) = delete;
    TLightTimer& operator=(const TLightTimer&) = delete;

    uint32_t Interval() const { return FInterval; }
    void SetInterval(uint32_t Value);
    bool Active() const { return FActive; }
    void SetActive(bool Value);

    void Start();
    void Stop();

    TNotifyEvent OnTimer;

private:
    void Tick();
    void StartCountdown();

    TLightTimerHandler& FHandler;
    uint32_t FInterval;
    bool FActive = false;
    std::unique_ptr<QTimer> FTimer;
};
