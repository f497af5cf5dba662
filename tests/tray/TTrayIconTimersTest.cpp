// SPDX-License-Identifier: GPL-3.0-or-later
// Behaviour that runs on the component's timers, and the Qt activations.
#include "TrayTestSupport.h"

#include <QElapsedTimer>
#include <QMenu>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

using TEvents = std::vector<std::string>;

void Send(TTrayIcon& Icon, std::initializer_list<uint32_t> Messages) {
    for (const uint32_t M : Messages)
        Icon.Handler().TrayWindowProc(Icon, M);
}

int CountOf(const TEvents& Events, const std::string& Word) {
    return static_cast<int>(std::count(Events.begin(), Events.end(), Word));
}

TEST(ClickDeferral, SingleClickWaitsOneDoubleClickInterval) {
    TFakeDesktop Desktop;
    Desktop.DoubleClickTime = 150;
    TTrayIcon Icon(Desktop.Handler, nullptr);
    TEventLog Log;
    Log.Attach(Icon, true);
    QElapsedTimer Since;
    Since.start();
    Send(Icon, {tmLButtonDown, tmLButtonUp});
    EXPECT_EQ(Log.Events, (TEvents{"Down L", "Up L"}));
    EXPECT_TRUE(Icon.ClickTimer().Active());
    EXPECT_EQ(Icon.ClickTimer().Interval(), 150u);
    QTRY_VERIFY_WITH_TIMEOUT(CountOf(Log.Events, "Click") == 1, 5000);
    // Coarse timers may fire a little early, never a third of the span early.
    EXPECT_GE(Since.elapsed(), 100);
    EXPECT_FALSE(Icon.ClickTimer().Active());
    QTest::qWait(200);
    EXPECT_EQ(Log.Events, (TEvents{"Down L", "Up L", "Click"}));
}

TEST(ClickDeferral, DoubleClickGivesNoClick) {
    TFakeDesktop Desktop;
    Desktop.DoubleClickTime = 40;
    TTrayIcon Icon(Desktop.Handler, nullptr);
    TEventLog Log;
    Log.Attach(Icon, true);
    Send(Icon, {tmLButtonDown, tmLButtonUp, tmLButtonDblClk, tmLButtonUp});
    QTest::qWait(150);
    EXPECT_EQ(Log.Events, (TEvents{"Down L", "Up L", "DblClick", "Up L"}));
    EXPECT_FALSE(Icon.ClickTimer().Active());
}

TEST(ClickDeferral, ReleaseAfterTheIntervalClicksAtOnce) {
    TFakeDesktop Desktop;
    Desktop.DoubleClickTime = 20;
    TTrayIcon Icon(Desktop.Handler, nullptr);
    TEventLog Log;
    Log.Attach(Icon, true);
    Send(Icon, {tmLButtonDown});
    QTRY_VERIFY_WITH_TIMEOUT(!Icon.ClickTimer().Active(), 5000);
    EXPECT_EQ(Log.Events, (TEvents{"Down L"}));
    Send(Icon, {tmLButtonUp});
    EXPECT_EQ(Log.Events, (TEvents{"Down L", "Click", "Up L"}));
}

TEST(ClickDeferral, StepWithoutPendingClickDoesNothingAndResets) {
    TFakeDesktop Desktop;
    TTrayIcon Icon(Desktop.Handler, nullptr);
    TEventLog Log;
    Log.Attach(Icon, true);
    Send(Icon, {tmLButtonDown, tmLButtonUp, tmLButtonDblClk, tmLButtonUp});
    Icon.ClickTimerStep();
    // The next single click is no longer taken for a double click.
    Send(Icon, {tmLButtonDown, tmLButtonUp});
    Icon.ClickTimerStep();
    EXPECT_EQ(CountOf(Log.Events, "Click"), 1);
    EXPECT_EQ(CountOf(Log.Events, "DblClick"), 1);
}

// --- Qt activations --------------------------------------------------------

struct TActivationRow {
    const char* Name;
    std::vector<QSystemTrayIcon::ActivationReason> Reasons;
    TEvents Expected;
    int Restores;
};

class QtActivationOnMainWindow : public ::testing::TestWithParam<TActivationRow> {};

