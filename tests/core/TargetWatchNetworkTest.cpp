// SPDX-License-Identifier: GPL-3.0-or-later
// Three targets through the core and the engine's probe port, from the client namespace of a
// test network: one answers, one is silent, one is a name that does not resolve, and the
// answering one again with a payload of its own and from a second address of the client.
// Each is counted alone and none holds the others up, over each transport of the engine.
#include "RequireRoot.h"
#include "TEngineProbePort.h"
#include "TNetContext.h"
#include "ProbeTransports.h"
#include "TNetNamespaceScope.h"
#include "TNetSocketHelper.h"
#include "TTargetPacer.h"
#include "TTargetWatch.h"
#include "TTestNetwork.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <map>

using namespace zirko::test;

namespace {

struct TSeen {
    int Answered = 0;
    int Lost = 0;
    int OutagesBegun = 0;
    int Bytes = 0; // of the last answer
};

TEST(TargetWatchNetwork, AnsweringSilentAndUnresolvableAreCountedEachAlone) {
    ZIRKO_REQUIRE_ROOT();
    TTestNetwork Net;
    ASSERT_NE(Net.Client(), nullptr);
    Net.Target().SetSysctl("net.ipv4.icmp_echo_ignore_all", "1");
    // A second address of the client, which the router answers and counts requests from.
    const std::string Second = Net.Prefix().substr(0, Net.Prefix().rfind('.')) + ".33";
    const std::string Foreign = Net.Prefix().substr(0, Net.Prefix().rfind('.')) + ".34";
    Net.Client()->Ip({"addr", "add", Second + "/32", "dev", "lo"});
    Net.Router().Ip({"route", "add", Second + "/32", "via", Net.ClientAddress()});
    ASSERT_TRUE(Net.Router().Nft("add table ip zk"));
    ASSERT_TRUE(Net.Router().Nft("add chain ip zk in { type filter hook input priority 0 ; }"));
    ASSERT_TRUE(Net.Router().Nft("add rule ip zk in ip saddr " + Second +
                                 " icmp type echo-request counter"));
    Net.Client()->SetPingGroupRange(0, 0); // root may open datagram sockets too
    TNetNamespaceScope Scope(*Net.Client());
    int Argc = 1;
    char Name[] = "core_network_test";
    char* Argv[] = {Name, nullptr};
    QCoreApplication Application(Argc, Argv);

    struct TRow {
        std::string Host;
        bool Resolves;
        bool Answers;
        int Size = 0;
        std::string Source;
        int Bytes = 0; // ICMP bytes of each answer
    };
    // The client namespace routes the test's /24 only: the lookup fails there, at once.
    const TRow Rows[] = {{Net.RouterAddress(), true, true, 0, "", 52},
                         {Net.TargetAddress(), true, false, 0, "", 0},
                         {"nx.zirko.test", false, false, 0, "", 0},
                         {Net.RouterAddress(), true, true, 200, "", 208},
                         {Net.RouterAddress(), true, true, 0, Second, 52},
                         // Not an address of the client: no socket sends from it.
                         {Net.RouterAddress(), true, false, 0, Foreign, 0}};
    std::vector<TTarget> Targets;
    for (const TRow& Row : Rows) {
        TTarget Target;
        Target.Host = Row.Host;
        Target.IntervalMs = 100;
        Target.AlarmAfterLost = 2;
        Target.Size = Row.Size;
        Target.Source = Row.Source;
        Target.Labels["name"] = std::to_string(Targets.size());
        Targets.push_back(Target);
    }
    int CountedBefore = 0; // by the router, over the transports before
    for (const auto Kind : zirko::test::AllTransports) {
        SCOPED_TRACE(int(Kind));
        TNetSocketHelper Helper;
        TNetContext Context;
        ASSERT_TRUE(zirko::test::UseTransport(Context, Helper, Kind, ZIRKO_SOCKET_PATH));
        TEngineProbePort Port(Context);
        TTargetWatch Watch(Port, TClock::System(), Targets);
        Watch.SetResolveRetryMs(300);
        std::map<std::string, TSeen> Seen;
        Watch.OnCounted = [&](const TTargetWatch::TState& State, const TReplyStatus& Reply) {
            TSeen& S = Seen[State.Target.Name()];
            ++(Reply.ReplyBytes > 0 ? S.Answered : S.Lost);
            S.Bytes = Reply.ReplyBytes > 0 ? Reply.ReplyBytes : S.Bytes;
        };
        Watch.OnOutage = [&](const TTargetWatch::TState& State,
                             const TOutageTracker::TEvent& Event) {
            Seen[State.Target.Name()].OutagesBegun +=
                Event.Change == TOutageTracker::TChange::Began;
        };
        TTargetPacer Pacer(Watch, TClock::System());
        Pacer.SetGrainMs(TEngineProbePort::BatchMs);
        Pacer.Start();
        for (int Wait = 0; Wait < 1000 && Seen["1"].Lost < 10; ++Wait) {
            QTest::qWait(10);
        }
        Pacer.Stop();
        EXPECT_EQ(Port.Engine().Transport(), Kind);

        for (size_t I = 0; I < std::size(Rows); ++I) {
            const TRow& Row = Rows[I];
            const TTargetWatch::TState& State = Watch.Targets()[I];
            const TSeen& S = Seen[std::to_string(I)];
            SCOPED_TRACE(Row.Host + " from " + Row.Source + " size " + std::to_string(Row.Size));
            EXPECT_EQ(State.Address.has_value(), Row.Resolves);
            EXPECT_EQ(State.FailedLookups >= 2, !Row.Resolves) << State.FailedLookups;
            EXPECT_EQ(S.Answered >= 8, Row.Answers) << S.Answered;
            // The answering one may lose only the probe in flight at Stop, and none is counted.
            EXPECT_EQ(S.Lost >= 10, Row.Resolves && !Row.Answers) << S.Lost;
            EXPECT_EQ(S.OutagesBegun, Row.Resolves && !Row.Answers ? 1 : 0);
            EXPECT_EQ(S.Bytes, Row.Bytes);
            if (!Row.Resolves) {
                EXPECT_EQ(State.Sent, 0);
            }
        }
        // Only the row sent from the second address counts here, every request of it.
        const std::string Counted = Net.Router().RunChecked({"nft", "list", "table", "ip", "zk"});
        const auto At = Counted.find("packets ");
        ASSERT_NE(At, std::string::npos) << Counted;
        const int Packets = std::stoi(Counted.substr(At + 8)) - CountedBefore;
        CountedBefore += Packets;
        EXPECT_GE(Packets, Seen["4"].Answered);
        EXPECT_LE(Packets, Watch.Targets()[4].Sent);
    }
}

} // namespace
