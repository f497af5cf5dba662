// SPDX-License-Identifier: GPL-3.0-or-later
// A peer that floods the client with foreign ICMP of every type, truncated and oversized
// datagrams and wrong sequences around each request, during a burst and during automatic
// monitoring. Only the matching reply or a timeout may come out of it.
#include "TPingPageFixture.h"

#include "RequireRoot.h"
#include "TIcmpPeer.h"
#include "TNetNamespaceScope.h"
#include "TTestNetwork.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using zirko::test::TIcmpPeer;
using zirko::test::TNetNamespaceScope;
using zirko::test::TTestNetwork;

// Every ICMP type quoting another request of ours, then the malformed and the mismatched.
std::string Flood() {
    std::string Actions;
    for (int Type = 0; Type < 256; ++Type)
        Actions += "foreign:" + std::to_string(Type) + ",";
    return Actions + "foreign-quote:0,foreign-quote:8,short,oversized:1400,oversized:65000,"
                     "reply-seq:1,reply-seq:-1,reply-seq:300,stream:1:20";
}

struct TSeen {
    TReplyStatus Status;
    uint16_t Sent = 0;
};

class THostileNetwork : public ::testing::Test {
protected:
    void SetUp() override {
        ZIRKO_REQUIRE_ROOT();
        Net = std::make_unique<TTestNetwork>();
        F = std::make_unique<TPingPageFixture>();
        F->Monitor->SetBurstPause(20ms);
        F->Page.e_host->setText(QString::fromStdString(Net->TargetAddress()));
        WatchReplies();
    }
    void WatchReplies() {
        F->Icmp.OnReply = [this](TNetIcmpClient& Sender, const TReplyStatus& Status) {
            // The counter moves on only after this event: it is the number just sent.
            Seen.push_back({Status, Sender.SequenceCounter()});
            F->Monitor->ICMPReply(Sender, Status);
        };
    }
    void TearDown() override {
        F.reset();
        Net.reset();
    }

    // Each result is the target's own reply to the number sent, or a plain timeout that
    // the flood did not stretch; the counters, the pane and the log agree with them.
    void ExpectOnly(bool Answered, int32_t MessagesBefore) {
        for (size_t i = 0; i < Seen.size(); ++i) {
            SCOPED_TRACE("ping " + std::to_string(i));
            const TReplyStatus& S = Seen[i].Status;
            EXPECT_EQ(S.Sequence, Seen[i].Sent);
            EXPECT_EQ(S.Status, Answered ? skEchoReply : skTimedOut);
            if (Answered) {
                EXPECT_EQ(S.IcmpType, 0);
                EXPECT_EQ(S.ReplyBytes, 72);
                EXPECT_EQ(S.FromAddress, Net->TargetAddress());
            } else {
                EXPECT_EQ(S.ReplyBytes, 0);
                EXPECT_GE(S.RoundTripMs, uint32_t(TPingMonitor::ReceiveTimeoutMs));
                EXPECT_LE(S.RoundTripMs, uint32_t(TPingMonitor::ReceiveTimeoutMs + 300));
            }
        }
        const auto Count = static_cast<int32_t>(Seen.size());
        EXPECT_EQ(F->Counters().n_ping, Count);
        EXPECT_EQ(F->Counters().n_pacchetti_persi, Answered ? 0 : Count);
        EXPECT_EQ(F->PaneLines(), Count);
        EXPECT_EQ(F->Agente.MessageCount() - MessagesBefore, Count);
        EXPECT_EQ(F->Agente.WarningCount(), 0);
    }
    void StartRow() {
        F->RestartMonitor();
        WatchReplies();
        F->Page.re_ping->clear();
        Seen.clear();
    }

    std::unique_ptr<TTestNetwork> Net;
    std::unique_ptr<TPingPageFixture> F;
    std::vector<TSeen> Seen;
};

struct TRow {
    const char* Name;
    std::string Actions;
    bool Answered;
};

std::vector<TRow> Rows() {
    return {
        {"flood before the reply", Flood() + ",wait:150,reply", true},
        {"flood and no reply", Flood(), false},
        {"reply inside the flood", "foreign:3,foreign:11,foreign:5,reply-seq:1,reply," + Flood(),
         true},
    };
}

TEST_F(THostileNetwork, BurstKeepsOnlyTheMatchingReplyOrATimeout) {
    for (const TRow& R : Rows()) {
        SCOPED_TRACE(R.Name);
        StartRow();
        const int32_t Messages = F->Agente.MessageCount();
        TIcmpPeer Peer(Net->Target(), R.Actions);
        {
            TNetNamespaceScope InClient(*Net->Client());
            EXPECT_NO_THROW(F->Monitor->btn_pingClick());
        }
        EXPECT_EQ(Seen.size(), size_t(TPingMonitor::BurstPings));
        ExpectOnly(R.Answered, Messages);
    }
}

TEST_F(THostileNetwork, AutomaticMonitoringKeepsOnlyTheMatchingReplyOrATimeout) {
    // Shortened schedule on the same timers: a tick every 200 ms, one second on, one off.
    F->Monitor->SetMinuteLength(1000ms);
    F->Page.Timer->setInterval(200);
    F->Page.ud_minuti->setValue(1);
    F->Page.ud_ogni->setValue(1);
    for (const TRow& R : Rows()) {
        SCOPED_TRACE(R.Name);
        StartRow();
        const int32_t Messages = F->Agente.MessageCount();
        TIcmpPeer Peer(Net->Target(), R.Actions);
        {
            TNetNamespaceScope InClient(*Net->Client());
            F->Monitor->btn_autoClick();
            QElapsedTimer Clock;
            Clock.start();
            const size_t Wanted = R.Answered ? 12 : 3;
            while (Seen.size() < Wanted && Clock.elapsed() < 20000) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
                std::this_thread::sleep_for(2ms);
            }
            F->Monitor->btn_autoClick();
        }
        ASSERT_GE(Seen.size(), R.Answered ? 12u : 3u);
        ExpectOnly(R.Answered, Messages);
    }
}

} // namespace
