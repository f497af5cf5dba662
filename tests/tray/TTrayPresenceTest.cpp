// SPDX-License-Identifier: GPL-3.0-or-later
// Hiding into the tray only while one is there, and coming back when it goes.
#include "TrayTestSupport.h"

#include <QMenu>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <vector>

namespace {

struct TPresenceRow {
    const char* Name;
    bool TrayAtHide;
    // Whether the tray is there at each later look of the watch.
    std::vector<bool> TrayLater;
    bool HiddenAtEnd;
};

// HideMainWindow hides whatever the tray does; the watch then brings the
// window back only once a tray it has seen is gone.
TEST(TrayPresence, AHiddenWindowComesBackOnlyWhenItsTrayGoes) {
    const TPresenceRow Rows[] = {
        {"tray stays", true, {true, true, true}, true},
        {"tray goes", true, {true, false}, false},
        {"tray goes at once", true, {false}, false},
        {"never a tray", false, {false, false, false}, true},
        {"tray comes late, then goes", false, {false, true, false}, false},
        {"tray restarts between two looks", true, {true, true}, true},
    };
    for (const TPresenceRow& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        TFakeDesktop Desktop;
        QWidget Window;
        TTrayIcon Icon(Desktop.Handler, &Window);
        Window.show();
        Desktop.TrayAvailable = Row.TrayAtHide;
        Icon.HideMainWindow();
        ASSERT_FALSE(Window.isVisible());
        EXPECT_TRUE(Icon.TrayWatch().Active());
        for (const bool Present : Row.TrayLater) {
            Desktop.TrayAvailable = Present;
            Icon.TrayWatchStep();
        }
        EXPECT_EQ(!Window.isVisible(), Row.HiddenAtEnd);
        EXPECT_EQ(Icon.TrayWatch().Active(), Row.HiddenAtEnd);
        if (!Row.HiddenAtEnd) {
            EXPECT_FALSE(Window.isMinimized());
        }
    }
}

TEST(TrayPresence, MinimizeHidesIntoTheTrayOnlyWhileOneIsThere) {
    for (const bool Tray : {true, false}) {
        SCOPED_TRACE(Tray ? "with a tray" : "without a tray");
        TFakeDesktop Desktop;
        Desktop.TrayAvailable = Tray;
        QWidget Window;
        TTrayIcon Icon(Desktop.Handler, &Window);
        Window.show();
        EXPECT_EQ(Icon.HideIntoTray(), Tray);
        EXPECT_EQ(Window.isVisible(), !Tray);
        EXPECT_EQ(Icon.TrayWatch().Active(), Tray);
    }
    TFakeDesktop Desktop;
    Desktop.TrayAvailable = true;
    TTrayIcon Ownerless(Desktop.Handler, nullptr);
    EXPECT_FALSE(Ownerless.HideIntoTray()) << "nothing to hide";
}

TEST(TrayPresence, TheWatchEndsWhenTheWindowIsShownAnotherWay) {
    TFakeDesktop Desktop;
    Desktop.TrayAvailable = true;
    QWidget Window;
    TTrayIcon Icon(Desktop.Handler, &Window);
    Window.show();
    Icon.HideMainWindow();
    Icon.RestoreMainWindow();
    Icon.TrayWatchStep();
    EXPECT_FALSE(Icon.TrayWatch().Active());
    // A tray going away later does not touch a window the user hid otherwise.
    Window.hide();
    Desktop.TrayAvailable = false;
    Icon.TrayWatchStep();
    EXPECT_FALSE(Window.isVisible());
}

TEST(TrayPresence, TheRunningWatchRestoresTheWindowByItself) {
    TFakeDesktop Desktop;
    Desktop.TrayAvailable = true;
    QWidget Window;
    TTrayIcon Icon(Desktop.Handler, &Window);
    Window.show();
    ASSERT_TRUE(Icon.HideIntoTray());
    Desktop.TrayAvailable = false;
    QTRY_VERIFY_WITH_TIMEOUT(Window.isVisible(), 5000);
    EXPECT_FALSE(Icon.TrayWatch().Active());
}

// Offscreen there is no tray over D-Bus, so the menu stays ours to pop up:
// handed to the X11 tray as well, it would open twice.
TEST(TrayPresence, WithoutATrayOverDBusTheMenuIsNotHandedToTheTray) {
    TTrayIconHandler Tray;
    QWidget Window;
    QMenu Menu(&Window);
    Menu.addAction(QStringLiteral("Chiudi"));
    TTrayIcon Icon(Tray, &Window);
    Icon.SetPopupMenu(&Menu);
    EXPECT_EQ(Icon.PopupMenu(), &Menu);
    EXPECT_FALSE(Icon.MenuExported());
    EXPECT_EQ(Icon.SystemTrayIcon().contextMenu(), nullptr);
}

} // namespace
