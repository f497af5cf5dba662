// SPDX-License-Identifier: GPL-3.0-or-later
// Bursts into a test network of namespaces reached from the test's own
// namespace: a silent target, a slow one, and an unreachable address.
#include "TPingPageFixture.h"

#include "RequireRoot.h"
#include "TIcmpPeer.h"
#include "TTestNetwork.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace std::chrono_literals;
using zirko::test::TIcmpPeer;
using zirko::test::TTestNetwork;
using zirko::test::TTestNetworkOptions;

class TPingNamespace : public ::testing::Test {
protected:
    void SetUp() override {
        ZIRKO_REQUIRE_ROOT();
        TTestNetworkOptions Options;
        Options.ClientIsRootNamespace = true;
        Options.UnreachableRoute = true;
        Net = std::make_unique<TTestNetwork>(Options);
        F = std::make_unique<TPingPageFixture>();
        F->Monitor->SetBurstPause(20ms);
    }
    void TearDown() override {
        F.reset();
        Net.reset();
    }
    void Burst(const std::string& Host) {
        F->Page.e_host->setText(QString::fromStdString(Host));
        F->Monitor->btn_pingClick();
    }
    std::unique_ptr<TTestNetwork> Net;
    std::unique_ptr<TPingPageFixture> F;
};

TEST_F(TPingNamespace, SilentTargetIsLostRedAndRaisesTheAlarm) {
    TIcmpPeer Peer(Net->Target(), "");
    F->Window->show();
    F->Page.ud_pacchetti_persi->setValue(3);
    Burst(Net->TargetAddress());
    EXPECT_EQ(F->Counters().n_ping, 5);
    EXPECT_EQ(F->Counters().n_pacchetti_persi, 5);
    EXPECT_EQ(F->Counters().n_persi_consecutivi, 5);
    EXPECT_EQ(F->Page.l_perc_persi->text().toStdString(), "100");
    EXPECT_EQ(F->Tray->IconIndex(), 2);
    EXPECT_TRUE(F->Page.l_pacchetti_persi->isVisible());
    // Timed out: no bytes, no address, no ttl, and the time spent waiting.
    EXPECT_TRUE(F->LastPaneLine().contains(QStringLiteral("\\0 bytes from 0.0.0.0: icmp_seq=")));
    EXPECT_TRUE(F->LastPaneLine().contains(QStringLiteral(" ttl=0 time=1")));
    EXPECT_GE(F->Counters().tot_time, 5 * 1000.0);

    // The first answer ends the run of losses and withdraws the alarm.
    Peer.Stop();
    TIcmpPeer Answering(Net->Target(), "reply");
    F->Page.ud_limite_media_ms->setValue(10000);
    F->Page.e_host->setText(QString::fromStdString(Net->TargetAddress()));
    F->Monitor->SetBurstPause(0ms);
    F->Monitor->TimerTimer();
    EXPECT_EQ(F->Counters().n_persi_consecutivi, 0);
    EXPECT_FALSE(F->Page.l_pacchetti_persi->isVisible());
    EXPECT_EQ(F->Tray->IconIndex(), 0);
}

TEST_F(TPingNamespace, SlowTargetShowsItsTimeAndPassesTheLimit) {
    TIcmpPeer Peer(Net->Target(), "wait:60,reply");
    F->Page.ud_limite_media_ms->setValue(50);
    Burst(Net->TargetAddress());
    EXPECT_EQ(F->Counters().n_pacchetti_persi, 0);
    EXPECT_GE(F->Counters().tot_time / F->Counters().n_ping, 60.0);
    EXPECT_EQ(F->Tray->IconIndex(), 1);
    EXPECT_TRUE(F->LastPaneLine().contains(
        QStringLiteral("bytes from %1: ").arg(QString::fromStdString(Net->TargetAddress()))));
    EXPECT_TRUE(F->LastPaneLine().contains(QStringLiteral(" ttl=63 time=6")));
}

TEST_F(TPingNamespace, UnreachableReportCountsAsAnswered) {
    // One timer ping: the router's ICMP errors are rate-limited by its kernel.
    F->Page.e_host->setText(QString::fromStdString(Net->UnreachableAddress()));
    F->Monitor->TimerTimer();
    EXPECT_EQ(F->Counters().n_ping, 1);
    EXPECT_EQ(F->Counters().n_pacchetti_persi, 0);
    EXPECT_EQ(F->Tray->IconIndex(), 0);
    // Logged like an echo reply, with the values the client put in the record.
    EXPECT_TRUE(F->LastPaneLine().contains(
        QStringLiteral("bytes from %1: ").arg(QString::fromStdString(Net->RouterAddress()))));
}

} // namespace
