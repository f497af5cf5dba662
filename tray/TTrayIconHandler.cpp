// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTrayIconHandler.h"

#include "TTrayIcon.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QStyleHints>

TTrayPlatform TTrayPlatform::Desktop() {
    return {[] { return QCursor::pos(); }, [] { return QGuiApplication::queryKeyboardModifiers(); },
            [] { return QGuiApplication::styleHints()->mouseDoubleClickInterval(); },
            [] { return QSystemTrayIcon::isSystemTrayAvailable(); }};
}

TTrayIconHandler::TTrayIconHandler(TTrayPlatform Platform) : FPlatform(std::move(Platform)) {}

void TTrayIconHandler::Release() {
    if (FRefCount > 0)
        --FRefCount;
}

std::vector<uint32_t> TTrayIconHandler::MessagesFor(QSystemTrayIcon::ActivationReason Reason) {
    switch (Reason) {
    case QSystemTrayIcon::Trigger:
        return {tmLButtonDown, tmLButtonUp};
    case QSystemTrayIcon::DoubleClick:
        // The second press of a double click; its release follows.
        return {tmLButtonDblClk, tmLButtonUp};
    case QSystemTrayIcon::Context:
        return {tmRButtonDown, tmRButtonUp};
    case QSystemTrayIcon::MiddleClick:
        return {tmMButtonDown, tmMButtonUp};
    case QSystemTrayIcon::Unknown:
        break;
    }
    return {};
}

void TTrayIconHandler::Activated(TTrayIcon& C, QSystemTrayIcon::ActivationReason Reason) {
    QPointer<TTrayIcon> Alive(&C);
    for (const uint32_t Message : MessagesFor(Reason)) {
        // A handler may have destroyed the component.
        if (!Alive)
            return;
        TrayWindowProc(C, Message);
    }
}

TShiftState TTrayIconHandler::KeyShift() const {
    const Qt::KeyboardModifiers Keys = FPlatform.KeyboardModifiers();
    TShiftState Shift = 0;
    if (Keys & Qt::ShiftModifier)
        Shift |= ssShift;
    if (Keys & Qt::ControlModifier)
        Shift |= ssCtrl;
    if (Keys & Qt::AltModifier)
        Shift |= ssAlt;
    return Shift;
}

void TTrayIconHandler::TrayWindowProc(TTrayIcon& C, uint32_t Message) {
    if (!C.Enabled())
        return;
    const QPoint P = FPlatform.CursorPos();
    const bool Classic = C.NotifyVersion() == 0;
    switch (Message) {
    case tmMouseMove:
        MouseMoveMessage(C, P);
        break;
    case tmLButtonDown:
        LButtonDownMessage(C, P);
        break;
    case tmLButtonUp:
        LButtonUpMessage(C, P);
        break;
    case tmLButtonDblClk:
        LButtonDblClkMessage(C);
        break;
    case tmRButtonDown:
        RButtonDownMessage(C, P);
        break;
    case tmRButtonUp:
        if (Classic)
            ButtonMessage(C, false, mbRight, P);
        break;
    case tmContextMenu:
    case tmSelect:
    case tmKeySelect:
        if (!Classic)
            ButtonMessage(C, false, mbRight, P);
        break;
    case tmMButtonDown:
        ButtonMessage(C, true, mbMiddle, P);
        break;
    case tmMButtonUp:
        ButtonMessage(C, false, mbMiddle, P);
        break;
    default:
        break;
    }
}

void TTrayIconHandler::MouseMoveMessage(TTrayIcon& C, QPoint P) {
    QPointer<TTrayIcon> Alive(&C);
    if (C.FWantEnterExitEvents && C.FCursorOutside) {
        C.MouseEnter();
        if (!Alive)
            return;
        C.FCursorOutside = false;
    }
    C.MouseMove(KeyShift(), P.x(), P.y());
    if (Alive)
        C.FLastCursorPos = P;
}

void TTrayIconHandler::LButtonDownMessage(TTrayIcon& C, QPoint P) {
    QPointer<TTrayIcon> Alive(&C);
    if (C.OnDblClick) {
        C.FClickTimer.SetInterval(static_cast<uint32_t>(std::max(0, FPlatform.DoubleClickTime())));
        C.FClickTimer.Start();
    }
    C.MouseDown(mbLeft, KeyShift() | ssLeft, P.x(), P.y());
    if (!Alive)
        return;
    C.FClickStarted = true;
    if (C.FLeftPopup)
        C.PopUpAtCursor();
}

void TTrayIconHandler::LButtonUpMessage(TTrayIcon& C, QPoint P) {
    QPointer<TTrayIcon> Alive(&C);
    if (C.FClickStarted) {
        C.FClickPending = true;
        if (!C.FClickTimer.Active()) {
            C.FClickStarted = false;
            C.FClickPending = false;
            C.Click();
            if (!Alive)
                return;
        }
    }
    C.FClickStarted = false;
    C.MouseUp(mbLeft, KeyShift() | ssLeft, P.x(), P.y());
}

void TTrayIconHandler::LButtonDblClkMessage(TTrayIcon& C) {
    QPointer<TTrayIcon> Alive(&C);
    C.FClickPending = false;
    C.FDoubleClicked = true;
    C.DblClick();
    if (!Alive || !C.FPopupMenu || C.FLeftPopup)
        return;
    // The menu's default item stands for a double click.
    if (QAction* Default = C.FPopupMenu->defaultAction(); Default && Default->isEnabled())
        Default->trigger();
}

void TTrayIconHandler::RButtonDownMessage(TTrayIcon& C, QPoint P) {
    QPointer<TTrayIcon> Alive(&C);
    C.MouseDown(mbRight, KeyShift() | ssRight, P.x(), P.y());
    if (Alive)
        C.PopUpAtCursor();
}

void TTrayIconHandler::ButtonMessage(TTrayIcon& C, bool Down, TMouseButton Button, QPoint P) {
    const TShiftState Held = Button == mbRight ? ssRight : Button == mbMiddle ? ssMiddle : ssLeft;
    if (Down)
        C.MouseDown(Button, KeyShift() | Held, P.x(), P.y());
    else
        C.MouseUp(Button, KeyShift() | Held, P.x(), P.y());
}
