// SPDX-License-Identifier: GPL-3.0-or-later
#include "TDisplayPlatform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

struct TPlatformCase {
    const char* Name;
    TDisplayEnvironment Environment;
    std::string Expected;
};

TEST(TDisplayPlatformTest, X11GoesFirstOnlyWhereItStandsBesideWaylandAndNothingWasChosen) {
    const TPlatformCase Cases[] = {
        {"Wayland and XWayland", {"", ":1", "wayland-0", "wayland"}, "xcb;wayland"},
        {"Wayland socket without a session type", {"", ":1", "wayland-1", ""}, "xcb;wayland"},
        {"Wayland session type without a socket name", {"", ":0", "", "wayland"}, "xcb;wayland"},
        {"Wayland alone", {"", "", "wayland-0", "wayland"}, ""},
        {"X11 session", {"", ":0", "", "x11"}, ""},
        {"X11 without a session type", {"", ":0", "", ""}, ""},
        {"no display at all", {"", "", "", "tty"}, ""},
        {"the user chose Wayland", {"wayland", ":1", "wayland-0", "wayland"}, ""},
        {"the user chose X11", {"xcb", ":1", "wayland-0", "wayland"}, ""},
        {"the user chose offscreen", {"offscreen", ":1", "wayland-0", ""}, ""},
    };
    for (const TPlatformCase& Case : Cases)
        EXPECT_EQ(TDisplayPlatform::Preferred(Case.Environment), Case.Expected) << Case.Name;
}

// Restores one environment variable when the test ends.
class TSavedVariable {
public:
    explicit TSavedVariable(const char* Name) : FName(Name) {
        if (const char* Value = std::getenv(Name)) {
            FHad = true;
            FValue = Value;
        }
    }
    ~TSavedVariable() {
        if (FHad)
            setenv(FName, FValue.c_str(), 1);
        else
            unsetenv(FName);
    }
    TSavedVariable(const TSavedVariable&) = delete;
    TSavedVariable& operator=(const TSavedVariable&) = delete;

private:
    const char* FName;
    bool FHad = false;
    std::string FValue;
};

TEST(TDisplayPlatformTest, ChooseWritesTheChoiceWhereQtReadsItAndKeepsTheUsersOwn) {
    TSavedVariable Platform("QT_QPA_PLATFORM");
    TSavedVariable Display("DISPLAY");
    TSavedVariable Wayland("WAYLAND_DISPLAY");
    TSavedVariable Session("XDG_SESSION_TYPE");
    setenv("DISPLAY", ":7", 1);
    setenv("WAYLAND_DISPLAY", "wayland-7", 1);
    unsetenv("XDG_SESSION_TYPE");

    unsetenv("QT_QPA_PLATFORM");
    TDisplayPlatform::Choose();
    EXPECT_STREQ(std::getenv("QT_QPA_PLATFORM"), "xcb;wayland");

    setenv("QT_QPA_PLATFORM", "wayland", 1);
    TDisplayPlatform::Choose();
    EXPECT_STREQ(std::getenv("QT_QPA_PLATFORM"), "wayland");

    unsetenv("QT_QPA_PLATFORM");
    unsetenv("DISPLAY");
    TDisplayPlatform::Choose();
    EXPECT_EQ(std::getenv("QT_QPA_PLATFORM"), nullptr);
}

} // namespace
