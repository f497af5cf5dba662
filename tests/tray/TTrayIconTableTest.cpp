// SPDX-License-Identifier: GPL-3.0-or-later
// The mouse-notification table, driven message by message without a tray.
#include "TrayTestSupport.h"

#include <QAction>
#include <QMenu>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

namespace {

struct TTableRow {
    const char* Name;
    std::vector<uint32_t> Messages;
    std::vector<std::string> Expected;
    bool Enabled = true;
    int NotifyVersion = 0;
    bool WantEnterExit = false;
};

class TrayTable : public ::testing::TestWithParam<TTableRow> {};

TEST_P(TrayTable, GivesEventsInOrder) {
    const TTableRow& Row = GetParam();
    TFakeDesktop Desktop;
    TTrayIcon Icon(Desktop.Handler, nullptr);
    QMenu Menu;
    Icon.SetPopupMenu(&Menu);
    TEventLog Log;
    Log.Attach(Icon);
    QObject::connect(&Menu, &QMenu::aboutToShow, [&] { Log.Events.push_back("Menu"); });
    Icon.SetEnabled(Row.Enabled);
    Icon.SetNotifyVersion(Row.NotifyVersion);
    Icon.SetWantEnterExitEvents(Row.WantEnterExit);

    for (const uint32_t Message : Row.Messages)
        Desktop.Handler.TrayWindowProc(Icon, Message);

    EXPECT_EQ(Log.Events, Row.Expected);
    Menu.close();
}

INSTANTIATE_TEST_SUITE_P(
    Messages, TrayTable,
    ::testing::Values(
        TTableRow{"LeftClick", {tmLButtonDown, tmLButtonUp}, {"Down L", "Click", "Up L"}},
        TTableRow{"PressOutsideReleaseOnIcon", {tmLButtonUp}, {"Up L"}},
        TTableRow{"TwoClicks",
                  {tmLButtonDown, tmLButtonUp, tmLButtonDown, tmLButtonUp},
                  {"Down L", "Click", "Up L", "Down L", "Click", "Up L"}},
        // Without OnDblClick the first half counts as the one click.
        TTableRow{"DoubleClickWithoutHandler",
                  {tmLButtonDown, tmLButtonUp, tmLButtonDblClk, tmLButtonUp},
                  {"Down L", "Click", "Up L", "Up L"}},
        TTableRow{"RightPressOpensMenuBeforeRelease",
                  {tmRButtonDown, tmRButtonUp},
                  {"Down R", "Menu", "Up R"}},
        TTableRow{"Middle", {tmMButtonDown, tmMButtonUp}, {"Down M", "Up M"}},
        TTableRow{"Disabled",
                  {tmLButtonDown, tmLButtonUp, tmRButtonDown, tmRButtonUp, tmMouseMove},
                  {},
                  false},
        TTableRow{
            "ContextMessagesIgnoredInClassicMode", {tmContextMenu, tmSelect, tmKeySelect}, {}},
        TTableRow{"Version1ReportsContextAsRightRelease",
                  {tmRButtonDown, tmRButtonUp, tmContextMenu, tmSelect, tmKeySelect},
                  {"Down R", "Menu", "Up R", "Up R", "Up R"},
                  true,
                  1},
        TTableRow{"MoveWithoutEnterExit", {tmMouseMove, tmMouseMove}, {"Move", "Move"}},
        TTableRow{
            "MoveEntersOnce", {tmMouseMove, tmMouseMove}, {"Enter", "Move", "Move"}, true, 0, true},
        TTableRow{"UnknownMessage", {0x0206, 0x0209, 0x0402}, {}}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(TrayTableDetails, ReportsCursorAndHeldKeysWithButton) {
    TFakeDesktop Desktop;
    Desktop.Cursor = {7, 9};
    Desktop.Keys = Qt::ShiftModifier | Qt::ControlModifier;
    TTrayIcon Icon(Desktop.Handler, nullptr);
    TShiftState Shift = 0;
    QPoint At;
    Icon.OnMouseDown = [&](TTrayIcon&, TMouseButton, TShiftState S, int X, int Y) {
        Shift = S;
        At = {X, Y};
    };
    Desktop.Handler.TrayWindowProc(Icon, tmMButtonDown);
    EXPECT_EQ(Shift, ssShift | ssCtrl | ssMiddle);
    EXPECT_EQ(At, QPoint(7, 9));
}

TEST(TrayTableDetails, DoubleClickTriggersEnabledDefaultItemOnly) {
    struct TRow {
        bool HasDefault;
        bool DefaultEnabled;
        bool LeftPopup;
        int ExpectedTriggers;
    };
    for (const TRow Row : {TRow{false, true, false, 0}, TRow{true, true, false, 1},
                           TRow{true, false, false, 0}, TRow{true, true, true, 0}}) {
        TFakeDesktop Desktop;
        TTrayIcon Icon(Desktop.Handler, nullptr);
        QMenu Menu;
        QAction* First = Menu.addAction("Ripristina");
        QAction* Second = Menu.addAction("Chiudi");
        int Triggers = 0;
        QObject::connect(Second, &QAction::triggered, [&] { ++Triggers; });
        QObject::connect(First, &QAction::triggered, [&] { ADD_FAILURE() << "not the default"; });
        if (Row.HasDefault)
            Menu.setDefaultAction(Second);
        Second->setEnabled(Row.DefaultEnabled);
        Icon.SetPopupMenu(&Menu);
        Icon.SetLeftPopup(Row.LeftPopup);
        Desktop.Handler.TrayWindowProc(Icon, tmLButtonDblClk);
        EXPECT_EQ(Triggers, Row.ExpectedTriggers)
            << Row.HasDefault << Row.DefaultEnabled << Row.LeftPopup;
        Menu.close();
    }
}

TEST(TrayTableDetails, LeftPopupOpensMenuAtLeftPress) {
    TFakeDesktop Desktop;
    TTrayIcon Icon(Desktop.Handler, nullptr);
    QMenu Menu;
    Menu.addAction("Chiudi");
    Icon.SetPopupMenu(&Menu);
    Desktop.Handler.TrayWindowProc(Icon, tmLButtonDown);
    EXPECT_FALSE(Menu.isVisible());
    Icon.SetLeftPopup(true);
    Desktop.Handler.TrayWindowProc(Icon, tmLButtonDown);
    EXPECT_TRUE(Menu.isVisible());
    EXPECT_EQ(Menu.property(TTrayIcon::PopupComponentProperty).value<QObject*>(), &Icon);
    Menu.close();
}

TEST(TrayTableDetails, MenuForgetsAFreedOpener) {
    TFakeDesktop Desktop;
    QMenu Menu;
    {
        TTrayIcon Icon(Desktop.Handler, nullptr);
        Icon.SetPopupMenu(&Menu);
        Desktop.Handler.TrayWindowProc(Icon, tmRButtonDown);
        Menu.close();
    }
    EXPECT_FALSE(Menu.property(TTrayIcon::PopupComponentProperty).isValid());
}

// A handler that frees the component must not leave the table touching it.
TEST(TrayTableDetails, ComponentFreedInsideItsOwnClick) {
    TFakeDesktop Desktop;
    auto Icon = std::make_unique<TTrayIcon>(Desktop.Handler, nullptr);
    bool UpSeen = false;
    Icon->OnClick = [&](TTrayIcon&) { Icon.reset(); };
    Icon->OnMouseUp = [&](TTrayIcon&, TMouseButton, TShiftState, int, int) { UpSeen = true; };
    TTrayIcon& Ref = *Icon;
    Desktop.Handler.Activated(Ref, QSystemTrayIcon::Trigger);
    EXPECT_EQ(Icon, nullptr);
    EXPECT_FALSE(UpSeen);
}

} // namespace
