// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <memory>

// The process-wide host of every TLightTimer: one object that all light timers
// share, created with the first timer and freed with the last one.
class TLightTimerHandler {
public:
    // Takes a reference, creating the handler when none exists.
    static TLightTimerHandler& Acquire();
    // Gives a reference back; the last one frees the handler.
    static void Release();
    static TLightTimerHandler* Instance() { return FInstance.get(); }
    static int RefCount() { return FRefCount; }

    // Parent of the timers' platform objects.
    QObject& TimerHost() { return FHost; }

    TLightTimerHandler(const TLightTimerHandler&) = delete;
    TLightTimerHandler& operator=(const TLightTimerHandler&) = delete;
    ~TLightTimerHandler() = default;

private:
    TLightTimerHandler() = default;

    QObject FHost;
    // A handler still alive at program end is freed with the statics.
    static inline std::unique_ptr<TLightTimerHandler> FInstance;
    static inline int FRefCount = 0;
};
