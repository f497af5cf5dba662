// SPDX-License-Identifier: GPL-3.0-or-later
// The light timers' rules, with real (short) countdowns.
#include "TLightTimer.h"
#include "TLightTimerHandler.h"

#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

struct TTickCounter {
    int Ticks = 0;
    void Attach(TLightTimer& T) {
        T.OnTimer = [this](TLightTimer&) { ++Ticks; };
    }
};

TEST(LightTimer, ActiveOnlyWhenStartedWithAnInterval) {
    struct TRow {
        uint32_t Interval;
        bool ExpectActive;
    };
    for (const TRow Row : {TRow{0, false}, TRow{1, true}, TRow{1000, true}}) {
        TLightTimer T(Row.Interval);
        EXPECT_FALSE(T.Active());
        T.Start();
        EXPECT_EQ(T.Active(), Row.ExpectActive) << Row.Interval;
        T.Stop();
        EXPECT_FALSE(T.Active());
        T.SetActive(true);
        EXPECT_EQ(T.Active(), Row.ExpectActive) << Row.Interval;
    }
}

TEST(LightTimer, TicksUntilStopped) {
    TLightTimer T(10);
    TTickCounter Counter;
    Counter.Attach(T);
    T.Start();
    QTRY_VERIFY_WITH_TIMEOUT(Counter.Ticks >= 3, 5000);
    T.Stop();
    const int Stopped = Counter.Ticks;
    QTest::qWait(60);
    EXPECT_EQ(Counter.Ticks, Stopped);
}

TEST(LightTimer, ZeroIntervalHaltsWithoutClearingActive) {
    TLightTimer T(10);
    TTickCounter Counter;
    Counter.Attach(T);
    T.Start();
    T.SetInterval(0);
    EXPECT_TRUE(T.Active());
    QTest::qWait(80);
    EXPECT_EQ(Counter.Ticks, 0);
    // A later non-zero interval resumes the ticks.
    T.SetInterval(10);
    EXPECT_TRUE(T.Active());
    QTRY_VERIFY_WITH_TIMEOUT(Counter.Ticks >= 2, 5000);
}

TEST(LightTimer, IntervalWhileStoppedDoesNotStart) {
    TLightTimer T(0);
    TTickCounter Counter;
    Counter.Attach(T);
    T.SetInterval(10);
    EXPECT_FALSE(T.Active());
    QTest::qWait(60);
    EXPECT_EQ(Counter.Ticks, 0);
}

TEST(LightTimer, NewIntervalRestartsTheCountdown) {
    TLightTimer T(60);
    TTickCounter Counter;
    Counter.Attach(T);
    T.Start();
    QTest::qWait(30);
    T.SetInterval(5000); // the old 60 ms countdown must not fire
    QTest::qWait(120);
    EXPECT_EQ(Counter.Ticks, 0);
    EXPECT_TRUE(T.Active());
}

TEST(LightTimer, TimerFreedInsideItsOwnTick) {
    auto T = std::make_unique<TLightTimer>(5);
    T->OnTimer = [&](TLightTimer&) { T.reset(); };
    T->Start();
    QTRY_VERIFY_WITH_TIMEOUT(T == nullptr, 5000);
}

TEST(LightTimerHandler, SharedByAllTimersAndFreedWithTheLast) {
    ASSERT_EQ(TLightTimerHandler::Instance(), nullptr);
    auto A = std::make_unique<TLightTimer>();
    TLightTimerHandler* Shared = TLightTimerHandler::Instance();
    ASSERT_NE(Shared, nullptr);
    auto B = std::make_unique<TLightTimer>();
    EXPECT_EQ(TLightTimerHandler::Instance(), Shared);
    EXPECT_EQ(TLightTimerHandler::RefCount(), 2);
    EXPECT_EQ(Shared->TimerHost().children().size(), 2);
    A.reset();
    EXPECT_EQ(TLightTimerHandler::RefCount(), 1);
    EXPECT_EQ(Shared->TimerHost().children().size(), 1);
    B.reset();
    EXPECT_EQ(TLightTimerHandler::Instance(), nullptr);
}

} // namespace
