// SPDX-License-Identifier: GPL-3.0-or-later
// Real pings over loopback as root: the burst, its failure path, and the
// schedule running on real timers with shortened minutes.
#include "TPingPageFixture.h"

#include "ENetExceptions.h"
#include "RequireRoot.h"
#include "TextCount.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

using zirko::test::Count;

using namespace std::chrono_literals;

std::vector<int> Sequences(const QString& Pane) {
    static const QRegularExpression Seq(QStringLiteral("icmp_seq=(\\d+) "));
    std::vector<int> Out;
    for (auto It = Seq.globalMatch(Pane); It.hasNext();)
        Out.push_back(It.next().captured(1).toInt());
    return Out;
}

// Runs the event loop until Done() or the time is up.
template <typename P> void SpinUntil(P Done, std::chrono::milliseconds Limit) {
    QElapsedTimer Clock;
    Clock.start();
    while (!Done() && Clock.elapsed() < Limit.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(2ms);
    }
}

TEST(TPingBurst, FiveLinesWithConsecutiveSequencesAcrossBursts) {
    ZIRKO_REQUIRE_ROOT();
    TPingPageFixture F;
    F.Page.e_host->setText(QStringLiteral("127.0.0.1"));
    bool ButtonsDisabledDuringPings = true;
    F.Icmp.OnReply = [&](TNetIcmpClient& Sender, const TReplyStatus& Status) {
        ButtonsDisabledDuringPings &=
            !F.Page.btn_ping->isEnabled() && !F.Page.btn_auto->isEnabled();
        F.Monitor->ICMPReply(Sender, Status);
    };
    QElapsedTimer Clock;
    Clock.start();
    F.Monitor->btn_pingClick();
    // Five pauses of 500 ms follow the five pings.
    EXPECT_GE(Clock.elapsed(), 2500);
    EXPECT_EQ(F.PaneLines(), 5);
    EXPECT_EQ(F.Counters().n_ping, 5);
    EXPECT_EQ(F.Counters().n_pacchetti_persi, 0);
    EXPECT_EQ(F.Page.l_perc_persi->text().toStdString(), "0");
    EXPECT_TRUE(ButtonsDisabledDuringPings);
    EXPECT_TRUE(F.Page.btn_ping->isEnabled());
    EXPECT_TRUE(F.Page.btn_auto->isEnabled());
    EXPECT_TRUE(F.LastPaneLine().contains(QStringLiteral("bytes from 127.0.0.1: icmp_seq=")));

    F.Monitor->SetBurstPause(20ms);
    F.Monitor->btn_pingClick();
    const std::vector<int> Seq = Sequences(F.Page.re_ping->toPlainText());
    ASSERT_EQ(Seq.size(), 10u);
    for (size_t i = 1; i < Seq.size(); ++i)
        EXPECT_EQ(Seq[i], (Seq[i - 1] + 1) % 65536) << "line " << i;
    EXPECT_EQ(Count(F.LogText(), "Ping result: "), 10u);
}

TEST(TPingBurst, ThirdPingFailingLeavesTwoLinesAndEnablesBothButtons) {
    ZIRKO_REQUIRE_ROOT();
    TPingPageFixture F;
    F.Monitor->SetBurstPause(20ms);
    F.Page.e_host->setText(QStringLiteral("127.0.0.1"));
    int Replies = 0;
    F.Icmp.OnReply = [&](TNetIcmpClient& Sender, const TReplyStatus& Status) {
        F.Monitor->ICMPReply(Sender, Status);
        // From the third ping on the lookup fails inside Ping.
        if (++Replies == 2)
            Sender.SetHost(QStringLiteral("zirko-burst-%1.invalid")
                               .arg(QCoreApplication::applicationPid())
                               .toStdString());
    };
    EXPECT_THROW(F.Monitor->btn_pingClick(), ENetExceptionBase);
    EXPECT_EQ(F.PaneLines(), 2);
    EXPECT_EQ(F.Counters().n_ping, 2);
    EXPECT_TRUE(F.Page.btn_ping->isEnabled());
    EXPECT_TRUE(F.Page.btn_auto->isEnabled());
}

TEST(TPingBurst, BlankHostBecomesLocalHost) {
    ZIRKO_REQUIRE_ROOT();
    TPingPageFixture F;
    F.Monitor->SetBurstPause(20ms);
    F.Page.e_host->setText(QStringLiteral("  \t "));
    F.Monitor->btn_pingClick();
    EXPECT_EQ(F.Page.e_host->text().toStdString(), "127.0.0.1");
    EXPECT_EQ(F.Icmp.Host(), "127.0.0.1");
    EXPECT_EQ(F.Icmp.ReceiveTimeout(), 1000);
    EXPECT_EQ(F.PaneLines(), 5);
}

