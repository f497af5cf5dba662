// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TImageList.h"
#include "TLightTimer.h"
#include "TTrayIconHandler.h"
#include "TTrayMessages.h"

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>

class QMenu;
class QSystemTrayIcon;
class QWidget;

// One icon of the program in the desktop's notification area: its image comes
// from an image list by index, mouse actions become events and a popup menu,
// and it hides and restores the owner window. Destroying it removes the icon.
// Handler receives its notifications and must outlive it.
class TTrayIcon : public QObject {
public:
    using TNotifyEvent = std::function<void(TTrayIcon& Sender)>;
    using TMouseEvent = std::function<void(TTrayIcon& Sender, TMouseButton Button,
                                           TShiftState Shift, int X, int Y)>;
    using TMouseMoveEvent = std::function<void(TTrayIcon& Sender, TShiftState Shift, int X, int Y)>;
    using TCycleEvent = std::function<void(TTrayIcon& Sender, int NextIndex)>;
    using TStartupEvent = std::function<void(TTrayIcon& Sender, bool& ShowMainForm)>;

    // The tray keeps only this many characters of the tooltip.
    static constexpr int MaxTipLength = 127;
    // The menu property that names the component which popped the menu up.
    static constexpr const char* PopupComponentProperty = "PopupComponent";

    TTrayIcon(TTrayIconHandler& Handler, QWidget* Owner);
    ~TTrayIcon() override;
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;

    TImageList* IconList() const { return FIconList; }
    void SetIconList(TImageList* Value);
    int IconIndex() const { return FIconIndex; }
    void SetIconIndex(int Value);
    const QIcon& Icon() const { return FIcon; }
    void SetIcon(const QIcon& Value);
    bool IconVisible() const { return FIconVisible; }
    void SetIconVisible(bool Value);
    const QString& Hint() const { return FHint; }
    void SetHint(const QString& Value);
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* Value);
    // Whether the tray shows PopupMenu itself: a tray over D-Bus takes the
    // menu as the item's exported menu, which is all some panels offer.
    bool MenuExported() const;
    bool LeftPopup() const { return FLeftPopup; }
    void SetLeftPopup(bool Value) { FLeftPopup = Value; }
    bool CycleIcons() const { return FCycleIcons; }
    void SetCycleIcons(bool Value);
    uint32_t CycleInterval() const { return FCycleInterval; }
    void SetCycleInterval(uint32_t Value);
    bool WantEnterExitEvents() const { return FWantEnterExitEvents; }
    void SetWantEnterExitEvents(bool Value);
    // 0: classic notifications; 1: the right button's release arrives as a
    // context-menu request instead.
    int NotifyVersion() const { return FNotifyVersion; }
    void SetNotifyVersion(int Value) { FNotifyVersion = Value; }

    QWidget* Owner() const { return FOwner; }
    TTrayIconHandler& Handler() const { return FHandler; }
    // The tooltip the tray shows: Hint cut to MaxTipLength, or none.
    QString TipText() const;
    // The icon the tray shows (the image, or a blank one when there is none).
    QIcon TrayImage() const;
    const QSystemTrayIcon& SystemTrayIcon() const { return *FTray; }

    virtual bool AddIcon();
    virtual bool RemoveIcon();
    virtual bool UpdateIcon();
    // Until ReleaseDock, a visible icon waits to go into the tray: docking asks the
    // desktop's bus and the tray, which the window's first paint need not wait for.
    void HoldDock() { FDockHeld = true; }
    void ReleaseDock();

    // Once every setting is applied: asks OnStartup whether the owner is to be
    // shown, then brings the icon and the timers in line with the settings.
    void Loaded();

    void HideMainWindow();
    void RestoreMainWindow();
    // Hides the owner into the tray only while a tray is there to bring it
    // back; answers whether it did. Without one the window stays where it is.
    bool HideIntoTray();
    // Whether a tray is there now.
    bool TrayAvailable() const;
    // Shows PopupMenu at the cursor; nothing without a menu.
    void PopUpAtCursor();

    // Tick handlers of the three timers.
    void CycleTimerStep();
    void ClickTimerStep();
    void ExitTimerStep();
    // While the owner is hidden: brings it back once the tray has gone.
    void TrayWatchStep();
    const TLightTimer& CycleTimer() const { return FCycleTimer; }
    const TLightTimer& ClickTimer() const { return FClickTimer; }
    const TLightTimer& ExitTimer() const { return FExitTimer; }
    const TLightTimer& TrayWatch() const { return FTrayWatch; }

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseExit;
    TCycleEvent OnCycle;
    TStartupEvent OnStartup;

protected:
    // Event dispatchers; each calls its event when one is assigned.
    virtual void Click();
    virtual void DblClick();
    virtual void CycleIcon();
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseEnter();
    virtual void MouseExit();

    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    friend class TTrayIconHandler;

    void IconListDestroyed();
    bool OwnerIsWindow() const;
    void Dock();
    void ExportMenu();

    TTrayIconHandler& FHandler;
    QPointer<QWidget> FOwner;
    QSystemTrayIcon* FTray; // child of this object
    QPointer<TImageList> FIconList;
    QMetaObject::Connection FIconListGone;
    QPointer<QMenu> FPopupMenu;
    int FIconIndex = 0;
    QIcon FIcon;
    bool FIconVisible = false;
    bool FDockHeld = false;
    QString FHint;
    bool FShowHint = true;
    bool FEnabled = true;
    bool FLeftPopup = false;
    bool FCycleIcons = false;
    uint32_t FCycleInterval = 0;
    bool FWantEnterExitEvents = false;
    int FNotifyVersion = 0;

    bool FClickStarted = false;
    bool FClickPending = false;
    bool FDoubleClicked = false;
    bool FCursorOutside = true;
    QPoint FLastCursorPos;

    TLightTimer FCycleTimer{FHandler.LightTimers(), 1000};
    TLightTimer FClickTimer{FHandler.LightTimers(), 1000};
    TLightTimer FExitTimer{FHandler.LightTimers(), 20};
    // A panel that crashes or is replaced must not take a hidden window with it.
    TLightTimer FTrayWatch{FHandler.LightTimers(), 500};
    bool FTraySeen = false;
};
