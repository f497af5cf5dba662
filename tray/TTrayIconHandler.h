// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TTrayMessages.h"

#include <QPoint>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>
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

// The process-wide receiver of tray notifications, shared by every TTrayIcon
// and reference counted by them. Each notification names its component, so no
// table of icons is kept.
class TTrayIconHandler {
public:
    static TTrayIconHandler& Acquire();
    static void Release();
    static TTrayIconHandler* Instance() { return FInstance.get(); }
    static int RefCount() { return FRefCount; }

    static TTrayPlatform& Platform() { return FPlatform; }
    static void SetPlatform(TTrayPlatform Value) { FPlatform = std::move(Value); }

    // The mouse-notification table: one message for component C.
    void TrayWindowProc(TTrayIcon& C, uint32_t Message);

    // Qt reports presses only (the left one as Trigger, the second press of a
    // double click as DoubleClick); each becomes the press and release pair of
    // the table so that a left click still reports OnClick before OnMouseUp.
    static std::vector<uint32_t> MessagesFor(QSystemTrayIcon::ActivationReason Reason);
    void Activated(TTrayIcon& C, QSystemTrayIcon::ActivationReason Reason);

    TTrayIconHandler(const TTrayIconHandler&) = delete;
    TTrayIconHandler& operator=(const TTrayIconHandler&) = delete;
    ~TTrayIconHandler() = default;

private:
    TTrayIconHandler() = default;

    static TShiftState KeyShift();
    void MouseMoveMessage(TTrayIcon& C, QPoint P);
    void LButtonDownMessage(TTrayIcon& C, QPoint P);
    void LButtonUpMessage(TTrayIcon& C, QPoint P);
    void LButtonDblClkMessage(TTrayIcon& C);
    void RButtonDownMessage(TTrayIcon& C, QPoint P);
    void ButtonMessage(TTrayIcon& C, bool Down, TMouseButton Button, QPoint P);

    static inline std::unique_ptr<TTrayIconHandler> FInstance;
    static inline int FRefCount = 0;
    static inline TTrayPlatform FPlatform = TTrayPlatform::Desktop();
};
