// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TImageList.h"
#include "TTrayIcon.h"
#include "TTrayIconHandler.h"

#include <QColor>
#include <QPixmap>

#include <string>
#include <vector>

// Records every event of a component as short words, in order.
struct TEventLog {
    std::vector<std::string> Events;

    void Attach(TTrayIcon& Icon, bool WithDblClick = false) {
        Icon.OnClick = [this](TTrayIcon&) { Events.push_back("Click"); };
        if (WithDblClick)
            Icon.OnDblClick = [this](TTrayIcon&) { Events.push_back("DblClick"); };
        Icon.OnMouseDown = [this](TTrayIcon&, TMouseButton B, TShiftState, int, int) {
            Events.push_back(std::string("Down ") + Name(B));
        };
        Icon.OnMouseUp = [this](TTrayIcon&, TMouseButton B, TShiftState, int, int) {
            Events.push_back(std::string("Up ") + Name(B));
        };
        Icon.OnMouseMove = [this](TTrayIcon&, TShiftState, int, int) { Events.push_back("Move"); };
        Icon.OnMouseEnter = [this](TTrayIcon&) { Events.push_back("Enter"); };
        Icon.OnMouseExit = [this](TTrayIcon&) { Events.push_back("Exit"); };
    }
    static const char* Name(TMouseButton B) { return B == mbLeft ? "L" : B == mbRight ? "R" : "M"; }
};

// A fixed desktop, and the handler that reads it for the icons built on it.
struct TFakeDesktop {
    QPoint Cursor{100, 200};
    Qt::KeyboardModifiers Keys = Qt::NoModifier;
    int DoubleClickTime = 500;
    bool TrayAvailable = false;
    TTrayIconHandler Handler{{[this] { return Cursor; }, [this] { return Keys; },
                              [this] { return DoubleClickTime; },
                              [this] { return TrayAvailable; }}};

    TFakeDesktop() = default;
    TFakeDesktop(const TFakeDesktop&) = delete;
    TFakeDesktop& operator=(const TFakeDesktop&) = delete;
};

inline QIcon SolidIcon(QColor Colour) {
    QPixmap Pixmap(16, 16);
    Pixmap.fill(Colour);
    return QIcon(Pixmap);
}

inline QRgb CornerOf(const QIcon& Icon) {
    return Icon.pixmap(16, 16).toImage().pixel(0, 0) & 0xFFFFFF;
}
