// SPDX-License-Identifier: GPL-3.0-or-later
// Settings of the component that shape what the tray shows.
#include "TrayTestSupport.h"

#include <QMenu>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QColor Colours[] = {Qt::gray, Qt::yellow, Qt::red};

std::unique_ptr<TImageList> ThreeImages() {
    auto List = std::make_unique<TImageList>();
    for (const QColor& C : Colours)
        List->Add(SolidIcon(C));
    return List;
}

TEST(TrayIconIndex, ClampsToTheListAndShowsThatImage) {
    struct TRow {
        bool WithList;
        int Value;
        int ExpectedIndex;
        QColor ExpectedShown; // invalid: the icon set before stays
    };
    const QColor Before = Qt::blue;
    TTrayIconHandler Tray;
    for (const TRow Row :
         {TRow{true, 5, 2, Qt::red}, TRow{true, 3, 2, Qt::red}, TRow{true, 1, 1, Qt::yellow},
          TRow{true, 0, 0, Qt::gray}, TRow{true, -1, -1, QColor()}, TRow{false, 5, 0, QColor()},
          TRow{false, 2, 0, QColor()}}) {
        TTrayIcon Icon(Tray, nullptr);
        auto List = ThreeImages();
        if (Row.WithList)
            Icon.SetIconList(List.get());
        Icon.SetIcon(SolidIcon(Before));
        Icon.SetIconIndex(Row.Value);
        const QColor Shown = Row.ExpectedShown.isValid() ? Row.ExpectedShown : Before;
        EXPECT_EQ(Icon.IconIndex(), Row.ExpectedIndex) << Row.WithList << " " << Row.Value;
        EXPECT_EQ(CornerOf(Icon.Icon()), Shown.rgb() & 0xFFFFFF) << Row.Value;
        EXPECT_EQ(CornerOf(Icon.SystemTrayIcon().icon()), Shown.rgb() & 0xFFFFFF) << Row.Value;
    }
}

TEST(TrayIconIndex, AttachingAListShowsImageZero) {
    TTrayIconHandler Tray;
    TTrayIcon Icon(Tray, nullptr);
    auto List = ThreeImages();
    Icon.SetIconList(List.get());
    Icon.SetIconIndex(2);
    auto Other = ThreeImages();
    Icon.SetIconList(Other.get());
    EXPECT_EQ(Icon.IconIndex(), 0);
    EXPECT_EQ(CornerOf(Icon.SystemTrayIcon().icon()), QColor(Qt::gray).rgb() & 0xFFFFFF);
}

TEST(TrayIconIndex, NoImageGivesABlankIconNotNone) {
    TTrayIconHandler Tray;
    TTrayIcon Icon(Tray, nullptr);
    EXPECT_TRUE(Icon.Icon().isNull());
    EXPECT_FALSE(Icon.SystemTrayIcon().icon().isNull());
    EXPECT_EQ(qAlpha(Icon.SystemTrayIcon().icon().pixmap(16, 16).toImage().pixel(8, 8)), 0);
}

TEST(TrayHint, TooltipIsTheHintCutOrNothing) {
    const QString Long(200, QChar('a'));
    // 126 letters and then a character outside the basic plane (two units).
    const QString Pair = QString(126, QChar('b')) + QString::fromUtf8("\xF0\x9F\x93\xA1") + "c";
    struct TRow {
        const char* Name;
        QString Hint;
        bool ShowHint;
        QString Expected;
    };
    TTrayIconHandler Tray;
    for (const TRow& Row : {TRow{"long", Long, true, Long.left(127)},
                            TRow{"exact", Long.left(127), true, Long.left(127)},
                            TRow{"short", "Zirko", true, "Zirko"}, TRow{"empty", "", true, ""},
                            TRow{"hidden", "Zirko", false, ""},
                            TRow{"surrogate at the cut", Pair, true, Pair.left(126)}}) {
        TTrayIcon Icon(Tray, nullptr);
        Icon.SetHint(Row.Hint);
        Icon.SetShowHint(Row.ShowHint);
        EXPECT_EQ(Icon.TipText(), Row.Expected) << Row.Name;
        EXPECT_EQ(Icon.SystemTrayIcon().toolTip(), Row.Expected) << Row.Name;
        EXPECT_EQ(Icon.Hint(), Row.Hint) << Row.Name;
    }
}

TEST(TrayReferences, FreeingTheListFirstLeavesNoDanglingReference) {
    TTrayIconHandler Tray;
    TTrayIcon Icon(Tray, nullptr);
    auto List = ThreeImages();
    Icon.SetIconList(List.get());
    Icon.SetIconIndex(2);
    List.reset();
    EXPECT_EQ(Icon.IconList(), nullptr);
    EXPECT_EQ(Icon.IconIndex(), 0);
    Icon.SetIconIndex(2); // would read the freed list
    Icon.SetCycleIcons(true);
    Icon.CycleTimerStep();
    EXPECT_EQ(Icon.IconIndex(), 0);
}

TEST(TrayReferences, FreeingTheMenuFirstLeavesNoDanglingReference) {
    TFakeDesktop Desktop;
    TTrayIcon Icon(Desktop.Handler, nullptr);
    auto Menu = std::make_unique<QMenu>();
    Icon.SetPopupMenu(Menu.get());
    Menu.reset();
    EXPECT_EQ(Icon.PopupMenu(), nullptr);
    TEventLog Log;
    Log.Attach(Icon);
    Desktop.Handler.TrayWindowProc(Icon, tmRButtonDown);
    Desktop.Handler.TrayWindowProc(Icon, tmLButtonDblClk);
    EXPECT_EQ(Log.Events, std::vector<std::string>{"Down R"});
}

