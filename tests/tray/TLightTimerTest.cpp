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

// Every timer of a test on a host of the test's own.
class LightTimer : public ::testing::Test {
protected:
    TLightTimerHandler Timers;
};

TEST_F(LightTimer, ActiveOnlyWhenStartedWithAnInterval) {
    struct TRow {
        uint32_t Interval;
        bool ExpectActive;
    };
    for (const TRow Row : {TRow{0, false}, TRow{1, true}, TRow{1000, true}}) {
        TLightTimer T(Timers, Row.Interval);
        EXPECT_FALSE(T.Active());
        T.Start();
        EXPECT_EQ(T.Active(), Row.ExpectActive) << Row.Interval;
        T.Stop();
        EXPECT_FALSE(T.Active());
        T.SetActive(true);
        EXPECT_EQ(T.Active(), Row.ExpectActive) << Row.Interval;
    }
}

TEST_F(LightTimer, TicksUntilStopped) {
    TLightTimer T(Timers, 10);
    TTickCounter Counter;
    Counter.Attach(T);
    T.Start();
    QTRY_VERIFY_WITH_TIMEOUT(Counter.Ticks >= 3, 5000);
    T.Stop();
    const int Stopped = Counter.Ticks;
    QTest::qWait(60);
    EXPECT_EQ(Counter.Ticks, Stopped);
}

TEST_F(LightTimer, ZeroIntervalHaltsWithoutClearingActive) {
    TLightTimer T(Timers, 10);
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

TEST_F(LightTimer, IntervalWhileStoppedDoesNotStart) {
    TLightTimer T(Timers, 0);
    TTickCounter Counter;
    Counter.Attach(T);
    T.SetInterval(10);
    EXPECT_FALSE(T.Active());
    QTest::qWait(60);
    EXPECT_EQ(Counter.Ticks, 0);
}

TEST_F(LightTimer, NewIntervalRestartsTheCountdown) {
    TLightTimer T(Timers, 60);
    TTickCounter Counter;
    Counter.Attach(T);
    T.Start();
    QTest::qWait(30);
    T.SetInterval(5000); // the old 60 ms countdown must not fire
    QTest::qWait(120);
    EXPECT_EQ(Counter.Ticks, 0);
    EXPECT_TRUE(T.Active());
}

TEST_F(LightTimer, TimerFreedInsideItsOwnTick) {
    auto T = std::make_unique<TLightTimer>(Timers, 5);
    T->OnTimer = [&](TLightTimer&) { T.reset(); };
    T->Start();
    QTRY_VERIFY_WITH_TIMEOUT(T == nullptr, 5000);
}

TEST_F(LightTimer, HandlerHostsAndCountsEveryTimer) {
    auto A = std::make_unique<TLightTimer>(Timers);
    auto B = std::make_unique<TLightTimer>(Timers);
    EXPECT_EQ(Timers.RefCount(), 2);
    EXPECT_EQ(Timers.TimerHost().children().size(), 2);
    A.reset();
    EXPECT_EQ(Timers.RefCount(), 1);
    EXPECT_EQ(Timers.TimerHost().children().size(), 1);
    B.reset();
    EXPECT_EQ(Timers.RefCount(), 0);
    EXPECT_TRUE(Timers.TimerHost().children().isEmpty());
}

} // namespace
