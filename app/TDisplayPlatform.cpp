// SPDX-License-Identifier: GPL-3.0-or-later
#include "TDisplayPlatform.h"

#include <cstdlib>

namespace {

std::string Variable(const char* Name) {
    const char* Value = std::getenv(Name);
    return Value ? Value : "";
}

} // namespace

std::string TDisplayPlatform::Preferred(const TDisplayEnvironment& Environment) {
    if (!Environment.QtPlatform.empty() || Environment.Display.empty())
        return {};
    const bool Wayland =
        !Environment.WaylandDisplay.empty() || Environment.SessionType == "wayland";
    if (!Wayland)
        return {};
    // Should the X server not answer, Qt moves on to the next plugin of the list.
    return "xcb;wayland";
}

TDisplayEnvironment TDisplayPlatform::Current() {
    return {Variable("QT_QPA_PLATFORM"), Variable("DISPLAY"), Variable("WAYLAND_DISPLAY"),
            Variable("XDG_SESSION_TYPE")};
}

void TDisplayPlatform::Choose() {
    const std::string Platform = Preferred(Current());
    if (!Platform.empty())
        setenv("QT_QPA_PLATFORM", Platform.c_str(), 1);
}