TEST(TPingBurst, ClearLogAndHostEditBetweenPings) {
    ZIRKO_REQUIRE_ROOT();
    TPingPageFixture F;
    F.Monitor->SetBurstPause(20ms);
    F.Page.e_host->setText(QStringLiteral("127.0.0.1"));
    int Replies = 0;
    F.Icmp.OnReply = [&](TNetIcmpClient& Sender, const TReplyStatus& Status) {
        F.Monitor->ICMPReply(Sender, Status);
        // Input queued now is handled in the event processing after this ping. The
        // new host text must not change the target of the running burst.
        if (++Replies == 2)
            QMetaObject::invokeMethod(
                F.Page.btn_clear_log,
                [&] {
                    F.Monitor->btn_clear_logClick();
                    F.Page.e_host->setText(QStringLiteral("zirko-edited.invalid"));
                },
                Qt::QueuedConnection);
    };
    F.Monitor->btn_pingClick();
    EXPECT_EQ(F.Counters().n_ping, 3);
    EXPECT_EQ(F.PaneLines(), 3);
    EXPECT_EQ(F.Counters().n_righe_log, 5);
    EXPECT_EQ(F.Page.l_n_ping->text().toStdString(), "3");
    EXPECT_EQ(F.Icmp.Host(), "127.0.0.1");
}

TEST(TPingTimer, ScheduleRunsPausesAndRunsAgain) {
    ZIRKO_REQUIRE_ROOT();
    TPingPageFixture F;
    // One "minute" of 500 ms and a ping tick of 100 ms keep the cycle's shape.
    F.Monitor->SetMinuteLength(500ms);
    F.Page.Timer->setInterval(100);
    F.Page.ud_minuti->setValue(1);
    F.Page.ud_ogni->setValue(1);
    for (QTimer* T : {F.Page.Timer, F.Page.T_Minuti, F.Page.T_Ogni})
        T->setTimerType(Qt::PreciseTimer);
    F.Page.e_host->setText(QStringLiteral("127.0.0.1"));
    // The cycle as it happened, read from the timers rather than from the clock (a
    // busy machine delays ticks): "p" per ping, "(" and ")" around the pause.
    std::string Cycle;
    bool InPause = false;
    const auto Mark = [&] {
        if (F.Page.T_Ogni->isActive() != InPause) {
            InPause = !InPause;
            Cycle += InPause ? '(' : ')';
        }
    };
    int Pings = 0;
    QElapsedTimer Clock;
    qint64 FirstPingMs = -1;
    F.Icmp.OnReply = [&](TNetIcmpClient& Sender, const TReplyStatus& Status) {
        FirstPingMs = FirstPingMs < 0 ? Clock.elapsed() : FirstPingMs;
        Mark();
        Cycle += 'p';
        ++Pings;
        F.Monitor->ICMPReply(Sender, Status);
    };
    Clock.start();
    F.Monitor->btn_autoClick();
    const std::regex SecondRun(R"(\)pp)");
    SpinUntil(
        [&] {
            Mark();
            return std::regex_search(Cycle, SecondRun);
        },
        10000ms);
    F.Monitor->btn_autoClick();
    // A run of 500 ms ticks up to five times, no ping in the pause, then the pings again.
    EXPECT_TRUE(std::regex_match(Cycle, std::regex(R"(p{2,5}\(\)pp)"))) << Cycle;
    EXPECT_GE(FirstPingMs, 90); // the first ping waits one tick
    EXPECT_EQ(F.Counters().n_ping, Pings);
    // Stopped: no tick comes any more.
    const int Stopped = Pings;
    SpinUntil([] { return false; }, 300ms);
    EXPECT_EQ(Pings, Stopped);
    EXPECT_EQ(F.Counters().n_righe_log, 0);
}

TEST(TPingTimer, TickArrivingWhileAPingRunsIsIgnored) {
    ZIRKO_REQUIRE_ROOT();
    TPingPageFixture F;
    F.Page.e_host->setText(QStringLiteral("127.0.0.1"));
    int Replies = 0;
    F.Icmp.OnReply = [&](TNetIcmpClient& Sender, const TReplyStatus& Status) {
        ++Replies;
        F.Monitor->ICMPReply(Sender, Status);
        // A tick handled while the first is still inside its ping.
        F.Monitor->TimerTimer();
    };
    F.Monitor->TimerTimer();
    EXPECT_EQ(Replies, 1);
    // The guard is released afterwards: the next tick pings again.
    F.Monitor->TimerTimer();
    EXPECT_EQ(Replies, 2);
    EXPECT_EQ(F.Counters().n_ping, 2);
}

} // namespace
