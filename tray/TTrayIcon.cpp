// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTrayIcon.h"

#include "TImageList.h"
#include "TTrayIconHandler.h"

#include <QEvent>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QVariant>
#include <QWidget>

TTrayIcon::TTrayIcon(TTrayIconHandler& Handler, QWidget* Owner)
    : QObject(Owner), FHandler(Handler), FOwner(Owner), FTray(new QSystemTrayIcon(this)) {
    FHandler.Acquire();
    connect(
        FTray, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason Reason) { FHandler.Activated(*this, Reason); });
    FCycleTimer.OnTimer = [this](TLightTimer&) { CycleTimerStep(); };
    FClickTimer.OnTimer = [this](TLightTimer&) { ClickTimerStep(); };
    FExitTimer.OnTimer = [this](TLightTimer&) { ExitTimerStep(); };
    FTrayWatch.OnTimer = [this](TLightTimer&) { TrayWatchStep(); };
    Dock();
    // Every showing of the owner brings it to the front.
    if (OwnerIsWindow())
        FOwner->installEventFilter(this);
}

TTrayIcon::~TTrayIcon() {
    TTrayIcon::RemoveIcon();
    // The menu may outlive us: it must not keep naming a freed opener.
    if (FPopupMenu && FPopupMenu->property(PopupComponentProperty).value<QObject*>() == this)
        FPopupMenu->setProperty(PopupComponentProperty, QVariant());
    FCycleTimer.Stop();
    FClickTimer.Stop();
    FExitTimer.Stop();
    FTrayWatch.Stop();
    FHandler.Release();
}

// --- settings --------------------------------------------------------------

void TTrayIcon::SetIconList(TImageList* Value) {
    disconnect(FIconListGone);
    FIconList = Value;
    if (Value)
        FIconListGone = connect(Value, &QObject::destroyed, this, [this] { IconListDestroyed(); });
    SetIconIndex(0);
}

void TTrayIcon::IconListDestroyed() {
    FIconList = nullptr;
    SetIconIndex(0);
}

void TTrayIcon::SetIconIndex(int Value) {
    if (FIconList) {
        FIconIndex = Value;
        if (FIconIndex >= FIconList->Count())
            FIconIndex = FIconList->Count() - 1;
        // An index that names no image keeps the current one rather than
        // blanking the icon out of the tray.
        const QIcon Image = FIconList->Image(FIconIndex);
        if (!Image.isNull())
            SetIcon(Image);
    } else {
        FIconIndex = 0;
    }
    UpdateIcon();
}

void TTrayIcon::SetIcon(const QIcon& Value) {
    FIcon = Value;
    UpdateIcon();
}

void TTrayIcon::SetPopupMenu(QMenu* Value) {
    FPopupMenu = Value;
    ExportMenu();
}

void TTrayIcon::ExportMenu() {
    QMenu* Menu = FPopupMenu.data();
    FTray->setContextMenu(Menu);
    // Only a tray that exports the menu gets to keep it: the X11 tray would
    // pop it up by itself at the right press, beside our own popup.
    if (Menu && !Menu->platformMenu())
        FTray->setContextMenu(nullptr);
}

bool TTrayIcon::MenuExported() const {
    return FTray->contextMenu() != nullptr;
}

void TTrayIcon::SetIconVisible(bool Value) {
    if (Value)
        AddIcon();
    else
        RemoveIcon();
}

void TTrayIcon::SetHint(const QString& Value) {
    FHint = Value;
    UpdateIcon();
}

void TTrayIcon::SetShowHint(bool Value) {
    FShowHint = Value;
    UpdateIcon();
}

void TTrayIcon::SetCycleIcons(bool Value) {
    FCycleIcons = Value;
    if (Value) {
        SetIconIndex(0);
        FCycleTimer.SetInterval(FCycleInterval);
        FCycleTimer.Start();
    } else {
        FCycleTimer.Stop();
    }
}

void TTrayIcon::SetCycleInterval(uint32_t Value) {
    if (Value == FCycleInterval)
        return;
    FCycleInterval = Value;
    SetCycleIcons(FCycleIcons);
}

void TTrayIcon::SetWantEnterExitEvents(bool Value) {
    FWantEnterExitEvents = Value;
    if (Value)
        FExitTimer.Start();
    else
        FExitTimer.Stop();
}

QString TTrayIcon::TipText() const {
    if (FHint.isEmpty() || !FShowHint)
        return {};
    qsizetype Length = std::min<qsizetype>(FHint.size(), MaxTipLength);
    // Never keep half of a surrogate pair.
    if (Length < FHint.size() && FHint.at(Length - 1).isHighSurrogate())
        --Length;
    return FHint.left(Length);
}

QIcon TTrayIcon::TrayImage() const {
    if (!FIcon.isNull())
        return FIcon;
    // No image: the tray gets a transparent one rather than none at all.
    QPixmap Blank(TImageList::Width, TImageList::Height);
    Blank.fill(Qt::transparent);
    return QIcon(Blank);
}

// --- the icon in the tray --------------------------------------------------