// The icons of one handler count on it and share its one light-timer host.
TEST(TrayHandler, OneReferenceCountedReceiverForAllIcons) {
    TTrayIconHandler Tray;
    const QObject& Host = Tray.LightTimers().TimerHost();
    ASSERT_EQ(Tray.RefCount(), 0);
    ASSERT_TRUE(Host.children().isEmpty());
    {
        auto First = std::make_unique<TTrayIcon>(Tray, nullptr);
        EXPECT_EQ(Tray.RefCount(), 1);
        const qsizetype PerIcon = Host.children().size();
        EXPECT_EQ(PerIcon, 4) << "each of the icon's timers on the shared host";
        TTrayIcon Second(Tray, nullptr);
        EXPECT_EQ(Tray.RefCount(), 2);
        EXPECT_EQ(Host.children().size(), 2 * PerIcon);
        First.reset();
        EXPECT_EQ(Tray.RefCount(), 1);
        EXPECT_EQ(Host.children().size(), PerIcon);
    }
    EXPECT_EQ(Tray.RefCount(), 0);
    EXPECT_TRUE(Host.children().isEmpty());
}

TEST(TrayVisibility, IconVisibleAddsAndRemoves) {
    TTrayIconHandler Tray;
    TTrayIcon Icon(Tray, nullptr);
    EXPECT_FALSE(Icon.IconVisible());
    EXPECT_FALSE(Icon.SystemTrayIcon().isVisible());
    Icon.SetIconVisible(true);
    EXPECT_TRUE(Icon.IconVisible());
    EXPECT_TRUE(Icon.SystemTrayIcon().isVisible());
    Icon.SetIconVisible(false);
    EXPECT_FALSE(Icon.SystemTrayIcon().isVisible());
}

TEST(TrayVisibility, AHeldDockWaitsForItsReleaseAndKeepsTheSetting) {
    const struct TRow { bool VisibleAtRelease; } Rows[] = {{true}, {false}};
    for (const TRow& Row : Rows) {
        TTrayIconHandler Tray;
        TTrayIcon Icon(Tray, nullptr);
        Icon.HoldDock();
        Icon.SetIconVisible(true);
        EXPECT_TRUE(Icon.IconVisible());
        EXPECT_FALSE(Icon.SystemTrayIcon().isVisible());
        Icon.SetIconVisible(Row.VisibleAtRelease);
        Icon.ReleaseDock();
        EXPECT_EQ(Icon.SystemTrayIcon().isVisible(), Row.VisibleAtRelease);
    }
}

TEST(TrayOwner, HideAndRestoreKeepTheIcon) {
    TTrayIconHandler Tray;
    QWidget Window;
    TTrayIcon Icon(Tray, &Window);
    Icon.SetIconVisible(true);
    Window.show();
    for (int i = 0; i < 10; ++i) {
        Icon.HideMainWindow();
        EXPECT_FALSE(Window.isVisible());
        Icon.RestoreMainWindow();
        EXPECT_TRUE(Window.isVisible());
        EXPECT_TRUE(Icon.SystemTrayIcon().isVisible());
    }
    Window.showMinimized();
    Icon.RestoreMainWindow();
    EXPECT_FALSE(Window.isMinimized());
    EXPECT_TRUE(Window.isVisible());
}

TEST(TrayOwner, WithoutAWindowHideAndRestoreDoNothing) {
    TTrayIconHandler Tray;
    QWidget Parent;
    auto* Child = new QWidget(&Parent); // owned by Parent
    Parent.show();
    TTrayIcon OnChild(Tray, Child);
    OnChild.HideMainWindow();
    EXPECT_TRUE(Child->isVisible());
    TTrayIcon Ownerless(Tray, nullptr);
    Ownerless.HideMainWindow();
    Ownerless.RestoreMainWindow();
    EXPECT_EQ(Ownerless.Owner(), nullptr);
}

TEST(TrayOwner, StartupEventMayKeepTheOwnerHidden) {
    TTrayIconHandler Tray;
    for (const bool Show : {true, false}) {
        QWidget Window;
        Window.show();
        TTrayIcon Icon(Tray, &Window);
        int Asked = 0;
        Icon.OnStartup = [&](TTrayIcon&, bool& ShowMainForm) {
            ++Asked;
            EXPECT_TRUE(ShowMainForm);
            ShowMainForm = Show;
        };
        Icon.SetIconVisible(true);
        Icon.Loaded();
        EXPECT_EQ(Asked, 1);
        EXPECT_EQ(Window.isVisible(), Show);
        EXPECT_TRUE(Icon.SystemTrayIcon().isVisible());
    }
}

TEST(TrayOwner, OwnerFreesTheComponent) {
    TTrayIconHandler Tray;
    auto Window = std::make_unique<QWidget>();
    QPointer<TTrayIcon> Icon = new TTrayIcon(Tray, Window.get()); // owned by Window
    Icon->SetIconVisible(true);
    Window.reset();
    EXPECT_TRUE(Icon.isNull());
    EXPECT_EQ(Tray.RefCount(), 0);
}

} // namespace
