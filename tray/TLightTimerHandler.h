// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class TLightTimer;

// The host that a group of TLightTimer objects share: one object for all
// their platform timers. Whoever makes it owns it, and it must outlive every
// timer built on it, since the timers' platform objects are its children.
class TLightTimerHandler {
public:
    TLightTimerHandler() = default;
    ~TLightTimerHandler() = default;
    TLightTimerHandler(const TLightTimerHandler&) = delete;
    TLightTimerHandler& operator=(const TLightTimerHandler&) = delete;

    // Parent of the timers' platform objects.
    QObject& TimerHost() { return FHost; }
    // How many timers are built on this handler now.
    int RefCount() const { return FRefCount; }

private:
    friend class TLightTimer;

    void Acquire() { ++FRefCount; }
    void Release();

    QObject FHost;
    int FRefCount = 0;
};
