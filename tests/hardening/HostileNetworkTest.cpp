// SPDX-License-Identifier: GPL-3.0-or-later
// A peer that floods the client with foreign ICMP of every type, truncated and oversized
// datagrams and wrong sequences around each request, during a burst and during automatic
// monitoring. Only the matching reply or a timeout may come out of it.
#include "TPingPageFixture.h"

#include "RequireRoot.h"
#include "TIcmpPeer.h"
#include "TNetContext.h"
#include "TNetNamespaceScope.h"
#include "TNetProbeEngine.h"
#include "TNetSocketHelper.h"
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
using zirko::test::TTestNetworkOptions;

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

// One probe of the trace's engine, run to its end (bounded in turns and time).
std::vector<TNetProbeResult> ProbeOnce(TNetContext& AContext, const std::string& ATarget) {
    TNetProbeEngine Engine(AContext);
    Engine.Open(ATarget);
    Engine.Queue(64, 1, 300);
    std::vector<TNetProbeResult> Got;
    for (int Turn = 0; Turn < 400 && Got.empty(); ++Turn) {
        const auto Results = Engine.Process();
        Got.insert(Got.end(), Results.begin(), Results.end());
        std::this_thread::sleep_for(2ms);
    }
    return Got;
}

// The forgeries a sender on the path can make around each request, then the target's own
// reply among them, over every transport and family, for the Ping page's client and the
// trace's engine. A forgery leaves the wait running; the reply counts as it came. On
// loopback the kernel's reply counts, with its own TTL.
TEST_F(THostileNetwork, ForgedAnswersNeverCountOnAnyTransport) {
    TTestNetwork Net6(TTestNetworkOptions{.IPv6 = true});
    Net6.Client()->SetPingGroupRange(0, 0); // root may open datagram sockets too
    // Another address of the target's namespace, routed back through the router.
    const std::string T4 = Net6.TargetAddress(), T6 = Net6.TargetAddress6();
    const std::string Other4 = T4.substr(0, T4.rfind('.')) + ".100";
    const std::string Other6 = T6.substr(0, T6.rfind(':')) + ":99";
    Net6.Target().Ip({"addr", "add", Other4 + "/32", "dev", "lo"});
    Net6.Target().Ip({"-6", "addr", "add", Other6 + "/128", "dev", "lo", "nodad"});
    Net6.Router().Ip({"route", "add", Other4 + "/32", "via", T4});
    Net6.Router().Ip({"-6", "route", "add", Other6 + "/128", "via", T6});
    struct TForgery {
        const char* Name;
        std::string Actions; // OTHER stands for the other address of the request's family
        bool Answered;
    };
    const std::vector<TForgery> Rows{
        {"an echo request with its identifier and sequence", "echo-request", false},
        {"the right reply from another address", "from:OTHER,reply", false},
        {"a reply of another identifier", "reply-id:1", false},
        {"unreachable from elsewhere quoting another request of this sequence",
         "from:OTHER,unreachable-id:1", false},
        {"the target's reply after forgeries", "echo-request,reply-id:1,unreachable-id:1,reply",
         true},
        {"loopback", "", true},
    };
    const std::vector<std::pair<const char*, TNetIcmpSocketPolicy>> Transports{
        {"raw", TNetIcmpSocketPolicy::RawOnly},
        {"datagram", TNetIcmpSocketPolicy::DatagramOnly},
        {"helper", TNetIcmpSocketPolicy::RawOnly}};
    for (const TForgery& R : Rows) {
        SCOPED_TRACE(R.Name);
        const bool Loopback = std::string(R.Name) == "loopback";
        for (const bool V6 : {false, true}) {
            SCOPED_TRACE(V6 ? "IPv6" : "IPv4");
            std::string Actions = R.Actions;
            if (const auto At = Actions.find("OTHER"); At != std::string::npos) {
                Actions.replace(At, 5, V6 ? Other6 : Other4);
            }
            TIcmpPeer Peer(Net6.Target(), Actions);
            const std::string Target = Loopback ? (V6 ? "::1" : "127.0.0.1") : V6 ? T6 : T4;
            for (const auto& [Name, Policy] : Transports) {
                SCOPED_TRACE(Name);
                TNetNamespaceScope InClient(*Net6.Client());
                TNetSocketHelper Helper;
                TNetContext Context;
                if (std::string(Name) == "helper") {
                    ASSERT_TRUE(Helper.Start(ZIRKO_SOCKET_PATH));
                    Context.SetHelper(&Helper);
                }
                Context.SetIcmpSocketPolicy(Policy);
                TNetIcmpClient Client(Context);
                Client.SetHost(Target);
                Client.SetReceiveTimeout(300);
                for (int I = 0; I < 2; ++I) {
                    Client.Ping();
                    const TReplyStatus& S = Client.ReplyStatus();
                    ASSERT_EQ(S.Status, R.Answered ? skEchoReply : skTimedOut)
                        << "answered by " << S.FromAddress << " type " << int(S.IcmpType);
                    if (R.Answered) {
                        EXPECT_EQ(S.FromAddress, Target);
                        EXPECT_EQ(S.IcmpType, V6 ? 129 : 0);
                        EXPECT_EQ(S.ReplyTtl, Loopback ? 64 : 63) << "the reply's own TTL";
                    }
                }
                EXPECT_EQ(Client.Socket().Kind(), std::string(Name) == "datagram"
                                                      ? TNetSocketKind::Datagram
                                                      : TNetSocketKind::Raw);
                const auto Probed = ProbeOnce(Context, Target);
                ASSERT_EQ(Probed.size(), 1u) << "the engine's probe ended";
                EXPECT_EQ(Probed[0].Kind, R.Answered ? skEchoReply : skTimedOut)
                    << "engine answered by " << Probed[0].From;
                if (R.Answered) {
                    EXPECT_EQ(Probed[0].From, Target);
                    EXPECT_EQ(Probed[0].ReplyTtl, Loopback ? 64 : 63);
                }
            }
        }
    }
}

} // namespace