bool TTrayIcon::AddIcon() {
    FIconVisible = true;
    Dock();
    if (FDockHeld)
        return false;
    // Shown even without a tray: Qt docks it as soon as one appears.
    FTray->show();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TTrayIcon::ReleaseDock() {
    FDockHeld = false;
    if (FIconVisible)
        AddIcon();
}

bool TTrayIcon::RemoveIcon() {
    FIconVisible = false;
    Dock();
    FTray->hide();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TTrayIcon::UpdateIcon() {
    Dock();
    return FTray->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

void TTrayIcon::Dock() {
    FTray->setIcon(TrayImage());
    FTray->setToolTip(TipText());
}

void TTrayIcon::Loaded() {
    if (OwnerIsWindow()) {
        bool ShowMainForm = true;
        if (OnStartup)
            OnStartup(*this, ShowMainForm);
        if (!ShowMainForm)
            HideMainWindow();
    }
    UpdateIcon();
    SetIconVisible(FIconVisible);
    SetCycleIcons(FCycleIcons);
    SetWantEnterExitEvents(FWantEnterExitEvents);
}

// --- the owner window ------------------------------------------------------

bool TTrayIcon::OwnerIsWindow() const {
    return FOwner && FOwner->isWindow();
}

void TTrayIcon::HideMainWindow() {
    if (!OwnerIsWindow())
        return;
    // Asked before hiding: the question goes to the panel, and a panel that dies while it
    // answers must not leave a hidden window that nothing brings back.
    FTraySeen = TrayAvailable();
    // Hiding a top-level window also takes it off the taskbar.
    FOwner->hide();
    FTrayWatch.Start();
}

bool TTrayIcon::HideIntoTray() {
    if (!TrayAvailable())
        return false;
    HideMainWindow();
    // The tray was there a moment ago: a panel that stops answering between
    // the two questions must still bring the window back when it goes.
    FTraySeen = true;
    return OwnerIsWindow();
}

bool TTrayIcon::TrayAvailable() const {
    return FHandler.Platform().TrayAvailable();
}

void TTrayIcon::TrayWatchStep() {
    if (!FTrayWatch.Active())
        return;
    if (!OwnerIsWindow() || FOwner->isVisible()) {
        FTrayWatch.Stop();
        return;
    }
    // Only a tray that was there and went counts: hidden with none at all
    // (a start-up event may do that) the window stays hidden.
    if (TrayAvailable()) {
        FTraySeen = true;
        return;
    }
    if (FTraySeen) {
        FTrayWatch.Stop();
        RestoreMainWindow();
    }
}

void TTrayIcon::RestoreMainWindow() {
    if (!OwnerIsWindow())
        return;
    if (FOwner->isMinimized())
        FOwner->setWindowState(FOwner->windowState() & ~Qt::WindowMinimized);
    FOwner->show();
    FOwner->raise();
    FOwner->activateWindow();
}

bool TTrayIcon::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == FOwner && Event->type() == QEvent::Show) {
        // Shown again: a later hiding (a close too) is none of the watch's business.
        FTrayWatch.Stop();
        FOwner->raise();
        FOwner->activateWindow();
    }
    return false;
}

void TTrayIcon::PopUpAtCursor() {
    if (!FPopupMenu)
        return;
    const QPoint At = FHandler.Platform().CursorPos();
    // Tells the menu's handlers which component opened it.
    FPopupMenu->setProperty(PopupComponentProperty, QVariant::fromValue<QObject*>(this));
    FPopupMenu->popup(At);
}

// --- timers ----------------------------------------------------------------

void TTrayIcon::CycleTimerStep() {
    if (!FIconList)
        return;
    const QIcon Image = FIconList->Image(FIconIndex);
    if (!Image.isNull())
        SetIcon(Image);
    QPointer<TTrayIcon> Alive(this);
    CycleIcon();
    if (!Alive)
        return;
    SetIconIndex(FIconIndex + 1 < FIconList->Count() ? FIconIndex + 1 : 0);
}

void TTrayIcon::ClickTimerStep() {
    FClickTimer.Stop();
    const bool Fire = !FDoubleClicked && FClickPending;
    if (Fire)
        FClickPending = false;
    FDoubleClicked = false;
    if (Fire)
        Click();
}

void TTrayIcon::ExitTimerStep() {
    if (FCursorOutside)
        return;
    if (FHandler.Platform().CursorPos() != FLastCursorPos) {
        FCursorOutside = true;
        MouseExit();
    }
}

// --- dispatchers -----------------------------------------------------------
// Each runs a copy of its event, since a handler may free the component.

void TTrayIcon::Click() {
    if (auto Handler = OnClick)
        Handler(*this);
}

void TTrayIcon::DblClick() {
    if (auto Handler = OnDblClick)
        Handler(*this);
}

void TTrayIcon::CycleIcon() {
    auto Handler = OnCycle;
    if (!Handler)
        return;
    const int Last = FIconList ? FIconList->Count() - 1 : 0;
    Handler(*this, FIconIndex == Last ? 0 : FIconIndex + 1);
}

void TTrayIcon::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (auto Handler = OnMouseDown)
        Handler(*this, Button, Shift, X, Y);
}

void TTrayIcon::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (auto Handler = OnMouseUp)
        Handler(*this, Button, Shift, X, Y);
}

void TTrayIcon::MouseMove(TShiftState Shift, int X, int Y) {
    if (auto Handler = OnMouseMove)
        Handler(*this, Shift, X, Y);
}

void TTrayIcon::MouseEnter() {
    if (auto Handler = OnMouseEnter)
        Handler(*this);
}

void TTrayIcon::MouseExit() {
    if (auto Handler = OnMouseExit)
        Handler(*this);
}
