// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// The environment variables that say which displays a session offers.
struct TDisplayEnvironment {
    std::string QtPlatform;     // QT_QPA_PLATFORM: the user's own choice
    std::string Display;        // DISPLAY: an X server (XWayland under Wayland)
    std::string WaylandDisplay; // WAYLAND_DISPLAY
    std::string SessionType;    // XDG_SESSION_TYPE
};

// Which of Qt's platform plugins Zirko asks for. Through X11 the window can be
// centred, minimized into the tray and raised by the alarm; a native Wayland
// client can do none of that. So X11 goes first wherever an X server stands
// beside Wayland, unless the user chose a platform.
class TDisplayPlatform {
public:
    // The plugin list to ask for, or empty to leave Qt's own choice.
    static std::string Preferred(const TDisplayEnvironment& Environment);
    // The process's own environment.
    static TDisplayEnvironment Current();
    // Applies Preferred to the environment Qt reads; must run before the
    // application object is created.
    static void Choose();
};