// The main window's set-up: OnClick restores, no OnDblClick, a menu without default.
TEST_P(QtActivationOnMainWindow, GivesTheObservableOrder) {
    const TActivationRow& Row = GetParam();
    TFakeDesktop Desktop;
    QWidget Window;
    TTrayIcon Icon(Desktop.Handler, &Window);
    QMenu Menu;
    Menu.addAction("Nascondi");
    Menu.addAction("Ripristina");
    Icon.SetPopupMenu(&Menu);
    TEventLog Log;
    Log.Attach(Icon);
    int Restores = 0;
    Icon.OnClick = [&](TTrayIcon& Sender) {
        Log.Events.push_back("Click");
        ++Restores;
        Sender.RestoreMainWindow();
    };
    QObject::connect(&Menu, &QMenu::aboutToShow, [&] { Log.Events.push_back("Menu"); });
    for (const auto Reason : Row.Reasons)
        Desktop.Handler.Activated(Icon, Reason);
    EXPECT_EQ(Log.Events, Row.Expected);
    EXPECT_EQ(Restores, Row.Restores);
    EXPECT_EQ(Window.isVisible(), Row.Restores > 0);
    Menu.close();
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, QtActivationOnMainWindow,
    ::testing::Values(
        TActivationRow{"LeftClick", {QSystemTrayIcon::Trigger}, {"Down L", "Click", "Up L"}, 1},
        TActivationRow{"DoubleClickRestoresOnce",
                       {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick},
                       {"Down L", "Click", "Up L", "Up L"},
                       1},
        TActivationRow{
            "RightPressMenuOnce", {QSystemTrayIcon::Context}, {"Down R", "Menu", "Up R"}, 0},
        TActivationRow{"Middle", {QSystemTrayIcon::MiddleClick}, {"Down M", "Up M"}, 0},
        TActivationRow{"Unknown", {QSystemTrayIcon::Unknown}, {}, 0}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(QtActivation, DisabledIconGivesNoEventsAndNoMenu) {
    TFakeDesktop Desktop;
    TTrayIcon Icon(Desktop.Handler, nullptr);
    QMenu Menu;
    Menu.addAction("Chiudi");
    Icon.SetPopupMenu(&Menu);
    Icon.SetEnabled(false);
    Icon.SetIconVisible(true);
    TEventLog Log;
    Log.Attach(Icon);
    for (const auto R : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick,
                         QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick})
        Desktop.Handler.Activated(Icon, R);
    EXPECT_TRUE(Log.Events.empty());
    EXPECT_FALSE(Menu.isVisible());
    EXPECT_TRUE(Icon.SystemTrayIcon().isVisible());
}

// --- cycling ---------------------------------------------------------------

TEST(Cycling, ShowsEachImageAndAnnouncesTheNext) {
    TTrayIconHandler Tray;
    TTrayIcon Icon(Tray, nullptr);
    TImageList List;
    const QColor Colours[] = {Qt::gray, Qt::yellow, Qt::red};
    for (const QColor& C : Colours)
        List.Add(SolidIcon(C));
    Icon.SetIconList(&List);
    Icon.SetIconIndex(2);
    std::vector<int> Next;
    std::vector<QRgb> ShownAtEvent;
    Icon.OnCycle = [&](TTrayIcon& Sender, int NextIndex) {
        Next.push_back(NextIndex);
        ShownAtEvent.push_back(CornerOf(Sender.SystemTrayIcon().icon()));
    };
    Icon.SetCycleIcons(true); // back to image 0; no interval, so no ticks
    EXPECT_EQ(Icon.IconIndex(), 0);
    EXPECT_FALSE(Icon.CycleTimer().Active());
    std::vector<int> Indexes;
    for (int i = 0; i < 4; ++i) {
        Icon.CycleTimerStep();
        Indexes.push_back(Icon.IconIndex());
    }
    EXPECT_EQ(Next, (std::vector<int>{1, 2, 0, 1}));
    EXPECT_EQ(Indexes, (std::vector<int>{1, 2, 0, 1}));
    const QRgb G = QColor(Qt::gray).rgb() & 0xFFFFFF, Y = QColor(Qt::yellow).rgb() & 0xFFFFFF,
               Rd = QColor(Qt::red).rgb() & 0xFFFFFF;
    EXPECT_EQ(ShownAtEvent, (std::vector<QRgb>{G, Y, Rd, G}));
}

TEST(Cycling, IntervalDrivesTheTimer) {
    TTrayIconHandler Tray;
    TTrayIcon Icon(Tray, nullptr);
    TImageList List;
    List.Add(SolidIcon(Qt::gray));
    List.Add(SolidIcon(Qt::red));
    Icon.SetIconList(&List);
    int Cycles = 0;
    Icon.OnCycle = [&](TTrayIcon&, int) { ++Cycles; };
    Icon.SetCycleIcons(true);
    Icon.SetCycleInterval(15);
    EXPECT_TRUE(Icon.CycleTimer().Active());
    EXPECT_EQ(Icon.CycleTimer().Interval(), 15u);
    QTRY_VERIFY_WITH_TIMEOUT(Cycles >= 3, 5000);
    Icon.SetCycleIcons(false);
    EXPECT_FALSE(Icon.CycleTimer().Active());
    const int Stopped = Cycles;
    QTest::qWait(60);
    EXPECT_EQ(Cycles, Stopped);
}

// --- enter and exit --------------------------------------------------------

TEST(EnterExit, ExitWhenTheCursorLeavesThenEnterAgain) {
    TFakeDesktop Desktop;
    TTrayIcon Icon(Desktop.Handler, nullptr);
    TEventLog Log;
    Log.Attach(Icon);
    Icon.SetWantEnterExitEvents(true);
    EXPECT_TRUE(Icon.ExitTimer().Active());
    EXPECT_EQ(Icon.ExitTimer().Interval(), 20u);
    Desktop.Cursor = {10, 10};
    Send(Icon, {tmMouseMove});
    Icon.ExitTimerStep(); // still where the last move was
    Desktop.Cursor = {11, 10};
    Icon.ExitTimerStep();
    Icon.ExitTimerStep(); // already outside: reported once
    Send(Icon, {tmMouseMove});
    EXPECT_EQ(Log.Events, (TEvents{"Enter", "Move", "Exit", "Enter", "Move"}));
    Icon.SetWantEnterExitEvents(false);
    EXPECT_FALSE(Icon.ExitTimer().Active());
}

TEST(EnterExit, TimerNoticesTheCursorLeaving) {
    TFakeDesktop Desktop;
    TTrayIcon Icon(Desktop.Handler, nullptr);
    TEventLog Log;
    Log.Attach(Icon);
    Icon.SetWantEnterExitEvents(true);
    Send(Icon, {tmMouseMove});
    QTest::qWait(60);
    EXPECT_EQ(CountOf(Log.Events, "Exit"), 0);
    Desktop.Cursor += QPoint(5, 0);
    QTRY_VERIFY_WITH_TIMEOUT(CountOf(Log.Events, "Exit") == 1, 5000);
}

} // namespace
