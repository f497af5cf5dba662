// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The mouse notifications a tray icon receives, numbered like the classic
// window messages so that the notification table reads the same everywhere.
enum TTrayMessage : uint32_t {
    tmContextMenu = 0x007B,
    tmMouseMove = 0x0200,
    tmLButtonDown = 0x0201,
    tmLButtonUp = 0x0202,
    tmLButtonDblClk = 0x0203,
    tmRButtonDown = 0x0204,
    tmRButtonUp = 0x0205,
    tmMButtonDown = 0x0207,
    tmMButtonUp = 0x0208,
    tmSelect = 0x0400,
    tmKeySelect = 0x0401,
};

enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };

// Keys held and the button of the message, as a set of flags.
enum TShiftFlag : uint8_t {
    ssShift = 0x01,
    ssAlt = 0x02,
    ssCtrl = 0x04,
    ssLeft = 0x08,
    ssRight = 0x10,
    ssMiddle = 0x20,
};
using TShiftState = uint8_t;
