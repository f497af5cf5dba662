// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TLightTimerHandler.h"
#include "TTrayMessages.h"

#include <QPoint>
#include <QSystemTrayIcon>

#include <functional>
#include <utility>
#include <vector>

class TTrayIcon;

// What the notification table reads from the desktop at the moment a message
// is handled. Tests replace these to drive the table without a tray.
struct TTrayPlatform {
    std::function<QPoint()> CursorPos;
    std::function<Qt::KeyboardModifiers()> KeyboardModifiers;
    std::function<int()> DoubleClickTime;
    // Whether a tray is there now to show the icon and bring a window back.
    std::function<bool()> TrayAvailable;

    static TTrayPlatform Desktop();
};

// The receiver of tray notifications that a group of TTrayIcon objects share,
// with the light timers of those icons. Whoever makes it owns it, and it must
// outlive every icon built on it; each icon holds a reference while it lives.
// Each notification names its component, so no table of icons is kept.
class TTrayIconHandler {
public:
    explicit TTrayIconHandler(TTrayPlatform Platform = TTrayPlatform::Desktop());
    ~TTrayIconHandler() = default;
    TTrayIconHandler(const TTrayIconHandler&) = delete;
    TTrayIconHandler& operator=(const TTrayIconHandler&) = delete;

    // How many icons are built on this handler now.
    int RefCount() const { return FRefCount; }

    const TTrayPlatform& Platform() const { return FPlatform; }
    void SetPlatform(TTrayPlatform Value) { FPlatform = std::move(Value); }

    // The host every timer of this handler's icons shares.
    TLightTimerHandler& LightTimers() { return FLightTimers; }

    // The mouse-notification table: one message for component C.
    void TrayWindowProc(TTrayIcon& C, uint32_t Message);

    // Qt reports presses only (the left one as Trigger, the second press of a
    // double click as DoubleClick); each becomes the press and release pair of
    // the table so that a left click still reports OnClick before OnMouseUp.
    static std::vector<uint32_t> MessagesFor(QSystemTrayIcon::ActivationReason Reason);
    void Activated(TTrayIcon& C, QSystemTrayIcon::ActivationReason Reason);

private:
    friend class TTrayIcon;

    void Acquire() { ++FRefCount; }
    void Release();

    TShiftState KeyShift() const;
    void MouseMoveMessage(TTrayIcon& C, QPoint P);
    void LButtonDownMessage(TTrayIcon& C, QPoint P);
    void LButtonUpMessage(TTrayIcon& C, QPoint P);
    void LButtonDblClkMessage(TTrayIcon& C);
    void RButtonDownMessage(TTrayIcon& C, QPoint P);
    void ButtonMessage(TTrayIcon& C, bool Down, TMouseButton Button, QPoint P);

    TTrayPlatform FPlatform;
    TLightTimerHandler FLightTimers;
    int FRefCount = 0;
};
